// qzcard offload as a person runs it: interrupted midway by SIGINT or
// SIGKILL and run again to resume; a destination busy with another
// offload; the arguments and folders it refuses, with their exit codes.
#include "CUDirectoryLock.h"
#include "FolderSnapshot.h"
#include "OffloadTestSupport.h"
#include "QzcardRun.h"
#include "SignalledRun.h"

#include <signal.h>

namespace {

using namespace offload_test;

TEST(OffloadCommandTest, InterruptedOffloadLeavesNoPartialAndResumes) {
    for (const int signal : {SIGINT, SIGKILL}) {
        SCOPED_TRACE(strsignal(signal));
        qztest::ScratchFolder scratch("interrupt");
        const std::string card = scratch.Path() + "/CARD", one = scratch.Path() + "/one",
                          two = scratch.Path() + "/two";
        WriteCard(card, 6, 60);
        fs::create_directories(one);
        fs::create_directories(two);
        const qztest::FolderSnapshot before = qztest::TakeSnapshot(card);
        // Midway: once the first file is in place on both (each destination
        // goes at its own pace).
        const std::string first = "/CARD/CONTENTS/CLIPS001/INDEX.MIF";
        const qztest::SignalledRun run = qztest::RunAndSignal(
            {"offload", card, one, two}, [&] { return fs::exists(one + first) && fs::exists(two + first); },
            signal, scratch.Path() + "/err.txt");
        if (signal == SIGINT) {
            EXPECT_EQ(run.exitCode, 130) << run.err;
            EXPECT_EQ(Partials(one), std::vector<std::string>());
            EXPECT_EQ(Partials(two), std::vector<std::string>());
        } else {
            EXPECT_EQ(run.signal, SIGKILL);
        }
        const qztest::QzcardRun resumed = qztest::Qzcard({"offload", card, one, two, "--json"});
        ASSERT_EQ(resumed.exitCode, 0) << resumed.err;
        const nlohmann::json report = qztest::ParseJson(resumed.out);
        for (const nlohmann::json& d : report["destinations"]) {
            EXPECT_TRUE(d["verified"].get<bool>()) << d.dump();
            EXPECT_EQ(d["files"], report["cardFiles"]);
            EXPECT_EQ(Partials(d["path"]), std::vector<std::string>());
            ExpectValidHistory(d["path"]);
            if (signal == SIGINT) {
                EXPECT_GT(d["kept"].get<int>(), 0) << "the files finished before were recorded";
            }
        }
        EXPECT_TRUE(qztest::TakeSnapshot(card) == before);
    }
}

TEST(OffloadCommandTest, SecondOffloadIntoABusyDestinationExitsFive) {
    qztest::ScratchFolder scratch("busy");
    const std::string card = scratch.Path() + "/CARD", dest = scratch.Path() + "/dest";
    WriteCard(card, 1, 5);
    fs::create_directories(dest + "/CARD");
    const ComVantoVantoQZ64RADPlug::CUDirectoryLock held(dest + "/CARD", 0);
    const qztest::QzcardRun run = qztest::Qzcard({"offload", card, dest, "--wait", "0.2"});
    EXPECT_EQ(run.exitCode, 5) << run.err;
    EXPECT_NE(run.err.find("busy: process " + std::to_string(getpid())), std::string::npos) << run.err;
}

TEST(OffloadCommandTest, RefusedCardsDestinationsAndArguments) {
    qztest::ScratchFolder scratch("refuse");
    const std::string card = scratch.Path() + "/CARD", dest = scratch.Path() + "/dest";
    WriteCard(card, 1, 5);
    fs::create_directories(dest);
    const struct {
        std::vector<std::string> args;
        int exitCode;
    } rows[] = {
        {{"offload", dest, scratch.Path()}, 2},            // not a card
        {{"offload", card, card + "/CONTENTS"}, 1},        // destination inside the card
        {{"offload", card, scratch.Path()}, 1},            // card inside the destination
        {{"offload", card, dest + "/missing"}, 1},         // no such destination
        {{"offload", card, dest, dest}, 1},                // the same destination twice
        {{"offload", card, dest, "--hash", "crc32"}, 64},  // unknown hash format
        {{"offload", card}, 64},                           // no destination
        {{"offload", "--check", dest}, 4},                 // no history
    };
    for (const auto& row : rows) {
        const qztest::QzcardRun run = qztest::Qzcard(row.args);
        EXPECT_EQ(run.exitCode, row.exitCode) << row.args.back() << ": " << run.err;
        EXPECT_FALSE(run.err.empty());
    }
    EXPECT_FALSE(fs::exists(card + "/CONTENTS/CARD"));
    EXPECT_FALSE(fs::exists(dest + "/CARD/CONTENTS"));
}

}  // namespace
