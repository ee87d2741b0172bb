#pragma once
// Helpers shared by the card writer tests: big-endian reads of written
// images, whole-file reads, errors that must name their reason, running peer
// tools and an XML dump script.
#include <gtest/gtest.h>
#include "ExternalTool.h"
#include "ScratchFolder.h"
#include "TestFiles.h"

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
std::vector<uint8_t> VectorOf(const std::array<uint8_t, N>& a) {
    return std::vector<uint8_t>(a.begin(), a.end());
}

using qztest::ReadFile;

using ScratchFolder = qztest::ScratchFolder;

using qztest::CommandResult;
using qztest::ShellQuote;

// Runs `f`, which must throw an `Error` whose message names `reason`.
template <class Error, class F>
void ExpectThrowNaming(F&& f, const std::string& reason) {
    try {
        f();
        ADD_FAILURE() << "nothing thrown, expected: " << reason;
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find(reason), std::string::npos) << e.what();
    }
}

// Peers report problems on stderr: the card writer tests read both streams.
inline CommandResult RunPeer(const std::string& command) {
    return qztest::RunCommand(command, qztest::Capture::StdoutAndStderr);
}

// Path of a python3 script (written once per process) that parses an XML
// file with the standard library's parser and prints "ns=<root namespace>",
// then one line per element in document order: its path of local names, and
// for leaf elements "=" and the UTF-8 bytes of its text in hex. Exits
// non-zero for a document that is not well-formed. Its folder goes when the
// process ends.
inline const std::string& XmlDumpScript() {
    static const qztest::ScratchFolder folder("xml-dump");
    static const std::string path = [] {
        const std::string file = folder.Path() + "/xml-dump.py";
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
