#pragma once
// What the file system says of one path without following a final symbolic
// link (lstat): its kind, size, modification time to the nanosecond, device
// and inode; and setting a modification time. A plain value; the static
// functions keep no state and may be called from any thread.
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

namespace ComVantoVantoQZ64RADPlug {

class CUFileStatus {
public:
    enum class Kind { kRegular, kFolder, kSymbolicLink, kOther };

    // Nothing when the path cannot be reached; `reason` (may be null) then
    // gets the system's reason.
    static std::optional<CUFileStatus> Of(const std::string& path, std::string* reason = nullptr);
    // The same for a file this process holds open (fstat).
    static std::optional<CUFileStatus> OfOpenFile(int descriptor, std::string* reason = nullptr);
    // Sets the modification time of a file or folder (a final symbolic link
    // itself, not its target); false with the reason when refused.
    static bool SetModificationTime(const std::string& path, const timespec& time,
                                    std::string* reason = nullptr);
    // A file time as ISO 8601 UTC to the nanosecond, "2026-12-06T09:10:00.123456789Z".
    static std::string TimeText(const timespec& time);

    Kind kind = Kind::kOther;
    uint64_t size = 0;  // bytes; meaningful for regular files
    timespec modified{};
    uint64_t device = 0;
    uint64_t inode = 0;
};

}  // namespace ComVantoVantoQZ64RADPlug
