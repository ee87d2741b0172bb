#pragma once
// Running the built qzcard command as a person runs it (stdout, stderr and
// exit code kept apart), the member files of a clip on a card, and an
// exported clip checked against ffmpeg's own extraction of them.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include "ExternalTool.h"
#include "ScratchFolder.h"
#include "TestFiles.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace qztest {

struct QzcardRun {
    int exitCode = -1;  // -1 when qzcard did not exit normally
    std::string out;
    std::string err;
};

// Runs qzcard with `arguments`, the words of a shell command line (paths
// quoted with ShellQuote), inside `folder` when one is given.
inline QzcardRun RunQzcard(const std::string& arguments, const std::string& folder = "") {
    const ScratchFolder errors("qzcard-stderr");
    const std::string errPath = errors.Path() + "/stderr.txt";
    const std::string cd = folder.empty() ? "" : "cd " + ShellQuote(folder) + " && ";
    const CommandResult run =
        RunCommand(cd + ShellQuote(QZCARD_BINARY) + " " + arguments + " 2>" + ShellQuote(errPath));
    return {run.exitCode, run.output, ReadText(errPath)};
}

// Runs qzcard with `args`, each one word.
inline QzcardRun Qzcard(const std::vector<std::string>& args) {
    std::string line;
    for (const std::string& a : args) line += " " + ShellQuote(a);
    return RunQzcard(line);
}

// Text that must be JSON; when it is not, the calling test fails.
inline nlohmann::json ParseJson(const std::string& text) {
    const nlohmann::json j = nlohmann::json::parse(text, nullptr, false);
    EXPECT_FALSE(j.is_discarded()) << "not JSON: " << text;
    return j;
}

// What a command that must succeed prints as JSON.
inline nlohmann::json QzcardJson(const std::vector<std::string>& args) {
    const QzcardRun run = Qzcard(args);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    return ParseJson(run.out);
}

// The member MXF files of a clip on a card, in order.
inline std::vector<std::string> MemberFiles(const std::string& card, const std::string& clip) {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(card + "/CONTENTS/CLIPS001/" + clip))
        if (entry.path().extension() == ".MXF") files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

// Checks the exported .m2v, .wav (the first two channels) and the first
// `channels` channel WAVs of clip `id` in `out` against what ffmpeg
// extracts from the member `files`, appended; the stereo samples ffmpeg read.
inline std::string ExpectFfmpegsExtraction(const std::vector<std::string>& files, uint32_t channels,
                                           const std::string& out, const std::string& id) {
    std::string video, stereo;
    std::vector<std::string> channel(channels);
    for (const std::string& file : files) {
        video += FfmpegVideoCopy(file);
        stereo += FfmpegStereo(file);
        for (uint32_t t = 0; t < channels; ++t)
            channel[t] += FfmpegOutput(file, "-map 0:a:" + std::to_string(t) + " -f s16le -");
    }
    EXPECT_TRUE(ReadText(out + "/" + id + ".m2v") == video);
    EXPECT_TRUE(WavSamples(out + "/" + id + ".wav") == stereo);
    for (uint32_t t = 0; t < channels; ++t)
        EXPECT_TRUE(WavSamples(out + "/" + id + "_ch" + std::to_string(t + 1) + ".wav") == channel[t])
            << "channel " << t + 1;
    return stereo;
}

}  // namespace qztest
