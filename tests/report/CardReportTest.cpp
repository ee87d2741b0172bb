// qzcard report on written cards of every rate, a recording over three
// cards with the middle one not given, a clip with zeroed picture bytes and
// a clip whose texts hold markup characters, the page loaded in headless
// Chromium: every image decodes, one row per clip, no request leaves the
// report's folder, nothing logged, texts arrive escaped and intact; reports
// interrupted or racing leave a page whose thumbnails show their captions.
#include <gtest/gtest.h>
#include "CardWriter.h"
#include "DecodedPictures.h"
#include "ExternalTool.h"
#include "QzcardRun.h"
#include "SampleCard.h"
#include "ScratchFolder.h"
#include "SignalledRun.h"
#include "TestFiles.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
namespace cw = ComVantoVantoQZ64RADPlug::CardWriter;
using qztest::Qzcard;

const std::string kTitle = "<b>Take 1</b> & \"Dawn\" 'Ost' — Ünïcödé 漢字 </td><script>alert(1)</script>";
const std::string kDescription = "a < b && c > d; ' \" \\ &amp; <!-- not a comment -->";

// A sample card's first clip written with `kTitle` and `kDescription`.
void WriteTextCard(const std::string& folder) {
    cw::SampleCardOptions options;
    options.clipCount = 1;
    options.durationFrames = 15;
    cw::CardDescription card = cw::SampleCardDescription(options);
    card.mediaUuid[15] = 0x77;
    card.clips[0].xml.title = kTitle;
    card.clips[0].xml.creator = kTitle;
    card.clips[0].xml.description = kDescription;
    cw::WriteCard(card, folder);
}

