// Long checks and copies tell their pace on stderr; a folder another process holds is said busy alike.
#include <gtest/gtest.h>
#include "CUFolderLock.h"
#include "QzcardRun.h"
#include "ScratchFolder.h"

#include <unistd.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using ComVantoVantoQZ64RADPlug::CUFolderLock;
using qztest::Qzcard;

// Every whole line of `text` that `pattern` matches, with its groups (pointing into `text`).
std::vector<std::smatch> Lines(const std::string& text, const std::string& pattern) {
    const std::regex line("^" + pattern + "$", std::regex::multiline);
    return {std::sregex_iterator(text.begin(), text.end(), line), std::sregex_iterator()};
}

TEST(BusyAndProgressTest, ChecksAndCopiesTellTheirPaceAndEveryCommandSaysABusyFolderInTheSameWords) {
    qztest::ScratchFolder scratch("progress");
    const std::string s = scratch.Path(), card = s + "/card", dest = s + "/dest", out = dest + "/out";
    ASSERT_EQ(Qzcard({"sample-card", card, "--clips", "1", "--frames", "30"}).exitCode, 0);
    fs::create_directories(out);
    const qztest::QzcardRun verify = Qzcard({"verify", card, "--decode", "--progress"});
    EXPECT_EQ(verify.exitCode, 0) << verify.err;
    const auto frames =
        Lines(verify.err, R"(checking \S+ QZ\d{4}: frame (\d+) of 30, \d+ frames/s, \d+:\d\d left)");
    ASSERT_FALSE(frames.empty()) << verify.err;  // the first frame is told at once
    for (const std::smatch& line : frames) EXPECT_LE(std::stoul(line[1]), 30u) << line[0];
    for (const auto& args : {std::vector<std::string>{"offload", card, dest, "--progress"},
                             {"offload", "--check", dest + "/card", "--progress"}}) {
        SCOPED_TRACE(args[1]);
        const qztest::QzcardRun run = Qzcard(args);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        const auto lines = Lines(run.err, R"(file=\S+ fileBytes=\d+ fileSize=\d+ bytes=(\d+) total=(\d+) )"
                                          R"(bytesPerSecond=\d+ secondsLeft=(-?\d+))");
        ASSERT_FALSE(lines.empty()) << run.err;  // bytes only grow, to the total with no time left
        for (size_t i = 1; i < lines.size(); ++i)
            EXPECT_GE(std::stoull(lines[i][1]), std::stoull(lines[i - 1][1])) << lines[i][0];
        EXPECT_TRUE(lines.back()[1] == lines.back()[2] && lines.back()[3] == "0") << lines.back()[0];
    }

    const struct {
        std::vector<std::string> args;
        std::string folder;  // locked: the outputs' lock file in `out`, else the copy folder itself
    } rows[] = {{{"export", card, "-o", out, "--wait", "0.1"}, out},
                {{"report", card, "-o", out, "--thumbnails", "0"}, out},
                {{"offload", card, dest, "--wait", "0.1"}, dest + "/card"},
                {{"offload", "--check", dest + "/card"}, dest + "/card"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.args[0] + " " + row.args[1]);
        const CUFolderLock lock =
            row.folder == out ? CUFolderLock(out, "qzcard-export", 0) : CUFolderLock(row.folder, 0);
        const qztest::QzcardRun run = Qzcard(row.args);
        EXPECT_EQ(run.exitCode, 5) << run.err;
        const std::string busy = CUFolderLock::BusyText(fs::path(row.folder).filename(), getpid());
        EXPECT_NE(run.err.find(busy), std::string::npos) << run.err;
    }
}

}  // namespace
