// qzcard ingest end to end on a written card: the card free before any
// second copy starts, every copy checking clean, the movies the same bytes
// as the export command's, a re-run keeping everything, bad profiles refused.
#include "QzcardRun.h"
#include "ScratchFolder.h"
#include "SignalledRun.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
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

}  // namespace
