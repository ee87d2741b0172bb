// qzcard ingest end to end on a written card: the card free before any
// second copy starts, every copy checking clean, the movies the same bytes
// as the export command's, a re-run keeping everything, bad profiles
// refused; cards on two devices copied at once, a recording across three
// cards, each card file opened once (strace), SIGKILL at any point.
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
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <random>
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

// The recording told whose pieces lie on several cards.
nlohmann::json Spanned(const std::vector<nlohmann::json>& events) {
    for (const nlohmann::json& event : events)
        if (event["event"] == "recording" && event["pieceCount"] > 1) return event;
    return {};
}

size_t CountOf(const std::vector<nlohmann::json>& events, const char* kind) {
    size_t count = 0;
    for (const nlohmann::json& event : events) count += event["event"] == kind;
    return count;
}

// Partial files (and with `journals` offload journals) anywhere under `root`.
std::vector<std::string> Leftovers(const fs::path& root, bool journals = true) {
    std::vector<std::string> found;
    std::error_code error;
    for (fs::recursive_directory_iterator it(root, error), end; !error && it != end; it.increment(error))
        if (it->path().extension() == ".partial" ||
            (journals && it->path().filename() == ".qzcard-offload.journal"))
            found.push_back(it->path().string());
    return found;
}

// Both copies check clean against the card, and with the ASC's tool when there.
void ExpectCopiesClean(const std::string& a, const std::string& b, const std::string& card) {
    EXPECT_EQ(Qzcard({"--no-catalog", "offload", "--check", a, b, "--card", card}).exitCode, 0);
    if (!fs::exists("/usr/local/bin/ascmhl")) return;
    for (const std::string& copy : {a, b})
        EXPECT_EQ(qztest::RunCommand("/usr/local/bin/ascmhl verify " + qztest::ShellQuote(copy)).exitCode, 0)
            << copy;
}

TEST(IngestCommand, FreesTheCardFirstThenCascadesAndResumes) {
    const qztest::ScratchFolder folder("ingest-cmd");
    const fs::path root = folder.Path();
    const std::string card = (root / "card").string();
    ASSERT_EQ(Qzcard({"sample-card", card, "--frames", "12"}).exitCode, 0);
    for (const char* name : {"A", "B", "M", "M2"}) fs::create_directories(root / name);
    const std::vector<std::string> ingest = {"ingest",   card,
                                             "--to",     (root / "A").string(),
                                             "--then",   (root / "B").string(),
                                             "--movies", (root / "M").string(),
                                             "--json"};
    const qztest::QzcardRun first = Qzcard(ingest);
    ASSERT_EQ(first.exitCode, 0) << first.err;
    const std::vector<nlohmann::json> events = Events(first.out);
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.front()["event"], "started");
    EXPECT_EQ(events.back()["event"], "done");
    EXPECT_EQ(events.back()["complete"], true);
    size_t freeAt = events.size(), firstCopyAt = events.size(), movies = 0;
    for (size_t i = 0; i < events.size(); ++i) {
        if (events[i]["event"] == "cardFree" && freeAt == events.size()) freeAt = i;
        if (events[i]["event"] == "copied" && firstCopyAt == events.size()) firstCopyAt = i;
        movies += events[i]["event"] == "outputWritten" && events[i]["status"] == "written";
    }
    EXPECT_LT(freeAt, firstCopyAt);
    EXPECT_LT(firstCopyAt, events.size());
    EXPECT_EQ(movies, 6u);

    // Both copies check clean against the card; the second names its source.
    const std::string a = (root / "A" / "card").string(), b = (root / "B" / "card").string();
    EXPECT_EQ(Qzcard({"--no-catalog", "offload", "--check", a, b, "--card", card}).exitCode, 0);
    bool named = false;
    for (const auto& entry : fs::directory_iterator(fs::path(b) / "ascmhl"))
        named = named || Bytes(entry.path()).find("source=\"" + a + "\"") != std::string::npos;
    EXPECT_TRUE(named);

    // The movies are the export command's own, of the verified copy.
    ASSERT_EQ(Qzcard({"export", a, "--join", "--allow-missing", "-o", (root / "M2").string()}).exitCode, 0);
    for (const char* clip : {"QZ0001.mov", "QZ0004.mov"})
        EXPECT_EQ(Bytes(root / "M" / clip), Bytes(root / "M2" / clip)) << clip;

    // Again: nothing copied from the card, every movie up to date.
    const qztest::QzcardRun again = Qzcard(ingest);
    ASSERT_EQ(again.exitCode, 0) << again.err;
    size_t upToDate = 0;
    for (const nlohmann::json& event : Events(again.out)) {
        EXPECT_NE(event["event"], "fileVerified") << event.dump();
        upToDate += event["event"] == "outputWritten" && event["status"] == "up to date";
    }
    EXPECT_EQ(upToDate, 6u);
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
    EXPECT_EQ(Qzcard({"--no-catalog", "offload", "--check", (root / "A" / "card").string(), "--card",
                      (root / "watched" / "card").string()})
                  .exitCode,
              0);
}

