#pragma once
// What the file system holding a path offers: which one it is (its device,
// so that paths on one file system can be told to share its room), the
// bytes free to an unprivileged writer, the block size files are allocated
// in, and whether it keeps its files in memory (tmpfs, ramfs: no drive
// behind it). A plain value; Of keeps no state and may be called from any
// thread.
#include <cstdint>
#include <optional>
#include <string>

namespace ComVantoVantoQZ64RADPlug {

struct CUFileSystemSpace {
    uint64_t device = 0;
    uint64_t available = 0;   // bytes
    uint64_t blockBytes = 0;  // allocation unit; at least 1
    bool memoryBacked = false;

    // Nothing when the path cannot be reached; `reason` (may be null) then
    // gets the system's reason.
    static std::optional<CUFileSystemSpace> Of(const std::string& path, std::string* reason = nullptr);
    // `size` rounded up to whole blocks (what a file of that size takes).
    uint64_t Allocated(uint64_t size) const;
};

}  // namespace ComVantoVantoQZ64RADPlug
