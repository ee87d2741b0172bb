#include "CUMountTable.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace ComVantoVantoQZ64RADPlug {

namespace {

// mountinfo escapes blanks, tabs, newlines and backslashes as \ooo.
std::string Unescape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '3' &&
            text[i + 2] >= '0' && text[i + 2] <= '7' && text[i + 3] >= '0' && text[i + 3] <= '7') {
            out +=
                static_cast<char>((text[i + 1] - '0') * 64 + (text[i + 2] - '0') * 8 + (text[i + 3] - '0'));
            i += 3;
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace

bool CUMountTable::Holds(const std::string& mountPoint, const std::string& path) {
    if (mountPoint == "/") return true;
    return path.compare(0, mountPoint.size(), mountPoint) == 0 &&
           (path.size() == mountPoint.size() || path[mountPoint.size()] == '/');
}

std::vector<CUMountEntry> CUMountTable::Read() {
    std::vector<CUMountEntry> mounts;
    std::ifstream in("/proc/self/mountinfo");
    std::string line;
    while (std::getline(in, line)) {
        // id parent major:minor root mount-point options [optional...] - type source super-options
        std::istringstream fields(line);
        std::string id, parent, device, root, mountPoint;
        if (!(fields >> id >> parent >> device >> root >> mountPoint)) continue;
        CUMountEntry entry;
        entry.mountPoint = Unescape(mountPoint);
        if (std::sscanf(device.c_str(), "%u:%u", &entry.major, &entry.minor) != 2) continue;
        std::string word;
        while (fields >> word && word != "-") {
        }
        std::string type;
        if (fields >> type >> word) {
            entry.fsType = Unescape(type);
            entry.source = Unescape(word);
        }
        mounts.push_back(entry);
    }
    return mounts;
}

const CUMountEntry* CUMountTable::Holding(const std::vector<CUMountEntry>& mounts,
                                          const std::string& resolvedPath) {
    const CUMountEntry* best = nullptr;
    for (const CUMountEntry& mount : mounts)
        if (Holds(mount.mountPoint, resolvedPath) &&
            (!best || mount.mountPoint.size() >= best->mountPoint.size()))
            best = &mount;
    return best;
}

}  // namespace ComVantoVantoQZ64RADPlug
