#pragma once
// Whole-file reads and writes for the tests.
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace qztest {

// Every byte of the file; empty when it cannot be read.
inline std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}

// The same as text.
inline std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The bytes of a WAV file's "data" chunk (its samples), found by walking
// the RIFF chunks; empty when there is none.
inline std::string WavSamples(const std::string& path) {
    const std::string text = ReadText(path);
    const auto le32 = [&text](size_t at) {
        return static_cast<size_t>(static_cast<uint8_t>(text[at]) | static_cast<uint8_t>(text[at + 1]) << 8 |
                                   static_cast<uint8_t>(text[at + 2]) << 16 |
                                   static_cast<uint32_t>(static_cast<uint8_t>(text[at + 3])) << 24);
    };
    for (size_t at = 12; at + 8 <= text.size(); at += 8 + le32(at + 4) + (le32(at + 4) & 1))
        if (text.compare(at, 4, "data") == 0) return text.substr(at + 8, le32(at + 4));
    return std::string();
}

inline bool WriteText(const std::string& path, const std::string& bytes) {
    return WriteFile(path, std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

}  // namespace qztest
