#pragma once
// Helpers shared by the card writer tests: big-endian reads of written
// images, scratch folders, whole-file reads and running command-line tools.
#include <gtest/gtest.h>
#include "ScratchFolder.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace cardwriter_test {

inline uint32_t U8(const std::vector<uint8_t>& b, size_t at) {
    return b.at(at);
}
inline uint32_t U16(const std::vector<uint8_t>& b, size_t at) {
    return (U8(b, at) << 8) | U8(b, at + 1);
}
inline uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
    return (U16(b, at) << 16) | U16(b, at + 2);
}
inline std::vector<uint8_t> Slice(const std::vector<uint8_t>& b, size_t at, size_t n) {
    if (at > b.size() || n > b.size() - at)
        ADD_FAILURE() << "slice " << at << "+" << n << " beyond " << b.size();
    if (at > b.size()) return {};
    return std::vector<uint8_t>(b.begin() + static_cast<long>(at),
                                b.begin() + static_cast<long>(std::min(b.size(), at + n)));
}
inline std::string Text(const std::vector<uint8_t>& b, size_t at, size_t n) {
    const auto s = Slice(b, at, n);
    return std::string(s.begin(), s.end());
}
inline bool AllZero(const std::vector<uint8_t>& b, size_t at, size_t n) {
    for (uint8_t v : Slice(b, at, n))
        if (v != 0) return false;
    return true;
}
template <size_t N>
std::vector<uint8_t> Bytes(const std::array<uint8_t, N>& a) {
    return std::vector<uint8_t>(a.begin(), a.end());
}

inline std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

using ScratchFolder = qztest::ScratchFolder;

struct CommandResult {
    int exitCode = -1;
    std::string output;  // stdout and stderr
};

inline CommandResult RunCommand(const std::string& command) {
    CommandResult result;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return result;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, n);
    const int status = pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

inline bool HasTool(const std::string& name) {
    return RunCommand("command -v " + name).exitCode == 0;
}

inline std::string Quote(const std::string& path) {
    std::string quoted = "'";
    for (char c : path) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

}  // namespace cardwriter_test

namespace cardwriter_test {

// Path of a python3 script (written once per process) that parses an XML
// file with the standard library's parser and prints "ns=<root namespace>",
// then one line per element in document order: its path of local names, and
// for leaf elements "=" and the UTF-8 bytes of its text in hex. Exits
// non-zero for a document that is not well-formed.
inline const std::string& XmlDumpScript() {
    static const std::string path = [] {
        const char* base = std::getenv("QZ_TEST_TMP");
        std::filesystem::path root = base ? base : std::filesystem::temp_directory_path().string();
        std::filesystem::create_directories(root);
        const std::string file = (root / ("xml-dump-" + std::to_string(getpid()) + ".py")).string();
        std::ofstream(file) << R"(import sys, xml.etree.ElementTree as ET
root = ET.parse(sys.argv[1]).getroot()
def local(tag): return tag.split('}', 1)[1] if tag.startswith('{') else tag
print('ns=' + (root.tag[1:].split('}', 1)[0] if root.tag.startswith('{') else ''))
def walk(element, path):
    here = path + '/' + local(element.tag)
    children = list(element)
    if children:
        print(here)
        for child in children: walk(child, here)
    else:
        print(here + '=' + (element.text or '').encode('utf-8').hex())
walk(root, '')
)";
        return file;
    }();
    return path;
}

}  // namespace cardwriter_test
