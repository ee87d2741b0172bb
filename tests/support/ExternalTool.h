#pragma once
// Running the independent peers (ffmpeg, ffprobe, xmllint) that interop
// tests check the project against. A missing peer skips the test on a
// developer's machine, but fails it under CI=true: there a skip would hide
// that the interop checks never ran.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace qztest {

struct CommandResult {
    int exitCode = -1;   // -1 when the command did not exit normally
    std::string output;  // what it wrote to stdout (and stderr, when asked)
};

enum class Capture { Stdout, StdoutAndStderr };

// Runs `command` through the shell, capturing stdout, or stdout and stderr
// together (for peers such as ffmpeg that report problems on stderr).
inline CommandResult RunCommand(const std::string& command, Capture capture = Capture::Stdout) {
    CommandResult result;
    const std::string line = capture == Capture::StdoutAndStderr ? command + " 2>&1" : command;
    FILE* pipe = popen(line.c_str(), "r");
    if (!pipe) return result;
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, n);
    const int status = pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

// Single-quotes a path or argument for the shell.
inline std::string ShellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// What ffmpeg writes to stdout for `arguments` applied to one input file;
// a failed run fails the calling test.
inline std::string FfmpegOutput(const std::string& file, const std::string& arguments) {
    const CommandResult run =
        RunCommand("ffmpeg -nostdin -loglevel error -i " + ShellQuote(file) + " " + arguments);
    EXPECT_EQ(run.exitCode, 0) << arguments;
    return run.output;
}

// ffmpeg's stream copy of a file's pictures, as an MPEG-2 elementary stream.
inline std::string FfmpegVideoCopy(const std::string& file) {
    return FfmpegOutput(file, "-map 0:v -c copy -f mpeg2video -");
}

// ffmpeg's first two audio streams of a file merged into 16-bit
// little-endian stereo.
inline std::string FfmpegStereo(const std::string& file) {
    return FfmpegOutput(
        file, "-filter_complex '[0:a:0][0:a:1]amerge=inputs=2[s]' -map '[s]' -c:a pcm_s16le -f s16le -");
}

// The MD5 of every picture ffmpeg decodes from `file`, in presentation order.
inline std::vector<std::string> FfmpegPictureHashes(const std::string& file) {
    std::vector<std::string> hashes;
    std::istringstream lines(FfmpegOutput(file, "-map 0:v -f framemd5 -"));
    for (std::string line; std::getline(lines, line);)
        if (!line.empty() && line[0] != '#') hashes.push_back(line.substr(line.rfind(',') + 1));
    return hashes;
}

inline bool HasTool(const std::string& name) {
    return RunCommand("command -v " + ShellQuote(name) + " >/dev/null 2>&1").exitCode == 0;
}

inline bool RunningUnderCI() {
    const char* ci = std::getenv("CI");
    return ci && std::strcmp(ci, "true") == 0;
}

// For an optional peer check inside a test that has more to check: true when
// the tool is there, and under CI=true also when it is not, so that the
// check runs and fails there instead of being left out.
inline bool ShouldRunPeerCheck(const std::string& tool) {
    return HasTool(tool) || RunningUnderCI();
}

}  // namespace qztest

// Skips the current test when `tool` is missing, or fails it under CI=true.
#define QZ_REQUIRE_TOOL(tool)                                                         \
    do {                                                                              \
        if (!::qztest::HasTool(tool)) {                                               \
            if (::qztest::RunningUnderCI()) FAIL() << (tool) << " is required in CI"; \
            GTEST_SKIP() << (tool) << " not installed";                               \
        }                                                                             \
    } while (0)
