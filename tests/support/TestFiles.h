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

// The text after the first `skip` bytes (a WAV file's samples after its
// 44-byte header, say); empty when the file is shorter.
inline std::string ReadTextAfter(const std::string& path, size_t skip) {
    const std::string text = ReadText(path);
    return text.size() < skip ? std::string() : text.substr(skip);
}

inline bool WriteText(const std::string& path, const std::string& bytes) {
    return WriteFile(path, std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

}  // namespace qztest