TEST(CardReportTest, PageOfWrittenCardsOpensAloneInABrowser) {
    QZ_REQUIRE_TOOL("chromium");
    QZ_REQUIRE_TOOL("python3");
    qztest::ScratchFolder scratch("report");
    const std::string s = scratch.Path();
    std::vector<std::string> cards;
    for (const char* family : {"50", "24", "59.94"}) {
        cards.push_back(s + "/family" + family);
        ASSERT_EQ(Qzcard({"sample-card", cards.back(), "--family", family, "--frames", "20"}).exitCode, 0);
    }
    ASSERT_EQ(Qzcard({"sample-card", s + "/relay", "--cards", "3", "--frames", "12"}).exitCode, 0);
    cards.push_back(s + "/relay/CARD1");
    cards.push_back(s + "/relay/CARD3");
    cards.push_back(s + "/texts");
    WriteTextCard(cards.back());
    // The first I picture of the 59.94 card's QZ0002 with a run of zeroed slice bytes.
    const nlohmann::json frames = qztest::QzcardJson({"frames", cards[2], "QZ0002", "--json"})["frames"];
    const std::string member = qztest::MemberFiles(cards[2], "QZ0002").at(0);
    std::vector<uint8_t> bytes = qztest::ReadFile(member);
    std::fill_n(bytes.begin() + frames[0]["offset"].get<std::ptrdiff_t>() + 400, 1000, 0);
    ASSERT_TRUE(qztest::WriteFile(member, bytes));

    std::vector<std::string> args = {"report"};
    args.insert(args.end(), cards.begin(), cards.end());
    for (const char* a : {"-o", "", "--check", "--json"}) args.push_back(*a ? a : s + "/out");
    const qztest::QzcardRun run = Qzcard(args);
    ASSERT_EQ(run.exitCode, 4) << run.out << run.err;  // the damaged picture
    const nlohmann::json report = qztest::ParseJson(qztest::ReadText(s + "/out/report.json"));
    EXPECT_EQ(report["qzcardVersion"], qztest::ParseJson(run.out)["qzcardVersion"]);
    size_t clips = 0;
    for (const auto& card : report["cards"]) {
        clips += card["clips"].size();
        for (const auto& clip : card["clips"]) {
            SCOPED_TRACE(card["name"].get<std::string>() + " " + clip["clipId"].get<std::string>());
            const bool damaged = card["card"] == cards[2] && clip["clipId"] == "QZ0002";
            ASSERT_TRUE(clip["check"].is_object());
            EXPECT_EQ(clip["check"]["clean"], !damaged) << clip["check"].dump(2);
            if (damaged) {
                EXPECT_EQ(clip["check"]["problems"][0]["check"], "decode");
            }
            EXPECT_EQ(clip["thumbnails"].size(), 1u);
        }
    }
    EXPECT_EQ(report["summary"]["problems"], 1);
    // The recording over the three cards: its middle piece is missing.
    size_t missing = 0;
    for (const auto& recording : report["recordings"]) missing += recording["missingCount"].get<size_t>();
    EXPECT_EQ(missing, 1u);
    const std::string html = qztest::ReadText(s + "/out/index.html");
    EXPECT_EQ(html.find("<script>alert"), std::string::npos);
    EXPECT_EQ(report["cards"][5]["clips"][0]["title"], kTitle);
    EXPECT_EQ(report["cards"][5]["clips"][0]["description"], kDescription);

    fs::create_directories(QZ_SCREENSHOT_DIR);
    const qztest::CommandResult browser =
        qztest::RunCommand("python3 " + qztest::ShellQuote(QZ_PAGE_CHECK) + " /usr/bin/chromium " +
                           qztest::ShellQuote(s + "/out/index.html") + " " +
                           qztest::ShellQuote(std::string(QZ_SCREENSHOT_DIR) + "/sample-cards.png") + " " +
                           qztest::ShellQuote(s + "/profile"));
    ASSERT_EQ(browser.exitCode, 0) << browser.output;
    const nlohmann::json page = qztest::ParseJson(browser.output);
    EXPECT_EQ(page["images"].size(), report["summary"]["thumbnails"].get<size_t>());
    EXPECT_EQ(page["images"].size(), clips);
    for (const auto& image : page["images"]) {
        EXPECT_GT(image["naturalWidth"], 0) << image.dump();
        EXPECT_FALSE(image["alt"].get<std::string>().empty()) << image.dump();
    }
    ASSERT_EQ(page["clipTables"].size(), report["cards"].size());
    for (size_t c = 0; c < report["cards"].size(); ++c)
        EXPECT_EQ(page["clipTables"][c], report["cards"][c]["clipCount"]) << "card " << c;
    const std::string folder = "file://" + fs::canonical(s + "/out").string() + "/";
    for (const auto& url : page["requests"]) {
        const std::string u = url;
        EXPECT_TRUE(u.rfind(folder, 0) == 0) << "a request leaves the report's folder: " << u;
    }
    for (const char* key : {"failedRequests", "console", "log", "exceptions"})
        EXPECT_TRUE(page[key].empty()) << key << ": " << page[key].dump();
    EXPECT_EQ(page["scripts"], 0);
    EXPECT_EQ(page["stylesheetLinks"], 0);
    EXPECT_EQ(page["cssUrls"], 0);
    EXPECT_EQ(page["tablesWithoutHeader"], 0);
    EXPECT_TRUE(page["printRules"]);
    EXPECT_TRUE(page["viewport"]);
    // The card texts as the browser shows them: intact, not markup.
    size_t seen = 0;
    for (const auto& text : page["texts"]) seen += text == kTitle || text == kDescription;
    EXPECT_EQ(seen, 3u) << "title, creator and description, each intact";
}

// Refused before anything is written: a report folder inside a card, a
// --at that names no point, a folder that is not a card.
TEST(CardReportTest, RefusedArgumentsWriteNothing) {
    qztest::ScratchFolder scratch("report");
    const std::string card = scratch.Path() + "/card";
    ASSERT_EQ(Qzcard({"sample-card", card, "--clips", "1", "--frames", "6"}).exitCode, 0);
    const struct {
        std::vector<std::string> args;
        int exitCode;
    } cases[] = {
        {{"report", card, "-o", card + "/CONTENTS/report"}, 1},
        {{"report", card, "-o", scratch.Path() + "/out", "--at", "150%"}, 64},
        {{"report", card, "-o", scratch.Path() + "/out", "--at", "soon"}, 64},
        {{"report", card, "-o", scratch.Path() + "/out", "--thumbnails", "11"}, 64},
        {{"report", scratch.Path(), "-o", scratch.Path() + "/out"}, 2},
    };
    for (const auto& c : cases) {
        const qztest::QzcardRun run = Qzcard(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << testing::PrintToString(c.args) << run.err;
        EXPECT_FALSE(fs::exists(scratch.Path() + "/out/index.html"));
        EXPECT_FALSE(fs::exists(card + "/CONTENTS/report"));
    }
}

}  // namespace

