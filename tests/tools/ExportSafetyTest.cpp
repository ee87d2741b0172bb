// qzcard export when things around it go wrong: interrupted midway through
// a long clip or a joined recording (nothing left that looks finished, the
// next run clean), two exports racing on one folder, repeats over changed
// outputs and clips, clip IDs repeating across cards, a recording salvaged
// around a missing card, and a file system with just room for a joined recording.
#include <gtest/gtest.h>
#include "QzcardRun.h"
#include "ScratchFolder.h"
#include "SignalledRun.h"
#include "TestFiles.h"

#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using qztest::Qzcard;

// The names in `folder`, sorted, leaving out the export's lock file.
std::vector<std::string> Entries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename() != ".qzcard-export.lock")
            names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Whether a partial in `folder` holds at least `bytes`: the export is midway.
bool PartialHolds(const std::string& folder, uintmax_t bytes) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error))
        if (entry.path().extension() == ".partial" && fs::file_size(entry.path(), error) >= bytes)
            return true;
    return false;
}

TEST(ExportSafetyTest, AnInterruptedExportLeavesNothingAndTheNextRunIsClean) {
    qztest::ScratchFolder scratch("export-signal");
    const std::string card = scratch.Path() + "/card", relay = scratch.Path() + "/relay";
    ASSERT_EQ(Qzcard({"sample-card", card, "--clips", "1", "--frames", "600"}).exitCode, 0);
    ASSERT_EQ(Qzcard({"sample-card", relay, "--cards", "3", "--frames", "200"}).exitCode, 0);
    const struct {
        int signal;
        bool join;
    } cases[] = {{SIGINT, false}, {SIGKILL, false}, {SIGTERM, true}, {SIGKILL, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(strsignal(c.signal)) + (c.join ? " in a join" : ""));
        const std::string out = scratch.Path() + "/out" + std::to_string(c.signal) + (c.join ? "j" : "");
        fs::create_directories(out);
        const std::vector<std::string> args =
            c.join ? std::vector<std::string>{"export",
                                              "--format",
                                              "es",
                                              "--join",
                                              relay + "/CARD1",
                                              relay + "/CARD2",
                                              relay + "/CARD3",
                                              "-o",
                                              out}
                   : std::vector<std::string>{"export", "--format", "es", card, "-o", out};
        const qztest::SignalledRun run = qztest::RunAndSignal(
            args, [&] { return PartialHolds(out, 8 << 20); }, c.signal, scratch.Path() + "/err.txt");
        if (c.signal == SIGKILL) {
            EXPECT_EQ(run.signal, SIGKILL);
        } else {
            EXPECT_EQ(run.exitCode, 128 + c.signal) << run.err;
            EXPECT_NE(run.err.find("interrupted at QZ000"), std::string::npos) << run.err;
            EXPECT_NE(run.err.find(" was written"), std::string::npos) << run.err;
            EXPECT_EQ(Entries(out), std::vector<std::string>()) << "no output, no partial";
        }
        const qztest::QzcardRun again = Qzcard(args);
        EXPECT_EQ(again.exitCode, 0) << again.err;
        if (c.signal == SIGKILL) {
            EXPECT_NE(again.err.find("partial file"), std::string::npos) << again.err;
        }
        for (const std::string& name : Entries(out))
            EXPECT_EQ(name.find(".partial"), std::string::npos) << name;
        EXPECT_EQ(Entries(out).size(), c.join ? 3u * 3 : 3u);
    }
}

TEST(ExportSafetyTest, TwoExportsRacingOnOneFolderLeaveOneConsistentSet) {
    qztest::ScratchFolder scratch("export-race");
    const std::string card = scratch.Path() + "/card", out = scratch.Path() + "/out";
    ASSERT_EQ(Qzcard({"sample-card", card, "--clips", "1", "--frames", "300"}).exitCode, 0);
    for (const char* wait : {"0", "60"}) {
        SCOPED_TRACE(std::string("--wait ") + wait);
        fs::remove_all(out);
        const std::vector<std::string> whole = {"export", "--format", "es", card, "-o", out, "--wait", wait},
                                       part = {"export", "--format", "es",  card,     "-o",
                                               out,      "--out",    "150", "--wait", wait};
        qztest::QzcardRun first, second;
        std::thread racing([&] { first = Qzcard(whole); });
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        second = Qzcard(part);
        racing.join();
        // Whichever holds the folder first writes; the other is told the
        // folder is busy, or, having waited, finds other outputs there and
        // keeps them. The winner's outputs are whole: a repeat of its
        // command finds them up to date.
        ASSERT_NE(first.exitCode == 0, second.exitCode == 0) << first.err << second.err;
        const qztest::QzcardRun& loser = first.exitCode == 0 ? second : first;
        EXPECT_TRUE(loser.exitCode == 5 || loser.exitCode == 4) << loser.exitCode << loser.err;
        EXPECT_NE(loser.err.find(loser.exitCode == 5 ? "is busy: process" : "exists"), std::string::npos)
            << loser.err;
        const qztest::QzcardRun check = Qzcard(first.exitCode == 0 ? whole : part);
        EXPECT_EQ(check.exitCode, 0);
        EXPECT_NE(check.out.find("QZ0001  up to date"), std::string::npos) << check.out;
    }
}

