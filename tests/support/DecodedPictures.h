#pragma once
// Picture elements in stored order decoded by ffmpeg as one MPEG-2
// elementary stream: which stored picture each output picture is (ffprobe's
// packet position) and the number the card writer drew on it; the number on
// a picture file (a thumbnail).
#include "DrawnNumber.h"
#include "ExternalTool.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace qztest {

struct DecodedPictures {
    std::vector<int64_t> stored;   // per output picture: its stored picture, -1 if none
    std::vector<int64_t> numbers;  // per output picture: the number it shows, -1 if unreadable
};

// Decodes `pictures` (8-bit luma of width x height) in a scratch `folder`.
inline DecodedPictures DecodePictures(const std::string& folder,
                                      const std::vector<std::vector<uint8_t>>& pictures, int width,
                                      int height) {
    const std::string es = folder + "/pictures.m2v", gray = folder + "/pictures.gray";
    std::map<int64_t, int64_t> storedAt;  // byte position in the stream -> stored picture
    std::vector<uint8_t> stream;
    for (size_t p = 0; p < pictures.size(); ++p) {
        storedAt[int64_t(stream.size())] = int64_t(p);
        stream.insert(stream.end(), pictures[p].begin(), pictures[p].end());
    }
    EXPECT_TRUE(WriteFile(es, stream)) << es;
    DecodedPictures decoded;
    const CommandResult probe =
        RunCommand("ffprobe -v error -f mpegvideo -show_entries frame=pkt_pos -of csv=p=0 " + ShellQuote(es));
    std::istringstream lines(probe.output);
    for (std::string line; std::getline(lines, line);) {
        if (line.empty()) continue;
        const auto at = storedAt.find(std::stoll(line));
        decoded.stored.push_back(at == storedAt.end() ? -1 : at->second);
    }
    EXPECT_EQ(RunCommand("ffmpeg -nostdin -v error -f mpegvideo -i " + ShellQuote(es) +
                         " -f rawvideo -pix_fmt gray -y " + ShellQuote(gray))
                  .exitCode,
              0);
    const std::vector<uint8_t> pixels = ReadFile(gray);
    const size_t frameBytes = size_t(width) * size_t(height);
    EXPECT_EQ(pixels.size() % frameBytes, 0u) << "a partial picture";
    for (size_t k = 0; k + frameBytes <= pixels.size(); k += frameBytes)
        decoded.numbers.push_back(ReadNumber(&pixels[k], width, height));
    return decoded;
}

// The number drawn on the picture in `file` (a JPEG thumbnail), read after
// ffmpeg scales it to the clip's stored `width` x `height`; -2 when ffmpeg
// gives no such picture.
inline int64_t DrawnNumberOf(const std::string& file, int width, int height) {
    const CommandResult run =
        RunCommand("ffmpeg -nostdin -v error -i " + ShellQuote(file) + " -vf scale=" + std::to_string(width) +
                   ":" + std::to_string(height) + " -pix_fmt gray -f rawvideo -");
    if (run.output.size() != size_t(width) * size_t(height)) return -2;
    return ReadNumber(reinterpret_cast<const uint8_t*>(run.output.data()), width, height);
}

}  // namespace qztest
