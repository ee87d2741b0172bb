// qzcard report into a folder that already holds a report, interrupted
// (SIGINT, SIGKILL) at moments from its first thumbnail to its page, two
// reports racing on one folder, and a re-run: at every point the folder's
// page names only thumbnails that exist, each showing the picture its
// caption says (the number the card writer draws, read back with ffmpeg),
// and report.json names only thumbnails that exist.
#include <gtest/gtest.h>
#include "DrawnNumber.h"
#include "ExternalTool.h"
#include "QzcardRun.h"
#include "ScratchFolder.h"
#include "SignalledRun.h"
#include "TestFiles.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using qztest::Qzcard;

struct PictureSize {
    int width = 0, height = 0;
};

// The number drawn on a thumbnail, read after scaling it back to the
// clip's stored picture size. A report never writes a thumbnail's name
// twice, so what a name shows is read once.
int64_t DrawnNumberOf(const std::string& jpeg, PictureSize size) {
    static std::map<std::string, int64_t> read;
    if (const auto known = read.find(jpeg); known != read.end()) return known->second;
    const qztest::CommandResult run =
        qztest::RunCommand("ffmpeg -nostdin -v error -i " + qztest::ShellQuote(jpeg) +
                           " -vf scale=" + std::to_string(size.width) + ":" + std::to_string(size.height) +
                           " -pix_fmt gray -f rawvideo -");
    if (run.output.size() != size_t(size.width) * size_t(size.height)) return -2;
    return read[jpeg] = qztest::ReadNumber(reinterpret_cast<const uint8_t*>(run.output.data()), size.width,
                                           size.height);
}

// Checks the page in `out`: `thumbnails` pictures, each there and showing
// the picture its caption names (clips of the sizes `sizes` gives by ID);
// report.json's thumbnails there too. The thumbnail files the page shows.
std::set<std::string> ExpectOnePage(const std::string& out, size_t thumbnails,
                                    const std::map<std::string, PictureSize>& sizes) {
    const std::string html = qztest::ReadText(out + "/index.html");
    static const std::regex kImage("<img src=\"([^\"]+)\"[^>]* alt=\"Clip ([^,]+), picture ([0-9]+)");
    std::set<std::string> shown;
    for (auto m = std::sregex_iterator(html.begin(), html.end(), kImage); m != std::sregex_iterator(); ++m) {
        // The page's escaping of '/', as a browser reads it.
        const std::string file = std::regex_replace((*m)[1].str(), std::regex("&#x2F;"), "/"),
                          caption = (*m)[2].str() + " picture " + (*m)[3].str();
        shown.insert(fs::path(file).filename().string());
        EXPECT_TRUE(fs::exists(out + "/" + file)) << caption << ": " << file << " is missing";
        EXPECT_EQ(DrawnNumberOf(out + "/" + file, sizes.at((*m)[2])), std::stoll((*m)[3]))
            << caption << " shows another picture";
    }
    EXPECT_EQ(shown.size(), thumbnails);
    const nlohmann::json report = qztest::ParseJson(qztest::ReadText(out + "/report.json"));
    for (const auto& clip : report["cards"][0]["clips"])
        for (const auto& t : clip["thumbnails"])
            EXPECT_TRUE(fs::exists(out + "/" + t["file"].get<std::string>())) << t.dump();
    return shown;
}

std::vector<std::string> Partials(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.path().extension() == ".partial") names.push_back(entry.path().string());
    return names;
}

// Whether a file in `folder` has `extension` and is not in `besides`.
bool AppearedIn(const std::string& folder, const std::string& extension,
                const std::set<std::string>& besides) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error))
        if (entry.path().extension() == extension && !besides.count(entry.path().filename().string()))
            return true;
    return false;
}