// Cards written apart differ; a repeat is up to date only for the same clip
// as it is with outputs as written, else written again or refused.
TEST(ExportSafetyTest, UpToDateOnlyForTheSameClipFilesAndUnchangedOutputs) {
    qztest::ScratchFolder scratch("export-repeat");
    const std::string s = scratch.Path(), longCard = s + "/long", card1 = s + "/card1", out = s + "/x";
    ASSERT_EQ(Qzcard({"sample-card", longCard, "--clips", "1", "--frames", "60"}).exitCode, 0);
    ASSERT_EQ(Qzcard({"sample-card", card1, "--frames", "12"}).exitCode, 0);
    EXPECT_NE(qztest::QzcardJson({"list", longCard, "--json"})["mediaId"],
              qztest::QzcardJson({"list", card1, "--json"})["mediaId"]);
    ASSERT_EQ(Qzcard({"export", card1, "QZ0001", "-o", s + "/y"}).exitCode, 0);
    ASSERT_EQ(Qzcard({"export", longCard, "-o", out}).exitCode, 0);
    EXPECT_NE(qztest::ParseJson(qztest::ReadText(out + "/QZ0001.json"))["source"]["pieces"][0]["umid"],
              qztest::ParseJson(qztest::ReadText(s + "/y/QZ0001.json"))["source"]["pieces"][0]["umid"]);

    const std::string movie = out + "/QZ0001.mov",
                      member = longCard + "/CONTENTS/CLIPS001/QZ0001/QZ000101.MXF";
    const auto flipByteKeepingTime = [&] {
        const auto time = fs::last_write_time(movie);
        std::vector<uint8_t> bytes = qztest::ReadFile(movie);
        bytes[bytes.size() / 2] ^= 0x01;
        ASSERT_TRUE(qztest::WriteFile(movie, bytes));
        fs::last_write_time(movie, time);
    };
    const struct {
        std::function<void()> change;
        std::string card;
        int exitCode;
        std::string says;
    } steps[] = {
        {[] {}, longCard, 0, "QZ0001  up to date"},
        {[] {}, card1, 4, "QZ0001.mov exists in " + out + ", an export of other clips or with other options"},
        {flipByteKeepingTime, longCard, 0, "written again: QZ0001.mov holds other bytes than were written"},
        {[] {}, longCard, 0, "QZ0001  up to date"},
        {[&] { fs::last_write_time(member, fs::last_write_time(member) + std::chrono::seconds(1)); },
         longCard, 0, "written again: CONTENTS/CLIPS001/QZ0001/QZ000101.MXF changed on the card"},
        {[&] { fs::remove(movie); }, longCard, 0, "written again: QZ0001.mov is missing"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.says);
        step.change();
        const qztest::QzcardRun run = Qzcard({"export", step.card, "QZ0001", "-o", out});
        EXPECT_EQ(run.exitCode, step.exitCode) << run.out << run.err;
        EXPECT_NE((run.out + run.err).find(step.says), std::string::npos) << run.out << run.err;
        EXPECT_EQ(qztest::ParseJson(qztest::ReadText(out + "/QZ0001.json"))["frames"], 60) << "long's clip";
    }
}

// Cards written apart share their clip IDs; the cards of one recording with
// the middle one missing give the pieces on either side of the gap.
TEST(ExportSafetyTest, ClipsSharingIDsAcrossCardsAndASalvagedRecordingKeepApart) {
    qztest::ScratchFolder scratch("export-cards");
    const std::string a = scratch.Path() + "/A", b = scratch.Path() + "/B", relay = scratch.Path() + "/relay",
                      out = scratch.Path() + "/out";
    ASSERT_EQ(Qzcard({"sample-card", a, "--clips", "2", "--frames", "12"}).exitCode, 0);
    ASSERT_EQ(Qzcard({"sample-card", b, "--clips", "2", "--frames", "12", "--medium", "2"}).exitCode, 0);
    ASSERT_EQ(Qzcard({"sample-card", relay, "--cards", "3", "--frames", "12"}).exitCode, 0);
    qztest::QzcardRun run = Qzcard({"export", "--format", "es", "--join", a, b, "-o", out});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("A_QZ0001 (" + a + ")  12 frames"), std::string::npos) << run.out;
    for (const std::string name : {"A_QZ0001", "A_QZ0002", "B_QZ0001", "B_QZ0002"}) {
        EXPECT_TRUE(fs::exists(out + "/" + name + ".m2v")) << name;
        EXPECT_EQ(qztest::ParseJson(qztest::ReadText(out + "/" + name + ".json"))["card"],
                  name[0] == 'A' ? a : b);
    }
    run = Qzcard({"export", "--format", "es", "--join", b, a, "-o", out});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 4);
    EXPECT_EQ(run.out.find("frames"), std::string::npos) << "every set up to date: " << run.out;

    run = Qzcard({"export", "--format", "es", "--join", relay + "/CARD1", relay + "/CARD3", "-o", out,
                  "--allow-missing"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("QZ0003 (medium"), std::string::npos) << run.err;
    for (const std::string name : {"QZ0002", "QZ0004"})
        EXPECT_EQ(qztest::ParseJson(qztest::ReadText(out + "/" + name + ".json"))["frames"], 12) << name;
}

