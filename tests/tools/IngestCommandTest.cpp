// qzcard ingest end to end on written cards: the card free early, each card
// file read once, copies clean, movies the export command's, re-runs (after
// SIGKILL too) whole, bad profiles refused, two devices at once, three cards.
#include "BoundedRun.h"
#include "ExternalTool.h"
#include "FolderSnapshot.h"
#include "MountedFolder.h"
#include "QzcardRun.h"
#include "ScratchFolder.h"
#include "SignalledRun.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using qztest::Qzcard;

std::vector<nlohmann::json> Events(const std::string& out) {
    std::vector<nlohmann::json> events;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) events.push_back(qztest::ParseJson(line));
    return events;
}

std::string Bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The index of the first event of `kind` (for `card`, when given); the count when none.
size_t IndexOf(const std::vector<nlohmann::json>& events, const char* kind, const std::string& card = "") {
    for (size_t i = 0; i < events.size(); ++i)
        if (events[i]["event"] == kind && (card.empty() || events[i]["card"] == card)) return i;
    return events.size();
}

size_t CountOf(const std::vector<nlohmann::json>& events, const char* kind, const char* status = nullptr) {
    return std::count_if(events.begin(), events.end(), [&](const nlohmann::json& event) {
        return event["event"] == kind && (!status || event["status"] == status);
    });
}

nlohmann::json Spanned(const std::vector<nlohmann::json>& events) {
    for (const nlohmann::json& event : events)
        if (event["event"] == "recording" && event["pieceCount"] > 1) return event;
    return {};
}

// Partial files and offload journals anywhere under `root`.
std::vector<std::string> Leftovers(const fs::path& root) {
    std::vector<std::string> found;
    std::error_code error;
    for (fs::recursive_directory_iterator it(root, error), end; !error && it != end; it.increment(error))
        if (it->path().extension() == ".partial" || it->path().filename() == ".qzcard-offload.journal")
            found.push_back(it->path().string());
    return found;
}

void ExpectCopiesClean(const std::string& a, const std::string& b, const std::string& card) {
    EXPECT_EQ(Qzcard({"--no-catalog", "offload", "--check", a, b, "--card", card}).exitCode, 0);
    if (!fs::exists("/usr/local/bin/ascmhl")) return;
    for (const std::string& copy : {a, b})
        EXPECT_EQ(qztest::RunCommand("/usr/local/bin/ascmhl verify " + qztest::ShellQuote(copy)).exitCode, 0)
            << copy;
}

// `card`'s day into `base`: copies to A then B, movies to M; its folders (and P, R, M2) made here.
std::vector<std::string> Day(const std::string& card, const fs::path& base) {
    for (const char* name : {"A", "B", "M", "M2", "P", "R"}) fs::create_directories(base / name);
    const auto in = [&](const char* name) { return (base / name).string(); };
    return {"--no-catalog", "ingest", card,       "--to",  in("A"),
            "--then",       in("B"),  "--movies", in("M"), "--json"};
}