class ReportFolderTest : public testing::Test {
protected:
    void SetUp() override {
        card = scratch.Path() + "/card", out = scratch.Path() + "/out";
        ASSERT_EQ(Qzcard({"sample-card", card, "--clips", "3", "--frames", "60"}).exitCode, 0);
        const nlohmann::json list = qztest::QzcardJson({"list", card, "--json"});
        for (const auto& clip : list["clips"]) {
            PictureSize size;
            char x = 0;
            std::istringstream(clip["pictureSize"].get<std::string>()) >> size.width >> x >> size.height;
            sizes[clip["clipId"]] = size;
        }
    }
    std::vector<std::string> Report(const std::string& at, const std::string& wait = "0") const {
        return {"report", card, "-o", out, "--thumbnails", "1", "--at", at, "--wait", wait};
    }

    qztest::ScratchFolder scratch{"report-folder"};
    std::string card, out;
    std::map<std::string, PictureSize> sizes;  // of each clip
};

TEST_F(ReportFolderTest, AnInterruptedReportLeavesTheOldPageOrTheNewOne) {
    QZ_REQUIRE_TOOL("ffmpeg");
    ASSERT_EQ(Qzcard(Report("10%")).exitCode, 0);
    std::set<std::string> shown = ExpectOnePage(out, 3, sizes);
    using Clock = std::chrono::steady_clock;
    const struct {
        const char* moment;
        int delayMs;  // after the start; -1: when a file of the run appears
        const char* appears;
    } moments[] = {
        {"a thumbnail being written", -1, ".partial"},
        {"a thumbnail of the run in place", -1, ".jpg"},
        {"10 ms", 10, ""},
        {"40 ms", 40, ""},
        {"80 ms", 80, ""},
        {"120 ms", 120, ""},
        {"160 ms", 160, ""},
        {"240 ms", 240, ""},
    };
    int run = 0;
    for (const int signal : {SIGINT, SIGKILL})
        for (const auto& m : moments) {
            SCOPED_TRACE(std::string(strsignal(signal)) + " at " + m.moment);
            const auto start = Clock::now();
            const std::string thumbs = out + "/thumbs";
            const qztest::SignalledRun interrupted = qztest::RunAndSignal(
                Report(++run % 2 ? "60%" : "10%"),
                [&] {
                    return m.delayMs < 0 ? AppearedIn(thumbs, m.appears, shown)
                                         : Clock::now() - start >= std::chrono::milliseconds(m.delayMs);
                },
                signal, scratch.Path() + "/err.txt");
            if (signal == SIGINT && interrupted.exited) {
                EXPECT_TRUE(interrupted.exitCode == 130 || interrupted.exitCode == 0) << interrupted.err;
                EXPECT_TRUE(Partials(out).empty()) << "an interrupted report removes its partials";
            }
            shown = ExpectOnePage(out, 3, sizes);
        }
    // A run to its end: the partials of the killed runs swept, and no
    // thumbnail left that its page does not show.
    ASSERT_EQ(Qzcard(Report("50%")).exitCode, 0);
    shown = ExpectOnePage(out, 3, sizes);
    EXPECT_TRUE(Partials(out).empty());
    EXPECT_FALSE(AppearedIn(out + "/thumbs", ".jpg", shown));
}

TEST_F(ReportFolderTest, TwoReportsRacingOnOneFolderLeaveOnePage) {
    QZ_REQUIRE_TOOL("ffmpeg");
    for (const char* wait : {"0", "60"}) {
        SCOPED_TRACE(std::string("--wait ") + wait);
        qztest::QzcardRun first, second;
        std::thread racing([&] { first = Qzcard(Report("10%", wait)); });
        second = Qzcard(Report("60%", wait));
        racing.join();
        // One holds the folder; the other waits for it or is told it is busy.
        for (const qztest::QzcardRun* r : {&first, &second}) {
            EXPECT_TRUE(r->exitCode == 0 || (r->exitCode == 5 && std::string(wait) == "0")) << r->err;
            if (r->exitCode == 5) {
                EXPECT_NE(r->err.find("output folder busy"), std::string::npos) << r->err;
            }
        }
        EXPECT_TRUE(first.exitCode == 0 || second.exitCode == 0);
        const std::set<std::string> shown = ExpectOnePage(out, 3, sizes);
        EXPECT_FALSE(AppearedIn(out + "/thumbs", ".jpg", shown));
    }
}

}  // namespace
