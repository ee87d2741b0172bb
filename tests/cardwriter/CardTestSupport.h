#pragma once
// Helpers shared by the card writer tests: slices of written images, errors
// that must name their reason, running peer tools and reading what they
// print, and an XML dump script.
#include <gtest/gtest.h>
#include "ExternalTool.h"
#include "MxfKlvWalk.h"
#include "ScratchFolder.h"
#include "TestFiles.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace cardwriter_test {

// Big-endian reads of written images (std::out_of_range beyond their end).
using mxftest::BE;

// The n bytes at `at`; a slice beyond the image fails the test.
inline std::vector<uint8_t> Slice(const std::vector<uint8_t>& b, size_t at, size_t n) {
    if (at > b.size() || n > b.size() - at)
        ADD_FAILURE() << "slice " << at << "+" << n << " beyond " << b.size();
    if (at > b.size()) return {};
    return std::vector<uint8_t>(b.begin() + static_cast<long>(at),
                                b.begin() + static_cast<long>(std::min(b.size(), at + n)));
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

// The value of the first "key=value" line of a peer's output; empty without one.
inline std::string ProbeValue(const std::string& output, const std::string& key) {
    const std::string text = "\n" + output, start = "\n" + key + "=";
    const auto at = text.find(start);
    if (at == std::string::npos) return {};
    return text.substr(at + start.size(), text.find('\n', at + 1) - at - start.size());
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