namespace {

// --copies: an offload's history shown next to the card it copies (not
// next to a card written apart with the same clip IDs); a copy whose later
// check found a changed file, and a folder holding no card and no history,
// are not verified (exit 4).
TEST(CardReportTest, CopiesAreShownWithTheirHistories) {
    qztest::ScratchFolder scratch("report");
    const std::string s = scratch.Path(), card = s + "/card";
    ASSERT_EQ(Qzcard({"sample-card", card, "--clips", "2", "--frames", "6"}).exitCode, 0);
    fs::create_directories(s + "/drive");
    ASSERT_EQ(Qzcard({"offload", card, s + "/drive"}).exitCode, 0);
    const std::string copy = s + "/drive/card";
    const auto report = [&](const std::vector<std::string>& copies, int exitCode) {
        std::vector<std::string> args = {"report", card, "-o", s + "/out", "--thumbnails", "0", "--copies"};
        args.insert(args.end(), copies.begin(), copies.end());
        const qztest::QzcardRun run = Qzcard(args);
        EXPECT_EQ(run.exitCode, exitCode) << run.out << run.err;
        return qztest::ParseJson(qztest::ReadText(s + "/out/report.json"));
    };
    nlohmann::json r = report({copy}, 0);
    ASSERT_EQ(r["cards"][0]["copies"].size(), 1u);
    const nlohmann::json& good = r["cards"][0]["copies"][0];
    EXPECT_EQ(good["status"], "verified");
    EXPECT_GT(good["files"], 4);
    EXPECT_EQ(good["verifiedFiles"], good["files"]);
    EXPECT_EQ(good["lastGeneration"]["sequence"], 1);
    // A card written apart is another medium: the copy is no copy of it.
    const std::string other = s + "/other";
    ASSERT_EQ(Qzcard({"sample-card", other, "--clips", "2", "--frames", "6"}).exitCode, 0);
    ASSERT_EQ(
        Qzcard({"report", other, "-o", other + "-page", "--thumbnails", "0", "--copies", copy}).exitCode, 0);
    const nlohmann::json mixed = qztest::ParseJson(qztest::ReadText(other + "-page/report.json"));
    EXPECT_TRUE(mixed["cards"][0]["copies"].empty()) << mixed["cards"][0]["copies"].dump();
    EXPECT_EQ(mixed["otherCopies"].size(), 1u);

    const std::string changed = copy + "/CONTENTS/CLIPS001/QZ0001/QZ0001.CIF";
    std::vector<uint8_t> bytes = qztest::ReadFile(changed);
    bytes[bytes.size() / 2] ^= 1;
    ASSERT_TRUE(qztest::WriteFile(changed, bytes));
    EXPECT_EQ(Qzcard({"offload", "--check", copy}).exitCode, 4);
    fs::create_directories(s + "/empty");
    r = report({copy, s + "/empty"}, 4);
    const nlohmann::json& bad = r["cards"][0]["copies"][0];
    EXPECT_EQ(bad["status"], "incomplete");
    EXPECT_EQ(bad["failedFiles"], nlohmann::json::array({"CONTENTS/CLIPS001/QZ0001/QZ0001.CIF"}));
    EXPECT_EQ(bad["lastGeneration"]["sequence"], 2);
    ASSERT_EQ(r["otherCopies"].size(), 1u);
    EXPECT_EQ(r["otherCopies"][0]["status"], "failed");
    EXPECT_EQ(r["summary"]["failedCopies"], 2);
}

// Whether a file under `folder` has `extension` and is not in `besides`.
bool AppearedIn(const std::string& folder, const std::string& extension,
                const std::set<std::string>& besides) {
    std::error_code error;
    for (const auto& entry : fs::recursive_directory_iterator(folder, error))
        if (entry.path().extension() == extension && !besides.count(entry.path().filename().string()))
            return true;
    return false;
}

class ReportFolderTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(Qzcard({"sample-card", card, "--clips", "3", "--frames", "60"}).exitCode, 0);
        const nlohmann::json list = qztest::QzcardJson({"list", card, "--json"});
        for (const auto& clip : list["clips"])
            std::sscanf(clip["pictureSize"].get<std::string>().c_str(), "%dx%d", &sizes[clip["clipId"]].first,
                        &sizes[clip["clipId"]].second);
    }
    std::vector<std::string> Report(const std::string& at, const std::string& wait = "0") const {
        return {"report", card, "-o", out, "--thumbnails", "1", "--at", at, "--wait", wait};
    }

    // A thumbnail per clip, each showing the picture its caption names, and
    // report.json's there too; the files the page shows.
    std::set<std::string> ExpectOnePage() {
        const std::string html = qztest::ReadText(out + "/index.html");
        static const std::regex kImage("<img src=\"([^\"]+)\"[^>]* alt=\"Clip ([^,]+), picture ([0-9]+)");
        std::set<std::string> shown;
        for (auto m = std::sregex_iterator(html.begin(), html.end(), kImage); m != std::sregex_iterator();
             ++m) {
            // The page's escaping of '/', as a browser reads it.
            const std::string file = out + "/" + std::regex_replace((*m)[1].str(), std::regex("&#x2F;"), "/");
            shown.insert(fs::path(file).filename().string());
            // A report never writes a name twice: what a name shows is read once.
            if (!drawn.count(file))
                drawn[file] = qztest::DrawnNumberOf(file, sizes[(*m)[2]].first, sizes[(*m)[2]].second);
            EXPECT_EQ(drawn[file], std::stoll((*m)[3])) << (*m)[0] << ": missing, or showing another picture";
        }
        EXPECT_EQ(shown.size(), sizes.size());
        const nlohmann::json report = qztest::ParseJson(qztest::ReadText(out + "/report.json"));
        for (const auto& clip : report["cards"][0]["clips"])
            for (const auto& t : clip["thumbnails"])
                EXPECT_TRUE(fs::exists(out + "/" + t["file"].get<std::string>())) << t.dump();
        return shown;
    }

    qztest::ScratchFolder scratch{"report-folder"};
    const std::string card = scratch.Path() + "/card", out = scratch.Path() + "/out";
    std::map<std::string, std::pair<int, int>> sizes;  // width and height of each clip
    std::map<std::string, int64_t> drawn;              // the number each thumbnail shows
};