TEST(IngestCommand, RefusesBadProfiles) {
    const qztest::ScratchFolder folder("ingest-profile");
    struct Case {
        const char* text;
        const char* said;
    };
    const Case cases[] = {
        {"{\"to\": [", "is not JSON"},
        {"[1]", "is not a JSON object"},
        {"{\"to\": [\"x\"], \"bogus\": 1}", "unknown key \"bogus\""},
        {"{\"copies\": 0}", "copies"},
        {"{\"json\": \"yes\"}", "\"json\""},
    };
    for (const Case& c : cases) {
        const std::string path = folder.Path() + "/profile.json";
        std::ofstream(path) << c.text;
        const qztest::QzcardRun run = Qzcard({"ingest", folder.Path(), "--profile", path});
        EXPECT_EQ(run.exitCode, 64) << c.text;
        EXPECT_NE(run.err.find(c.said), std::string::npos) << run.err;
    }
}

// Two cards of a recording across three: read at the same time when they
// lie on two devices (tmpfs mounts), one after the other on one; the
// recording told with its missing piece, then complete once the third card
// is ingested beside the first two, which are not read again.
TEST(IngestCommand, CardsOnTwoDevicesAtOnceOnOneInTurnAndARecordingAcrossThree) {
    const qztest::ScratchFolder folder("ingest-devices");
    const fs::path root = folder.Path();
    ASSERT_EQ(Qzcard({"sample-card", (root / "span").string(), "--cards", "3", "--frames", "24"}).exitCode,
              0);
    const qztest::MountedFolder reader1((root / "r1").string(), "tmpfs", "tmpfs", "size=128m");
    const qztest::MountedFolder reader2((root / "r2").string(), "tmpfs", "tmpfs", "size=128m");
    const qztest::MountedFolder drive((root / "drive").string(), "tmpfs", "tmpfs", "size=128m");
    const bool mounted = reader1.ok && reader2.ok && drive.ok;
    for (const char* card : {"1", "2"}) {
        if (!mounted) break;
        const std::string copy =
            "cp -a " + (root / "span/CARD").string() + card + " " + (root / "r").string() + card;
        ASSERT_EQ(qztest::RunCommand(copy + "/").exitCode, 0);
    }
    const std::string catalog = (root / "catalog.sqlite").string();
    struct Case {
        const char* name;
        bool twoDevices;
    };
    for (const Case c : {Case{"one device", false}, Case{"two devices", true}}) {
        SCOPED_TRACE(c.name);
        if (c.twoDevices && !mounted) {
            std::printf("two devices not tried: mounting tmpfs needs root\n");
            continue;
        }
        const fs::path base = root / c.name;
        const std::string card1 =
            c.twoDevices ? (root / "r1" / "CARD1").string() : (root / "span/CARD1").string();
        const std::string card2 =
            c.twoDevices ? (root / "r2" / "CARD2").string() : (root / "span/CARD2").string();
        const std::string second =
            c.twoDevices ? (root / "drive" / "copies").string() : (base / "B").string();
        fs::create_directories(base / "A");
        fs::create_directories(second);
        const std::vector<std::string> args = {
            "--catalog",           catalog, "ingest", card1,      card2, "--to",
            (base / "A").string(), "--to",  second,   "--copies", "2",   "--json"};
        const qztest::QzcardRun run = Qzcard(args);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const std::vector<nlohmann::json> events = Events(run.out);
        const size_t firstFree = IndexOf(events, "cardFree");
        // At once: the second card begun before the first is free; in turn: after.
        EXPECT_EQ(IndexOf(events, "started", card2) < firstFree, c.twoDevices);
        // Each file is told as it is verified, before its card is free.
        for (const std::string& card : {card1, card2})
            EXPECT_LT(IndexOf(events, "fileVerified", card), IndexOf(events, "cardFree", card));
        const nlohmann::json recording = Spanned(events);
        EXPECT_EQ(recording["pieceCount"], 3) << recording.dump();
        EXPECT_EQ(recording["missingCount"], 1) << recording.dump();
        // Copies on two volumes other than the card's make it erasable (one tmpfs per card reader).
        if (c.twoDevices) {
            EXPECT_EQ(events[firstFree]["erasable"], true) << events[firstFree].dump();
            EXPECT_EQ(Qzcard({"--catalog", catalog, "catalog", "erasable", card1, "--copies", "2"}).exitCode,
                      0);
        }

        std::vector<std::string> all = args;
        all.insert(all.begin() + 5, (root / "span/CARD3").string());
        // A file gone from a copy of the first card: that card is read again, the second is not.
        for (const fs::path& copies : {base / "A", fs::path(second)})
            fs::remove(copies / "CARD1/CONTENTS/CLIPS001/INDEX.MIF");
        const qztest::QzcardRun again = Qzcard(all);
        ASSERT_EQ(again.exitCode, 0) << again.err;
        const std::vector<nlohmann::json> told = Events(again.out);
        EXPECT_EQ(CountOf(told, "alreadyIngested"), 1u) << again.out;
        EXPECT_LT(IndexOf(told, "fileVerified", card1), told.size());
        EXPECT_LT(IndexOf(told, "fileVerified", (root / "span/CARD3").string()), told.size());
        EXPECT_EQ(IndexOf(told, "fileVerified", card2), told.size());
        const nlohmann::json whole = Spanned(told);
        EXPECT_EQ(whole["complete"], true) << whole.dump();
        EXPECT_EQ(whole["missingCount"], 0) << whole.dump();
    }
}