TEST(ExportSafetyTest, AJoinFitsAFileSystemWithJustItsSizeFree) {
    if (geteuid() != 0) GTEST_SKIP() << "mounting a small file system needs root";
    qztest::ScratchFolder scratch("export-space");
    const std::string relay = scratch.Path() + "/relay", roomy = scratch.Path() + "/roomy",
                      tight = scratch.Path() + "/tight";
    ASSERT_EQ(Qzcard({"sample-card", relay, "--cards", "3", "--frames", "60"}).exitCode, 0);
    const std::vector<std::string> cards = {relay + "/CARD1", relay + "/CARD2", relay + "/CARD3"};
    const auto join = [&](const std::string& out) {
        std::vector<std::string> args = {"export", "--format", "es", "--join"};
        args.insert(args.end(), cards.begin(), cards.end());
        args.insert(args.end(), {"-o", out, "--all-channels"});
        return Qzcard(args);
    };
    ASSERT_EQ(join(roomy).exitCode, 0);
    uintmax_t size = 0;
    for (const auto& entry : fs::directory_iterator(roomy)) size += fs::file_size(entry.path());
    for (const uintmax_t room : {size + (256 << 10), size / 2}) {
        SCOPED_TRACE(room);
        fs::create_directories(tight);
        ASSERT_EQ(mount("tmpfs", tight.c_str(), "tmpfs", 0, ("size=" + std::to_string(room)).c_str()), 0);
        const qztest::QzcardRun run = join(tight);
        const std::vector<std::string> written = Entries(tight);
        umount(tight.c_str());
        if (room > size) {
            EXPECT_EQ(run.exitCode, 0) << run.err;
            EXPECT_EQ(written, Entries(roomy));
        } else {
            EXPECT_EQ(run.exitCode, 4);
            EXPECT_NE(run.err.find(tight + ": no room: "), std::string::npos) << run.err;
            EXPECT_NE(run.err.find("MB free"), std::string::npos) << run.err;
            for (const std::string& name : written) EXPECT_EQ(name.find("QZ0002"), std::string::npos) << name;
        }
    }
}

TEST(ExportSafetyTest, ADriveFillingMidwaySaysNoRoomAndLeavesNothing) {
    if (geteuid() != 0) GTEST_SKIP() << "mounting a small file system needs root";
    qztest::ScratchFolder scratch("export-full");
    const std::string card = scratch.Path() + "/card", drive = scratch.Path() + "/drive";
    ASSERT_EQ(Qzcard({"sample-card", card, "--clips", "1", "--frames", "120"}).exitCode, 0);
    fs::create_directories(drive);
    ASSERT_EQ(mount("tmpfs", drive.c_str(), "tmpfs", 0, "size=48m"), 0);
    fs::create_directories(drive + "/out");
    const qztest::CommandResult run = qztest::RunCommand(  // paused at its partial, the small tmpfs filled
        "cd " + qztest::ShellQuote(scratch.Path()) + "; " + qztest::ShellQuote(QZCARD_BINARY) +
        " --no-catalog export card -o drive/out 2>&1 & pid=$!; for i in $(seq 5000); do ls"
        " drive/out/.*.partial >/dev/null 2>&1 && break; sleep 0.001; done; kill -STOP $pid; cat /dev/zero"
        " >drive/fill 2>/dev/null; kill -CONT $pid; wait $pid; echo exit=$?");
    const std::vector<std::string> left = Entries(drive + "/out");
    umount2(drive.c_str(), MNT_DETACH);
    std::regex re(R"(QZ0001: drive/out: no room: 26\.9 MB needed, \S+ MB free \(cannot write [\s\S]*exit=4)");
    EXPECT_TRUE(std::regex_search(run.output, re)) << run.output;  // the room it wanted and the room free
    EXPECT_TRUE(left.empty()) << left.front();                     // and nothing of the set left
}

}  // namespace