TEST_F(ReportFolderTest, AnInterruptedReportLeavesTheOldPageOrTheNewOne) {
    QZ_REQUIRE_TOOL("ffmpeg");
    ASSERT_EQ(Qzcard(Report("10%")).exitCode, 0);
    std::set<std::string> shown = ExpectOnePage();
    // ms after the start; -2, -1: a thumbnail's partial, a new thumbnail appears.
    const int moments[] = {-2, -1, 10, 40, 80, 120, 160, 240};
    int run = 0;
    for (const int signal : {SIGINT, SIGKILL})
        for (const int moment : moments) {
            SCOPED_TRACE(std::string(strsignal(signal)) + " at " + std::to_string(moment));
            const auto start = std::chrono::steady_clock::now();
            const qztest::SignalledRun interrupted = qztest::RunAndSignal(
                Report(++run % 2 ? "60%" : "10%"),
                [&] {
                    return moment < 0 ? AppearedIn(out + "/thumbs", moment == -2 ? ".partial" : ".jpg", shown)
                                      : std::chrono::steady_clock::now() - start >=
                                            std::chrono::milliseconds(moment);
                },
                signal, scratch.Path() + "/err.txt");
            if (signal == SIGINT && interrupted.exited) {
                EXPECT_TRUE(interrupted.exitCode == 130 || interrupted.exitCode == 0) << interrupted.err;
                EXPECT_FALSE(AppearedIn(out, ".partial", {})) << "an interrupted report removes its partials";
            }
            shown = ExpectOnePage();
        }
    // A run to its end sweeps the killed runs' partials and every thumbnail its page does not show.
    ASSERT_EQ(Qzcard(Report("50%")).exitCode, 0);
    shown = ExpectOnePage();
    EXPECT_FALSE(AppearedIn(out, ".partial", {}));
    EXPECT_FALSE(AppearedIn(out + "/thumbs", ".jpg", shown));
}

TEST_F(ReportFolderTest, TwoReportsRacingOnOneFolderLeaveOnePage) {
    QZ_REQUIRE_TOOL("ffmpeg");
    for (const std::string wait : {"0", "60"}) {
        SCOPED_TRACE("--wait " + wait);
        qztest::QzcardRun first, second;
        std::thread racing([&] { first = Qzcard(Report("10%", wait)); });
        second = Qzcard(Report("60%", wait));
        racing.join();
        // One holds the folder; the other waits for it or is told it is busy.
        EXPECT_TRUE(first.exitCode == 0 || second.exitCode == 0);
        for (const qztest::QzcardRun* r : {&first, &second})
            EXPECT_TRUE(r->exitCode == 0 || (wait == "0" && r->exitCode == 5 &&
                                             r->err.find("output folder busy") != std::string::npos))
                << r->exitCode << r->err;
        EXPECT_FALSE(AppearedIn(out + "/thumbs", ".jpg", ExpectOnePage()));
    }
}

}  // namespace