// Each card media file is opened once (copied and hashed in one read),
// none after the card is told free, none at all on a re-run; every copy is
// clean (offload --check and the ASC's tool); the card is never written.
TEST(IngestCommand, ReadsEachCardFileOnceAndNeverAfterItIsFree) {
    if (!qztest::HasTool("strace")) GTEST_SKIP() << "strace not installed";
    if (qztest::kSanitizedBuild) GTEST_SKIP() << "a whole-card run under strace: the dev build runs it";
    const qztest::ScratchFolder folder("ingest-reads");
    const fs::path root = folder.Path();
    const std::string card = (root / "card").string();
    ASSERT_EQ(Qzcard({"sample-card", card, "--frames", "12"}).exitCode, 0);
    for (const char* name : {"A", "B", "M", "P", "R"}) fs::create_directories(root / name);
    const qztest::FolderSnapshot before = qztest::TakeSnapshot(card);
    std::vector<std::string> media;
    for (const auto& entry : fs::recursive_directory_iterator(card))
        if (entry.path().extension() == ".MXF") media.push_back(entry.path().string());
    ASSERT_FALSE(media.empty());
    const std::string trace = (root / "trace.txt").string();
    const auto traced = [&](const char* out) {
        return qztest::RunCommand("strace -f -qq -e trace=openat,write -o " + trace + " " + QZCARD_BINARY +
                                  " --no-catalog ingest " + card + " --to " + (root / "A").string() +
                                  " --then " + (root / "B").string() + " --movies " + (root / "M").string() +
                                  " --proxies " + (root / "P").string() + " --report " +
                                  (root / "R").string() + " --json > " + (root / out).string())
            .exitCode;
    };
    // Per card media file, the trace lines of its (successful) opens: those
    // of a card's opening, which reads the file's headers, are non-blocking;
    // the copy's whole read is not. And the line the card is told free on.
    struct Opens {
        std::map<std::string, std::vector<size_t>> any, whole;
        size_t freeLine = SIZE_MAX;
    };
    const auto opens = [&] {
        Opens found;
        std::istringstream text(qztest::ReadText(trace));
        size_t n = 0;
        for (std::string line; std::getline(text, line); ++n) {
            if (line.find("write(1, \"{\\\"event\\\":\\\"cardFree") != std::string::npos)
                found.freeLine = std::min(found.freeLine, n);
            if (line.find("openat(") == std::string::npos || line.find("= -1") != std::string::npos) continue;
            for (const std::string& file : media)
                if (line.find("\"" + file + "\"") != std::string::npos) {
                    found.any[file].push_back(n);
                    if (line.find("O_NONBLOCK") == std::string::npos) found.whole[file].push_back(n);
                }
        }
        return found;
    };
    ASSERT_EQ(traced("first.json"), 0) << qztest::ReadText(trace).substr(0, 2000);
    const Opens first = opens();
    ASSERT_NE(first.freeLine, SIZE_MAX);
    for (const std::string& file : media) {
        ASSERT_EQ(first.whole.count(file), 1u) << file;
        EXPECT_EQ(first.whole.at(file).size(), 1u) << file;
        EXPECT_LT(first.any.at(file).back(), first.freeLine) << file;
    }
    EXPECT_FALSE(fs::is_empty(root / "P"));
    EXPECT_TRUE(fs::exists(root / "R" / "index.html"));
    ExpectCopiesClean((root / "A/card").string(), (root / "B/card").string(), card);

    ASSERT_EQ(traced("again.json"), 0);
    EXPECT_EQ(opens().any, (std::map<std::string, std::vector<size_t>>{}));
    EXPECT_EQ(CountOf(Events(qztest::ReadText((root / "again.json").string())), "alreadyIngested"), 1u);
    EXPECT_TRUE(qztest::TakeSnapshot(card) == before);
}

