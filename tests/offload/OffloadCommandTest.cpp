// qzcard offload as a person runs it: interrupted midway by SIGINT or
// SIGKILL, checked, and run again to resume; the arguments, folders and full drives it refuses with
// their exit codes, leaving nothing; copies not read back, damaged or
// renamed on the destination, and checked against a card that changed.
// (The words of a busy destination are BusyAndProgressTest's.)
#include "BoundedRun.h"
#include "CUFolderLock.h"
#include "CardFileList.h"
#include "FolderSnapshot.h"
#include "OffloadJournal.h"
#include "OffloadTestSupport.h"
#include "QzcardRun.h"
#include "SignalledRun.h"

#include <signal.h>

namespace {

using namespace offload_test;

// The status `report` gives the copy `copy` of `card` (every copy status of
// the page's JSON). The report's own tests run it under the sanitizers; these
// run it in the plain build only, the interruption test being slow enough.
std::string ReportedStatus(const std::string& card, const std::string& copy, const std::string& out) {
    const qztest::QzcardRun run =
        qztest::Qzcard({"report", card, "--copies", copy, "--thumbnails", "0", "-o", out});
    EXPECT_EQ(run.exitCode, 4) << run.err;  // a copy not verified
    const nlohmann::json report = qztest::ParseJson(qztest::ReadText(out + "/report.json"));
    const nlohmann::json& copies = report["cards"][0]["copies"];
    return copies.empty() ? report["otherCopies"][0]["status"] : copies[0]["status"];
}

TEST(OffloadCommandTest, InterruptedOffloadLeavesNoPartialAndResumes) {
    // One card for both signals (offload never writes to it; writing it is slow under the sanitizers).
    const qztest::ScratchFolder cardFolder("interrupt-card");
    const std::string card = cardFolder.Path() + "/CARD";
    WriteCard(card, 6, 60);
    const qztest::FolderSnapshot before = qztest::TakeSnapshot(card);
    for (const int signal : {SIGINT, SIGKILL}) {
        SCOPED_TRACE(strsignal(signal));
        qztest::ScratchFolder scratch("interrupt");
        const std::string one = scratch.Path() + "/one", two = scratch.Path() + "/two";
        fs::create_directories(one);
        fs::create_directories(two);
        // Midway: once the first file is in place on both and in their
        // journals (each destination goes at its own pace).
        const auto done = [](const std::string& dest) {
            const std::string journal = dest + "/CARD/ascmhl/" + qzoffload::OffloadJournal::kFileName;
            return fs::exists(journal) &&
                   qztest::ReadText(journal).find("\"file\":\"CONTENTS/CLIPS001/INDEX.MIF\"") !=
                       std::string::npos;
        };
        const qztest::SignalledRun run = qztest::RunAndSignal(
            {"offload", card, one, two}, [&] { return done(one) && done(two); }, signal,
            scratch.Path() + "/err.txt");
        if (signal == SIGINT) {
            EXPECT_EQ(run.exitCode, 130) << run.err;
            EXPECT_EQ(Partials(one), std::vector<std::string>());
            EXPECT_EQ(Partials(two), std::vector<std::string>());
        } else {
            EXPECT_EQ(run.signal, SIGKILL);
        }
        // The history (SIGINT) or the journal (SIGKILL) tells the copy is not whole.
        const qztest::QzcardRun check = qztest::Qzcard({"offload", "--check", one + "/CARD", "--json"});
        EXPECT_EQ(check.exitCode, 4) << check.out << check.err;
        EXPECT_EQ(qztest::ParseJson(check.out)["status"].get<std::string>().rfind("incomplete: ", 0), 0u)
            << check.out;
        if (!qztest::kSanitizedBuild) {
            EXPECT_EQ(ReportedStatus(card, one + "/CARD", scratch.Path() + "/report"), "incomplete");
        }
        // The tool reads the incomplete history: the files it records done are there, those read
        // from the card and not yet done are recorded failed (missing), the others not at all.
        if (signal == SIGINT)
            ExpectAscmhlReads(one + "/CARD", {AscmhlVerify::kClean, AscmhlVerify::kMissingFiles});
        const qztest::QzcardRun resumed = qztest::Qzcard({"offload", card, one, two, "--json"});
        ASSERT_EQ(resumed.exitCode, 0) << resumed.err;
        const nlohmann::json report = qztest::ParseJson(resumed.out);
        for (const nlohmann::json& d : report["destinations"]) {
            EXPECT_TRUE(d["verified"].get<bool>()) << d.dump();
            EXPECT_EQ(d["status"], "complete");
            EXPECT_EQ(d["files"], report["cardFiles"]);
            EXPECT_EQ(Partials(d["path"]), std::vector<std::string>());
            ExpectValidHistory(d["path"]);
            ExpectAscmhlReads(d["path"], AscmhlVerify::kClean);
            // What was done before the signal is kept, not copied again.
            EXPECT_GT(d["kept"].get<int>(), 0) << d.dump();
            EXPECT_EQ(d["kept"].get<int>() + d["copied"].get<int>(), report["cardFiles"].get<int>());
        }
        EXPECT_TRUE(qztest::TakeSnapshot(card) == before);
    }
}

TEST(OffloadCommandTest, RefusedOffloadsLeaveNothingOnAnyDestination) {
    qztest::ScratchFolder scratch("refuse");
    const std::string card = scratch.Path() + "/CARD", dest = scratch.Path() + "/dest";
    WriteCard(card, 1, 5);
    fs::create_directories(dest);
    fs::create_directories(scratch.Path() + "/held/CARD");
    const ComVantoVantoQZ64RADPlug::CUFolderLock held(scratch.Path() + "/held/CARD", 0);
    // Root mounts a file system the card does not fit on, and one that takes one copy but not two.
    const uint64_t copy = ::qzoffload::CardFileList::Of(card).tree.totalBytes;
    const std::string tiny = scratch.Path() + "/tiny", pair = scratch.Path() + "/pair";
    const SmallMount tinyMount(tiny, "1m");
    const SmallMount pairMount(pair, (std::to_string((copy * 3 / 2 + (4 << 20)) >> 20) + "m").c_str());
    fs::create_directories(pair + "/a");
    fs::create_directories(pair + "/b");
    struct Row {
        std::vector<std::string> args;
        int exitCode;
        const char* says = "";
    };
    std::vector<Row> rows = {
        {{"offload", dest, scratch.Path()}, 2},      // not a card
        {{"offload", card, card + "/CONTENTS"}, 1},  // destination inside the card
        {{"offload", card, scratch.Path()}, 1},      // card inside the destination
        {{"offload", card, dest + "/missing"}, 1, "/missing does not exist"},
        {{"offload", card, card + "/CONTENTS/CLIPS001/INDEX.MIF"}, 1, "is not a folder"},
        {{"offload", "--check", dest + "/missing"}, 1, "/missing does not exist"},
        {{"offload", card, dest, dest}, 1},                // the same destination twice
        {{"offload", card, dest, "--hash", "crc32"}, 64},  // unknown hash format
        {{"offload", card}, 64},                           // no destination
        {{"offload", "--check", dest}, 4},                 // no history
        {{"offload", card, dest, scratch.Path() + "/held"}, 5, "busy"},
    };
    if (tinyMount.Mounted() && pairMount.Mounted()) {
        rows.push_back({{"offload", card, dest, tiny}, 1, "its file system has"});
        rows.push_back(
            {{"offload", card, pair + "/a", dest, pair + "/b"}, 1, "2 copies share one file system"});
    }
    const std::vector<std::string> before = Entries(scratch.Path());
    for (const Row& row : rows) {
        const qztest::QzcardRun run = qztest::Qzcard(row.args);
        EXPECT_EQ(run.exitCode, row.exitCode) << row.args.back() << ": " << run.err;
        EXPECT_NE(run.err.find(row.says), std::string::npos) << run.err;
        EXPECT_EQ(Entries(scratch.Path()), before) << row.args.back() << ": something was created";
    }
}

TEST(OffloadCommandTest, CopiesAreCheckedAgainstTheirHistoriesAndTheCard) {
    qztest::ScratchFolder scratch("agree");
    const std::string card = scratch.Path() + "/CARD", one = scratch.Path() + "/one",
                      two = scratch.Path() + "/two";
    WriteCard(card, 2, 10);
    fs::create_directories(one);
    fs::create_directories(two);
    const auto json = [](const qztest::QzcardRun& run) { return qztest::ParseJson(run.out); };
    // Not read back: never called verified, until a check reads it back.
    const qztest::QzcardRun copied = qztest::Qzcard({"offload", card, one, two, "--no-verify", "--json"});
    ASSERT_EQ(copied.exitCode, 0) << copied.err;
    const nlohmann::json copies = json(copied);
    for (const nlohmann::json& d : copies["destinations"]) {
        EXPECT_EQ(d["status"], "not verified");
        EXPECT_FALSE(d["verified"].get<bool>());
        ExpectAscmhlReads(d["path"], AscmhlVerify::kClean);
    }
    if (!qztest::kSanitizedBuild) {
        EXPECT_EQ(ReportedStatus(card, one + "/CARD", scratch.Path() + "/report"), "not verified");
    }
    EXPECT_EQ(json(qztest::Qzcard({"offload", "--check", one + "/CARD", "--json"}))["status"], "complete");

    // A clip folder renamed and a file changed with its time put back are
    // found before copying; offload and --check agree on the copy.
    const std::string clips = one + "/CARD/CONTENTS/CLIPS001", xml = "CONTENTS/CLIPS001/QZ0001/QZ0001.XML";
    fs::rename(clips + "/QZ0002", clips + "/QZ0009");
    const auto time = fs::last_write_time(one + "/CARD/" + xml);
    qztest::WriteText(one + "/CARD/" + xml, "<changed/>" + qztest::ReadText(one + "/CARD/" + xml).substr(10));
    fs::last_write_time(one + "/CARD/" + xml, time);
    const qztest::QzcardRun again = qztest::Qzcard({"offload", card, one, "--json"});
    EXPECT_EQ(again.exitCode, 4) << again.err;
    EXPECT_NE(again.err.find("1 file changed on the destination since its last verification: copied again"),
              std::string::npos)
        << again.err;
    const nlohmann::json copy = json(again)["destinations"][0];
    EXPECT_EQ(copy["found"]["changed"], nlohmann::json::array({xml}));
    EXPECT_EQ(copy["found"]["renamed"][0]["to"], "CONTENTS/CLIPS001/QZ0009") << copy.dump();
    EXPECT_EQ(copy["status"], "complete");
    EXPECT_EQ(qztest::Qzcard({"offload", "--check", one + "/CARD"}).exitCode, 4);
    fs::remove_all(clips + "/QZ0009");
    EXPECT_EQ(qztest::Qzcard({"offload", "--check", one + "/CARD"}).exitCode, 0);

    // A file the card gained since: in neither copy nor history, found with --card, on every copy given.
    qztest::WriteText(card + "/CONTENTS/NEW.TXT", "new");
    const qztest::QzcardRun both =
        qztest::Qzcard({"offload", "--check", one + "/CARD", two + "/CARD", "--card", card, "--json"});
    EXPECT_EQ(both.exitCode, 4) << both.out;
    const nlohmann::json reports = json(both);
    ASSERT_EQ(reports.size(), 2u);
    for (const nlohmann::json& report : reports) {
        EXPECT_EQ(report["notOnCopy"][0]["path"], "CONTENTS/NEW.TXT") << report.dump();
        EXPECT_EQ(report["status"], "incomplete: " + std::to_string(report["cardFiles"].get<int>() - 1) +
                                        " of " + std::to_string(report["cardFiles"].get<int>()) + " files");
    }
}

}  // namespace
