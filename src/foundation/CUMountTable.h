#pragma once
// The mounts of this process as /proc/self/mountinfo lists them, in its
// order (a later mount on the same point shadows an earlier one), and the
// mount that holds a path. Plain values; Read() may be called from any thread.
#include <cstdint>
#include <string>
#include <vector>

namespace ComVantoVantoQZ64RADPlug {

struct CUMountEntry {
    std::string mountPoint;
    std::string fsType;
    std::string source;  // "/dev/sdb1", "tmpfs", "server:/export"
    uint32_t major = 0;  // the device number stat() gives the files of the mount
    uint32_t minor = 0;
};

class CUMountTable {
public:
    // Empty when mountinfo cannot be read.
    static std::vector<CUMountEntry> Read();
    // Whether `path` is `mountPoint` or lies below it.
    static bool Holds(const std::string& mountPoint, const std::string& path);
    // The mount holding `resolvedPath` (an absolute path with no symbolic
    // links): the last entry of the longest mount point that is the path or
    // one of its folders; null when none is.
    static const CUMountEntry* Holding(const std::vector<CUMountEntry>& mounts,
                                       const std::string& resolvedPath);
};

}  // namespace ComVantoVantoQZ64RADPlug