// The card free before the second copy, each card media file opened once
// (strace), none after nor on a re-run; SIGKILL anywhere mended by a re-run.
TEST(IngestCommand, FreesTheCardReadingEachFileOnceThenCascadesAndResumesAfterAKill) {
    const qztest::ScratchFolder folder("ingest-cmd");
    const fs::path root = folder.Path();
    const std::string card = (root / "card").string(), trace = (root / "trace.txt").string();
    ASSERT_EQ(Qzcard({"sample-card", card, "--frames", "24"}).exitCode, 0);
    const qztest::FolderSnapshot before = qztest::TakeSnapshot(card);
    std::map<std::string, int> media;  // each card media file, opened once
    for (const auto& entry : fs::recursive_directory_iterator(card))
        if (entry.path().extension() == ".MXF") media[entry.path().string()] = 1;
    ASSERT_FALSE(media.empty());
    const bool tracing = qztest::HasTool("strace") && !qztest::kSanitizedBuild;
    std::string shell =
        (tracing ? "strace -f -qq -e trace=openat,write -o " + trace + " " : "") + QZCARD_BINARY;
    for (const std::string& arg : Day(card, root)) shell += " " + arg;
    shell += " --proxies " + (root / "P").string() + " --report " + (root / "R").string();
    // The events told; the trace's successful opens of card media files: the
    // card's opening reads headers (non-blocking opens), the copy reads whole.
    struct Told {
        std::vector<nlohmann::json> events;
        std::map<std::string, int> whole;
        int frees = 0, afterFree = 0;  // cardFree events told; card file opens after the first
    };
    const auto run = [&](const char* out) {
        EXPECT_EQ(qztest::RunCommand(shell + " > " + (root / out).string()).exitCode, 0);
        Told told{Events(qztest::ReadText((root / out).string())), {}, 0, 0};
        std::istringstream text(tracing ? qztest::ReadText(trace) : "");
        for (std::string line; std::getline(text, line);) {
            told.frees += line.find("write(1, \"{\\\"event\\\":\\\"cardFree") != std::string::npos;
            if (line.find("openat(") == std::string::npos || line.find("= -1") != std::string::npos) continue;
            for (const auto& [file, once] : media)
                if (line.find("\"" + file + "\"") != std::string::npos) {
                    told.afterFree += told.frees > 0;
                    told.whole[file] += line.find("O_NONBLOCK") == std::string::npos;
                }
        }
        return told;
    };
    const Told first = run("first.json");
    ASSERT_FALSE(first.events.empty());
    EXPECT_EQ(first.events.front()["event"], "started");
    EXPECT_EQ(first.events.back()["event"], "done");
    EXPECT_EQ(first.events.back()["complete"], true);
    EXPECT_LT(IndexOf(first.events, "cardFree"), IndexOf(first.events, "copied"));
    EXPECT_LT(IndexOf(first.events, "copied"), first.events.size());
    EXPECT_EQ(CountOf(first.events, "outputWritten", "written"), 13u);  // 6 movies, 6 proxies, the report
    EXPECT_EQ(first.frees, tracing ? 1 : 0);
    EXPECT_EQ(first.afterFree, 0);
    EXPECT_EQ(first.whole, (tracing ? media : std::map<std::string, int>{}));
    EXPECT_FALSE(fs::is_empty(root / "P"));
    EXPECT_TRUE(fs::exists(root / "R" / "index.html"));

    // Both copies check clean against the card; the second names its source.
    const std::string a = (root / "A" / "card").string(), b = (root / "B" / "card").string();
    ExpectCopiesClean(a, b, card);
    bool named = false;
    for (const auto& entry : fs::directory_iterator(fs::path(b) / "ascmhl"))
        named = named || Bytes(entry.path()).find("source=\"" + a + "\"") != std::string::npos;
    EXPECT_TRUE(named);

    // The movies are the export command's own, of the verified copy.
    ASSERT_EQ(Qzcard({"export", a, "--join", "--allow-missing", "-o", (root / "M2").string()}).exitCode, 0);
    for (const char* clip : {"QZ0001.mov", "QZ0004.mov"})
        EXPECT_EQ(Bytes(root / "M" / clip), Bytes(root / "M2" / clip)) << clip;

    // Again: no card file opened, nothing copied, every movie and proxy up to date.
    const Told again = run("again.json");
    EXPECT_EQ(again.whole, (std::map<std::string, int>{}));
    EXPECT_EQ(CountOf(again.events, "alreadyIngested"), 1u);
    EXPECT_EQ(CountOf(again.events, "fileVerified"), 0u);
    EXPECT_EQ(CountOf(again.events, "outputWritten", "up to date"), 12u);

    // SIGKILL at each point of a day; the re-run ends whole, nothing partial.
    const std::pair<const char*, std::function<bool(const fs::path&)>> points[] = {
        {"copy begun", [](const fs::path& base) { return fs::exists(base / "A/card/CONTENTS"); }},
        {"a file in copy", [](const fs::path& base) { return !Leftovers(base / "A/card/CONTENTS").empty(); }},
        {"card free, cascade begun", [](const fs::path& base) { return fs::exists(base / "B/card"); }},
        {"movies begun", [](const fs::path& base) { return !fs::is_empty(base / "M"); }},
    };
    for (const auto& [name, reached] : points) {
        SCOPED_TRACE(name);
        const fs::path base = root / name;
        const std::vector<std::string> ingest = Day(card, base);
        const qztest::SignalledRun killed = qztest::RunAndSignal(
            ingest, [&] { return reached(base); }, SIGKILL, (base / "err.txt").string());
        EXPECT_TRUE(killed.signal == SIGKILL || killed.exitCode == 0) << killed.err;
        const qztest::QzcardRun rerun = Qzcard(ingest);
        ASSERT_EQ(rerun.exitCode, 0) << rerun.err;
        EXPECT_EQ(Events(rerun.out).back()["complete"], true);
        EXPECT_EQ(CountOf(Events(rerun.out), "outputWritten"), 6u) << rerun.out;
        EXPECT_EQ(Leftovers(base), std::vector<std::string>());
        ExpectCopiesClean((base / "A/card").string(), (base / "B/card").string(), card);
        // One point is enough under the sanitizers; the dev build takes them all.
        if (qztest::kSanitizedBuild) break;
    }
    EXPECT_TRUE(qztest::TakeSnapshot(card) == before);
}

