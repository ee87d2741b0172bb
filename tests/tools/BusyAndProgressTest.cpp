// The commands that work in a folder say it is busy in the same words while
// another process holds it, and the long checks and copies tell their pace
// and time left on stderr in lines a script can read.
#include <gtest/gtest.h>
#include "CUFolderLock.h"
#include "QzcardRun.h"
#include "ScratchFolder.h"

#include <unistd.h>

#include <filesystem>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using ComVantoVantoQZ64RADPlug::CUFolderLock;
using qztest::Qzcard;

using Groups = std::vector<std::string>;  // the whole line, then each group

// Every line of `text` that `pattern` matches, with its groups.
std::vector<Groups> Lines(const std::string& text, const std::regex& pattern) {
    std::vector<Groups> found;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::smatch match;
        if (!std::regex_match(line, match, pattern)) continue;
        found.emplace_back(match.begin(), match.end());
    }
    return found;
}

TEST(BusyAndProgressTest, EveryCommandSaysABusyFolderInTheSameWords) {
    qztest::ScratchFolder scratch("busy");
    const std::string card = scratch.Path() + "/card", dest = scratch.Path() + "/dest", copy = dest + "/card",
                      out = scratch.Path() + "/out";
    ASSERT_EQ(Qzcard({"sample-card", card, "--clips", "1", "--frames", "6"}).exitCode, 0);
    fs::create_directories(dest);
    fs::create_directories(out);
    ASSERT_EQ(Qzcard({"offload", card, dest}).exitCode, 0);
    const struct {
        const char* name;
        std::vector<std::string> args;
        std::string folder;
        bool lockFile;  // the outputs' lock file, else the copy folder itself
    } rows[] = {
        {"export", {"export", card, "-o", out, "--wait", "0.1"}, out, true},
        {"report", {"report", card, "-o", out, "--thumbnails", "0"}, out, true},
        {"offload", {"offload", card, dest, "--wait", "0.1"}, copy, false},
        {"offload --check", {"offload", "--check", copy}, copy, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::optional<CUFolderLock> held;
        if (row.lockFile)
            held.emplace(row.folder, "qzcard-export", 0);
        else
            held.emplace(row.folder, 0);
        const qztest::QzcardRun run = Qzcard(row.args);
        EXPECT_EQ(run.exitCode, 5) << run.err;
        EXPECT_NE(
            run.err.find(fs::path(row.folder).filename().string() + CUFolderLock::BusyText("", getpid())),
            std::string::npos)
            << run.err;
    }
}

TEST(BusyAndProgressTest, ChecksAndCopiesTellTheirPaceAndTimeLeft) {
    qztest::ScratchFolder scratch("progress");
    const std::string card = scratch.Path() + "/card", dest = scratch.Path() + "/dest";
    ASSERT_EQ(Qzcard({"sample-card", card, "--clips", "1", "--frames", "30"}).exitCode, 0);
    fs::create_directories(dest);

    const qztest::QzcardRun verify = Qzcard({"verify", card, "--decode", "--progress"});
    EXPECT_EQ(verify.exitCode, 0) << verify.err;
    const std::regex checking(
        R"(checking \S+ (QZ\d{4}): frame (\d+) of (\d+), (\d+) frames/s, (\d+:\d\d) left)");
    const std::vector<Groups> frames = Lines(verify.err, checking);
    ASSERT_FALSE(frames.empty()) << verify.err;  // the first frame is told at once
    for (const Groups& line : frames) {
        EXPECT_LE(std::stoul(line[2]), std::stoul(line[3])) << line[0];
        EXPECT_EQ(line[3], "30") << line[0];
    }

    const std::regex bytes(
        R"(file=\S+ fileBytes=(\d+) fileSize=(\d+) bytes=(\d+) total=(\d+) bytesPerSecond=(\d+) secondsLeft=(-?\d+))");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"offload", card, dest, "--progress"},
          {"offload", "--check", dest + "/card", "--progress"}}) {
        SCOPED_TRACE(args[1]);
        const qztest::QzcardRun run = Qzcard(args);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        const std::vector<Groups> lines = Lines(run.err, bytes);
        ASSERT_FALSE(lines.empty()) << run.err;
        uint64_t before = 0;
        for (const Groups& line : lines) {
            EXPECT_GE(std::stoull(line[3]), before) << line[0];
            before = std::stoull(line[3]);
        }
        // The last line has read everything, with no time left.
        EXPECT_EQ(lines.back()[3], lines.back()[4]) << lines.back()[0];
        EXPECT_EQ(lines.back()[6], "0") << lines.back()[0];
    }
}

}  // namespace
