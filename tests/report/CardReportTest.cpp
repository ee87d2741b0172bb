// qzcard report on written cards of every rate, a recording over three
// cards with the middle one not given, a clip with zeroed picture bytes, a
// stray folder in a clips folder, a card given twice and a clip whose texts
// hold markup characters, the page loaded in headless Chromium at 1,280
// pixels: it fits the window, leads with what needs attention, every image
// decodes, one row per clip, no request leaves the report's folder, nothing
// logged, texts arrive escaped and intact; dailies play in the page to their
// end; reports interrupted or racing leave a page whose thumbnails show their
// captions.
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

// What headless Chromium meets loading `page` (report_page_check.py), its screenshot kept as `shot`.
nlohmann::json LoadInBrowser(const std::string& page, const std::string& shot, const std::string& profile) {
    fs::create_directories(QZ_SCREENSHOT_DIR);
    const qztest::CommandResult browser = qztest::RunCommand(
        "python3 " + qztest::ShellQuote(QZ_PAGE_CHECK) + " /usr/bin/chromium " + qztest::ShellQuote(page) +
        " " + qztest::ShellQuote(std::string(QZ_SCREENSHOT_DIR) + "/" + shot) + " " +
        qztest::ShellQuote(profile));
    EXPECT_EQ(browser.exitCode, 0) << browser.output;
    return qztest::ParseJson(browser.output);
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
    fs::create_directories(cards[0] + "/CONTENTS/CLIPS001/QZ0099");

    // The first card given twice is shown once, as `spans` counts it.
    std::vector<std::string> args = {"report"};
    args.insert(args.end(), cards.begin(), cards.end());
    for (const char* a : {"", "-o", "", "--check", "--json"}) args.push_back(*a ? a : s + "/out");
    args[args.size() - 5] = cards[0];
    const qztest::QzcardRun run = Qzcard(args);
    ASSERT_EQ(run.exitCode, 4) << run.out << run.err;  // the damaged picture
    const nlohmann::json said = qztest::ParseJson(run.out);
    const nlohmann::json report = qztest::ParseJson(qztest::ReadText(s + "/out/report.json"));
    EXPECT_EQ(report["qzcardVersion"], said["qzcardVersion"]);
    ASSERT_EQ(report["cards"].size(), cards.size());
    // Problems counted as verify counts them: the clips' apart from the unlisted entries.
    const qztest::QzcardRun verify = Qzcard({"verify", cards[0]});
    EXPECT_NE(verify.out.find("\n1 unlisted entry\n"), std::string::npos) << verify.out;
    EXPECT_EQ(said["problems"], 1);
    EXPECT_EQ(said["unlisted"], 1);
    EXPECT_EQ(report["summary"]["unlisted"], 1);
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

    const nlohmann::json page = LoadInBrowser(s + "/out/index.html", "sample-cards.png", s + "/profile");
    ASSERT_TRUE(page.is_object());
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
    // It fits a 1,280 pixel window: no table reaches past it, none scrolls sideways.
    const nlohmann::json& layout = page["layout"];
    EXPECT_EQ(layout["width"], 1280);
    EXPECT_LE(layout["scrollWidth"], 1280);
    for (const auto& right : layout["tableRights"]) EXPECT_LE(right, 1280) << layout.dump();
    for (const auto& box : layout["scrollers"]) EXPECT_LE(box[0], box[1]) << layout.dump();
    // It leads with what needs attention: the damaged clip, the stray folder, the missing piece.
    const std::vector<std::string> attention = page["attention"];
    ASSERT_EQ(attention.size(), 3u) << page["attention"].dump(2);
    EXPECT_EQ(attention[0].rfind("family50: 1 unlisted entry", 0), 0u) << attention[0];
    EXPECT_EQ(attention[1].rfind("family59.94 QZ0002: 1 problem, frame 0 (", 0), 0u) << attention[1];
    EXPECT_NE(attention[2].find(": 1 of 3 pieces on no card given"), std::string::npos) << attention[2];
    EXPECT_EQ(page["cardStates"][0], "1 unlisted entry");
    EXPECT_EQ(page["cardStates"][1], "checked clean");
    EXPECT_EQ(page["cardStates"][2], "1 problem");
    EXPECT_EQ(page["recordingTables"], 1) << "only the recording of more than one piece has a table";
    // The card texts as the browser shows them: intact, not markup.
    size_t seen = 0;
    for (const auto& text : page["texts"]) seen += text == kTitle || text == kDescription;
    EXPECT_EQ(seen, 3u) << "title, creator and description, each intact";
}

// --dailies: a clip's row plays its H.264 daily to its end in the browser;
// a clip with none says so, in its row and in what needs attention.
TEST(CardReportTest, DailiesPlayInThePage) {
    QZ_REQUIRE_TOOL("chromium");
    QZ_REQUIRE_TOOL("python3");
    qztest::ScratchFolder scratch("report");
    const std::string s = scratch.Path(), card = s + "/card";
    ASSERT_EQ(Qzcard({"sample-card", card, "--clips", "2", "--frames", "25"}).exitCode, 0);
    const qztest::QzcardRun daily =
        Qzcard({"export", card, "QZ0001", "--format", "proxy", "--codec", "h264", "-o", s + "/dailies"});
    ASSERT_EQ(daily.exitCode, 0) << daily.err;
    const qztest::QzcardRun run = Qzcard(
        {"report", card, "-o", s + "/out", "--thumbnails", "0", "--dailies", s + "/dailies", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(qztest::ParseJson(run.out)["dailies"], 1);
    const nlohmann::json report = qztest::ParseJson(qztest::ReadText(s + "/out/report.json"));
    EXPECT_EQ(report["cards"][0]["clips"][0]["daily"], "../dailies/QZ0001.mov");
    EXPECT_TRUE(report["cards"][0]["clips"][1]["daily"].is_null());

    const nlohmann::json page = LoadInBrowser(s + "/out/index.html", "dailies.png", s + "/profile");
    ASSERT_TRUE(page.is_object());
    ASSERT_EQ(page["videos"].size(), 1u);
    const nlohmann::json& video = page["videos"][0];
    EXPECT_TRUE(video["ended"]) << video.dump();
    EXPECT_TRUE(video["error"].is_null()) << video.dump();
    EXPECT_GT(video["duration"].get<double>(), 0.3) << video.dump();
    EXPECT_NEAR(video["currentTime"].get<double>(), video["duration"].get<double>(), 0.05) << video.dump();
    // With its sound: the browser decoded the daily's AAC.
    EXPECT_GT(video["audioDecodedBytes"].get<double>(), 0) << video.dump();
    ASSERT_EQ(page["attention"].size(), 1u) << page["attention"].dump();
    EXPECT_EQ(page["attention"][0], "card QZ0002: no daily in the dailies folder");
    for (const char* key : {"failedRequests", "console", "exceptions"})
        EXPECT_TRUE(page[key].empty()) << key << ": " << page[key].dump();
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
        {{"report", card, "-o", card + "/CONTENTS/report"}, 64},
        {{"report", card, "-o", scratch.Path() + "/out", "--dailies", scratch.Path() + "/none"}, 64},
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
                                             r->err.find("is busy: process") != std::string::npos))
                << r->exitCode << r->err;
        EXPECT_FALSE(AppearedIn(out + "/thumbs", ".jpg", ExpectOnePage()));
    }
}

}  // namespace