// SIGKILL at each point of the day; the same command run again ends whole:
// every copy clean, every movie there, nothing partial, the card untouched.
TEST(IngestCommand, KilledAtAnyPointARerunEndsWhole) {
    const qztest::ScratchFolder folder("ingest-kill");
    const fs::path root = folder.Path();
    const std::string card = (root / "card").string();
    ASSERT_EQ(Qzcard({"sample-card", card, "--frames", "24"}).exitCode, 0);
    const qztest::FolderSnapshot before = qztest::TakeSnapshot(card);
    struct Point {
        const char* name;
        std::function<bool(const fs::path& base)> reached;
    };
    std::vector<Point> points = {
        {"copy begun", [](const fs::path& base) { return fs::exists(base / "A/card/CONTENTS"); }},
        {"a file being copied or read back",
         [](const fs::path& base) { return !Leftovers(base / "A", false).empty(); }},
        {"card free, cascade begun", [](const fs::path& base) { return fs::exists(base / "B/card"); }},
        {"movies begun", [](const fs::path& base) { return !fs::is_empty(base / "M"); }},
    };
    // And at moments drawn at random (the same ones each run) in the first 2.5 s.
    std::mt19937 random(40);
    static const std::vector<std::string> moments = {"random 1", "random 2", "random 3",
                                                     "random 4", "random 5", "random 6"};
    for (const std::string& name : moments) {
        const auto after = std::chrono::milliseconds(std::uniform_int_distribution<int>(0, 2500)(random));
        auto start = std::make_shared<std::optional<std::chrono::steady_clock::time_point>>();
        points.push_back({name.c_str(), [after, start](const fs::path&) {
                              const auto now = std::chrono::steady_clock::now();
                              if (!*start) *start = now;
                              return now - **start >= after;
                          }});
    }
    for (const Point& point : points) {
        SCOPED_TRACE(point.name);
        const fs::path base = root / point.name;
        for (const char* name : {"A", "B", "M"}) fs::create_directories(base / name);
        const std::vector<std::string> ingest = {"--no-catalog",
                                                 "ingest",
                                                 card,
                                                 "--to",
                                                 (base / "A").string(),
                                                 "--then",
                                                 (base / "B").string(),
                                                 "--movies",
                                                 (base / "M").string(),
                                                 "--json"};
        const qztest::SignalledRun killed = qztest::RunAndSignal(
            ingest, [&] { return point.reached(base); }, SIGKILL, (base / "err.txt").string());
        EXPECT_TRUE(killed.signal == SIGKILL || killed.exitCode == 0) << killed.err;
        const qztest::QzcardRun again = Qzcard(ingest);
        ASSERT_EQ(again.exitCode, 0) << again.err;
        const std::vector<nlohmann::json> events = Events(again.out);
        EXPECT_EQ(events.back()["complete"], true);
        size_t movies = 0;
        for (const nlohmann::json& event : events) movies += event["event"] == "outputWritten";
        EXPECT_EQ(movies, 6u) << again.out;
        EXPECT_EQ(Leftovers(base), std::vector<std::string>());
        ExpectCopiesClean((base / "A/card").string(), (base / "B/card").string(), card);
        // One point is enough under the sanitizers; the dev build takes them all.
        if (qztest::kSanitizedBuild) break;
    }
    EXPECT_TRUE(qztest::TakeSnapshot(card) == before);
}

}  // namespace
