#pragma once
// Shared helpers of the MXF reader tests: scratch paths, running tools.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

namespace mxftest {

// A fresh folder under QZ_TEST_TMP (or /tmp).
inline std::string ScratchDir(const std::string& name) {
    const char* base = std::getenv("QZ_TEST_TMP");
    std::string root = base && *base ? base : "/tmp";
    std::string cmd = "mkdir -p '" + root + "'";
    if (std::system(cmd.c_str()) != 0) return "/tmp";
    std::string templ = root + "/" + name + "-XXXXXX";
    std::vector<char> buf(templ.begin(), templ.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data())) return "/tmp";
    return buf.data();
}

inline std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline bool WriteAll(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}

// Runs a shell command; its standard output, or nullopt-like empty + false.
inline bool RunCapture(const std::string& cmd, std::string& out) {
    out.clear();
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return false;
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    return pclose(p) == 0;
}

inline bool HaveTool(const std::string& tool) {
    std::string out;
    return RunCapture("command -v " + tool + " >/dev/null 2>&1 && echo yes", out) && out.find("yes") == 0;
}

}  // namespace mxftest
