#include "CUFileStatus.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace ComVantoVantoQZ64RADPlug {

namespace {

CUFileStatus FromStat(const struct stat& info) {
    CUFileStatus status;
    status.kind = S_ISREG(info.st_mode)   ? CUFileStatus::Kind::kRegular
                  : S_ISDIR(info.st_mode) ? CUFileStatus::Kind::kFolder
                  : S_ISLNK(info.st_mode) ? CUFileStatus::Kind::kSymbolicLink
                                          : CUFileStatus::Kind::kOther;
    status.size = info.st_size > 0 ? static_cast<uint64_t>(info.st_size) : 0;
    status.modified = info.st_mtim;
    status.device = static_cast<uint64_t>(info.st_dev);
    status.inode = static_cast<uint64_t>(info.st_ino);
    return status;
}

}  // namespace

std::optional<CUFileStatus> CUFileStatus::Of(const std::string& path, std::string* reason) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        if (reason) *reason = std::strerror(errno);
        return std::nullopt;
    }
    return FromStat(info);
}

std::optional<CUFileStatus> CUFileStatus::OfOpenFile(int descriptor, std::string* reason) {
    struct stat info {};
    if (::fstat(descriptor, &info) != 0) {
        if (reason) *reason = std::strerror(errno);
        return std::nullopt;
    }
    return FromStat(info);
}

bool CUFileStatus::SetModificationTime(const std::string& path, const timespec& time, std::string* reason) {
    const timespec times[2] = {{0, UTIME_OMIT}, time};
    if (::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0) return true;
    if (reason) *reason = std::strerror(errno);
    return false;
}

std::string CUFileStatus::TimeText(const timespec& time) {
    struct tm utc {};
    if (!::gmtime_r(&time.tv_sec, &utc)) return std::string();
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%09ldZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                  static_cast<long>(time.tv_nsec));
    return text;
}

}  // namespace ComVantoVantoQZ64RADPlug
