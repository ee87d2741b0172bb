#include "CUFileSystemSpace.h"

#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>

#include <cerrno>
#include <cstring>

namespace ComVantoVantoQZ64RADPlug {

namespace {

constexpr long kTmpfsMagic = 0x01021994;
constexpr long kRamfsMagic = 0x858458f6;

}  // namespace

std::optional<CUFileSystemSpace> CUFileSystemSpace::Of(const std::string& path, std::string* reason) {
    struct stat status {};
    struct statvfs space {};
    struct statfs kind {};
    if (::stat(path.c_str(), &status) != 0 || ::statvfs(path.c_str(), &space) != 0 ||
        ::statfs(path.c_str(), &kind) != 0) {
        if (reason) *reason = std::strerror(errno);
        return std::nullopt;
    }
    CUFileSystemSpace result;
    result.device = static_cast<uint64_t>(status.st_dev);
    const uint64_t fragment = space.f_frsize ? space.f_frsize : space.f_bsize;
    result.available = static_cast<uint64_t>(space.f_bavail) * fragment;
    result.blockBytes = fragment ? fragment : 1;
    result.memoryBacked =
        static_cast<long>(kind.f_type) == kTmpfsMagic || static_cast<long>(kind.f_type) == kRamfsMagic;
    return result;
}

uint64_t CUFileSystemSpace::Allocated(uint64_t size) const {
    return (size + blockBytes - 1) / blockBytes * blockBytes;
}

}  // namespace ComVantoVantoQZ64RADPlug