// A card moved into a watched folder is ingested; a folder that is not a
// card, made after it, is told and left alone (told only once the card's
// ingest has ended: one arrival at a time); SIGINT ends the watch.
TEST(IngestCommand, WatchIngestsACardThatAppearsAndIgnoresOtherFolders) {
    const qztest::ScratchFolder folder("ingest-watch");
    const fs::path root = folder.Path();
    for (const char* name : {"watched", "A"}) fs::create_directories(root / name);
    ASSERT_EQ(Qzcard({"sample-card", (root / "card").string(), "--frames", "12"}).exitCode, 0);
    const std::string errFile = (root / "err.txt").string();
    bool arranged = false;
    const qztest::SignalledRun run = qztest::RunAndSignal(
        {"--no-catalog", "ingest", "--watch", (root / "watched").string(), "--to", (root / "A").string()},
        [&] {
            const std::string err = qztest::ReadText(errFile);
            if (!arranged && err.find("watching") != std::string::npos) {
                fs::rename(root / "card", root / "watched" / "card");
                fs::create_directory(root / "watched" / "notacard");
                arranged = true;
            }
            return err.find("ignored:") != std::string::npos;
        },
        SIGINT, errFile);
    ASSERT_TRUE(run.exited) << run.err;
    EXPECT_EQ(run.exitCode, 130) << run.err;
    EXPECT_NE(run.err.find("notacard is not a card"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("the watch ended"), std::string::npos) << run.err;
    const std::string copy = (root / "A" / "card").string(), watched = (root / "watched" / "card").string();
    EXPECT_EQ(Qzcard({"--no-catalog", "offload", "--check", copy, "--card", watched}).exitCode, 0);
}

TEST(IngestCommand, RefusesBadProfiles) {
    const qztest::ScratchFolder folder("ingest-profile");
    const std::pair<const char*, const char*> cases[] = {
        {"{\"to\": [", "is not JSON"},
        {"[1]", "is not a JSON object"},
        {"{\"to\": [\"x\"], \"bogus\": 1}", "unknown key \"bogus\""},
        {"{\"copies\": 0}", "copies"},
        {"{\"json\": \"yes\"}", "\"json\""},
    };
    for (const auto& [text, said] : cases) {
        const std::string path = folder.Path() + "/profile.json";
        std::ofstream(path) << text;
        const qztest::QzcardRun run = Qzcard({"ingest", folder.Path(), "--profile", path});
        EXPECT_EQ(run.exitCode, 64) << text;
        EXPECT_NE(run.err.find(said), std::string::npos) << run.err;
    }
}

// Two cards of a recording across three: read at once on two devices (tmpfs
// mounts), in turn on one; the recording told with its missing piece, then
// complete once the third card is ingested beside the first two.
TEST(IngestCommand, CardsOnTwoDevicesAtOnceOnOneInTurnAndARecordingAcrossThree) {
    const qztest::ScratchFolder folder("ingest-devices");
    const fs::path root = folder.Path();
    const std::string span = (root / "span").string(), r = (root / "r").string(), catalog = r + ".sqlite";
    ASSERT_EQ(Qzcard({"sample-card", span, "--cards", "3", "--frames", "24"}).exitCode, 0);
    const qztest::MountedFolder reader1(r + "1", "tmpfs", "tmpfs", "size=128m");
    const qztest::MountedFolder reader2(r + "2", "tmpfs", "tmpfs", "size=128m");
    const qztest::MountedFolder drive(r + "3", "tmpfs", "tmpfs", "size=128m");
    const bool mounted = reader1.ok && reader2.ok && drive.ok;
    for (const std::string n : {"1", "2"})
        ASSERT_EQ(mounted ? qztest::RunCommand("cp -a " + span + "/CARD" + n + " " + r + n).exitCode : 0, 0);
    for (const bool twoDevices : {false, true}) {
        SCOPED_TRACE(twoDevices ? "two devices" : "one device");
        if (twoDevices && !mounted) GTEST_SKIP() << "two devices not tried: mounting tmpfs needs root";
        const fs::path base = root / (twoDevices ? "two" : "one");
        const std::string card1 = twoDevices ? r + "1/CARD1" : span + "/CARD1";
        const std::string card2 = twoDevices ? r + "2/CARD2" : span + "/CARD2";
        const std::string a = (base / "A").string(), b = twoDevices ? r + "3/copies" : (base / "B").string();
        for (const std::string& copies : {a, b}) fs::create_directories(copies);
        std::vector<std::string> args = {"--catalog", catalog, "ingest", card1,      card2, "--to",
                                         a,           "--to",  b,        "--copies", "2",   "--json"};
        const qztest::QzcardRun run = Qzcard(args);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const std::vector<nlohmann::json> events = Events(run.out);
        const size_t firstFree = IndexOf(events, "cardFree");
        // At once: the second card begun before the first is free; in turn: after.
        EXPECT_EQ(IndexOf(events, "started", card2) < firstFree, twoDevices);
        // Each file is told as it is verified, before its card is free.
        for (const std::string& card : {card1, card2})
            EXPECT_LT(IndexOf(events, "fileVerified", card), IndexOf(events, "cardFree", card));
        const nlohmann::json recording = Spanned(events);
        EXPECT_TRUE(recording["pieceCount"] == 3 && recording["missingCount"] == 1) << recording.dump();
        // Copies on two volumes other than the card's make it erasable (one tmpfs per card reader).
        EXPECT_TRUE(!twoDevices || events[firstFree]["erasable"] == true) << events[firstFree].dump();
        EXPECT_TRUE(!twoDevices ||
                    Qzcard({"--catalog", catalog, "catalog", "erasable", card1, "--copies", "2"}).exitCode ==
                        0);

        args.insert(args.begin() + 5, span + "/CARD3");
        // A file gone from a copy of the first card: that card is read again, the second is not.
        for (const std::string& copies : {a, b}) fs::remove(copies + "/CARD1/CONTENTS/CLIPS001/INDEX.MIF");
        const qztest::QzcardRun again = Qzcard(args);
        ASSERT_EQ(again.exitCode, 0) << again.err;
        const std::vector<nlohmann::json> told = Events(again.out);
        EXPECT_EQ(CountOf(told, "alreadyIngested"), 1u) << again.out;
        EXPECT_LT(IndexOf(told, "fileVerified", card1), told.size());
        EXPECT_LT(IndexOf(told, "fileVerified", span + "/CARD3"), told.size());
        EXPECT_EQ(IndexOf(told, "fileVerified", card2), told.size());
        const nlohmann::json whole = Spanned(told);
        EXPECT_TRUE(whole["complete"] == true && whole["missingCount"] == 0) << whole.dump();
    }
}

}  // namespace
