#include "FBC_Utl_File.h"

#include "CUDateTime.h"
#include "CUDirectory.h"
#include "CUFailure.h"
#include "CUFile.h"
#include "CUFileInfo.h"
#include "CULog.h"
#include "CUMemoryStream.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace ComVantoVantoQZ64RADPlug {

namespace {

// Seconds between 1970-01-01 and 2001-01-01 (the CUDateTime epoch), GMT.
constexpr int64_t kUnixToAbsolute = 978307200;

// The path as the system takes it; false for a missing path or one holding
// a NUL (which the system would silently cut short).
bool NativePath(const CUSharedPtr<CUStringMac>& path, std::string& out) {
    if (!path || path->IsNull()) return false;
    out = path->Utf8();
    return !out.empty() && out.find('\0') == std::string::npos;
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_Fd(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (m_Fd >= 0) ::close(m_Fd);
    }
    int get() const { return m_Fd; }
    // Closes now and reports whether the close succeeded.
    bool Close() {
        const int fd = m_Fd;
        m_Fd = -1;
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int m_Fd;
};

// How OpenLocked treats a file system that refuses the lock.
enum class LockRefused {
    kFail,          // the open fails (writers: no write without the lock)
    kReadUnlocked,  // the file is read without the lock, and the log says so
};

// Whether a refused flock means that the file system does not offer the
// lock (to this descriptor), rather than a failure of this file: NFS
// refuses an exclusive lock on a read-only descriptor with EBADF.
bool LockUnsupported(int error) {
    return error == EBADF || error == ENOLCK || error == EOPNOTSUPP || error == ENOTSUP || error == EINVAL;
}

// Opens `path` and takes the exclusive advisory lock, waiting for other
// holders; -1 when either fails (errno tells why). Only files and folders are
// opened: opening a FIFO for reading would wait for a writer that may never
// come. A writer replaces a file by renaming a new one into place while it
// holds the old one's lock; a waiter that then gets the old file's lock
// opens the path again, so that it locks and reads what the path names now.
int OpenLocked(const std::string& path, int flags, LockRefused refused = LockRefused::kFail) {
    constexpr int kMaxReopens = 64;  // a path renamed over without end still answers
    for (int attempt = 0;; ++attempt) {
        int fd;
        do {
            fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0666);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0) return -1;
        struct stat info {};
        const int fileFlags = ::fcntl(fd, F_GETFL);
        if (::fstat(fd, &info) != 0 || !(S_ISREG(info.st_mode) || S_ISDIR(info.st_mode)) || fileFlags < 0 ||
            ::fcntl(fd, F_SETFL, fileFlags & ~O_NONBLOCK) != 0) {
            ::close(fd);
            errno = EINVAL;
            return -1;
        }
        int locked;
        do {
            locked = ::flock(fd, LOCK_EX);
        } while (locked != 0 && errno == EINTR);
        if (locked != 0) {
            const int error = errno;
            if (refused == LockRefused::kReadUnlocked && LockUnsupported(error)) {
                CULog::Write(kCULogLevelWarning,
                             "%s is read without its lock: the file system refuses it (%s)", path.c_str(),
                             std::strerror(error));
                return fd;
            }
            ::close(fd);
            errno = error;
            return -1;
        }
        struct stat now {};
        const bool replaced =
            ::stat(path.c_str(), &now) != 0 || now.st_dev != info.st_dev || now.st_ino != info.st_ino;
        if (!replaced || attempt == kMaxReopens) return fd;
        ::close(fd);
    }
}

FBC_FileIdentity IdentityOf(const struct stat& info) {
    FBC_FileIdentity identity;
    identity.device = static_cast<uint64_t>(info.st_dev);
    identity.inode = static_cast<uint64_t>(info.st_ino);
    identity.size = static_cast<int64_t>(info.st_size);
    identity.modifiedSeconds = static_cast<int64_t>(info.st_mtim.tv_sec);
    identity.modifiedNanoseconds = static_cast<int64_t>(info.st_mtim.tv_nsec);
    return identity;
}

// At most `maxLength` bytes of the open regular file from its start; null
// when it is no regular file, cannot be read or changes size meanwhile.
CUSharedPtr<CUMemoryStream> ReadFromStart(int fd, uint64_t maxLength) {
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return nullptr;
    const off_t end = ::lseek(fd, 0, SEEK_END);
    if (end < 0 || ::lseek(fd, 0, SEEK_SET) != 0) return nullptr;
    const uint64_t length = std::min(static_cast<uint64_t>(end), maxLength);
    CUSharedPtr<CUMemoryStream> stream(new CUMemoryStream(length));
    unsigned char* data = stream->GetPtr();
    if (length != 0 && !data) return nullptr;
    uint64_t done = 0;
    while (done < length) {
        const ssize_t got = ::read(fd, data + done, length - done);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<uint64_t>(got);
    }
    if (done != length) return nullptr;
    return stream;
}

// Writes every byte; false on an error (a full file system, a size limit).
bool WriteAll(int fd, const unsigned char* data, uint64_t length) {
    uint64_t done = 0;
    while (done < length) {
        const ssize_t put = ::write(fd, data + done, length - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        done += static_cast<uint64_t>(put);
    }
    return true;
}

// The folder part and the last component of a path ("." for a bare name).
void SplitPath(const std::string& path, std::string& folder, std::string& name) {
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
    const size_t slash = trimmed.rfind('/');
    folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : trimmed.substr(0, slash));
    name = slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
}

// A new hidden file beside the target, created exclusively so that no other
// file is ever reused: ".NAME.<pid>.<n>.partial". -1 when none can be made.
int CreateBeside(const std::string& folder, const std::string& name, std::string& created) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        created = folder + "/." + name + "." + std::to_string(::getpid()) + "." +
                  std::to_string(counter.fetch_add(1)) + ".partial";
        const int fd = ::open(created.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

// Removes the hidden files ".NAME.<pid>.<n>.partial" in `folder` that
// writers which died mid-write left behind: those of a process that no
// longer runs. Those of live processes (this one included) are left alone.
void RemoveStalePartials(const std::string& folder, const std::string& name) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;
    const std::string prefix = "." + name + ".", suffix = ".partial";
    std::vector<std::string> stale;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string file = entry->d_name;
        if (file.size() <= prefix.size() + suffix.size() || file.compare(0, prefix.size(), prefix) != 0 ||
            file.compare(file.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        const std::string middle = file.substr(prefix.size(), file.size() - prefix.size() - suffix.size());
        const size_t dot = middle.find('.');
        if (dot == 0 || dot == std::string::npos || dot > 9 ||
            middle.find_first_not_of("0123456789") != dot ||
            middle.find_first_not_of("0123456789", dot + 1) != std::string::npos)
            continue;
        const pid_t writer = static_cast<pid_t>(std::stol(middle.substr(0, dot)));
        if (writer <= 0 || writer == ::getpid()) continue;
        if (::kill(writer, 0) != 0 && errno == ESRCH) stale.push_back(file);
    }
    for (const std::string& file : stale) ::unlinkat(::dirfd(dir), file.c_str(), 0);
    ::closedir(dir);
}

// Writes the bytes into a new hidden file beside the target (its path in
// `partial`), with the permissions of `old` when given, and syncs it; its
// identity in `identity`. False (nothing left behind) when that fails.
bool WritePartial(const std::string& folder, const std::string& name, const unsigned char* data,
                  uint64_t length, const struct stat* old, std::string& partial, FBC_FileIdentity& identity) {
    FileDescriptor out(CreateBeside(folder, name, partial));
    if (out.get() < 0) return false;
    struct stat info {};
    const bool written = (!old || ::fchmod(out.get(), old->st_mode & 07777) == 0) &&
                         WriteAll(out.get(), data, length) && ::fsync(out.get()) == 0 &&
                         ::fstat(out.get(), &info) == 0;
    if (!out.Close() || !written) {
        ::unlink(partial.c_str());
        return false;
    }
    identity = IdentityOf(info);
    return true;
}

// A rename or new name reaches the disk with its folder.
void SyncFolder(const std::string& folder) {
    FileDescriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0) ::fsync(dir.get());
}

// Removes the folder `name` of the open folder `parentFd` with everything in
// it, never following a symbolic link (a link is removed as a link) and
// never entering another file system mounted inside. False when anything
// could not be removed.
bool RemoveTreeAt(int parentFd, const std::string& name, dev_t device, int depth) {
    constexpr int kMaxDepth = 256;
    if (depth > kMaxDepth) return false;
    const int fd = ::openat(parentFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || info.st_dev != device) {
        ::close(fd);
        return false;
    }
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return false;
    }
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir))
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.emplace_back(entry->d_name);
    bool removed = true;
    for (const std::string& entry : names) {
        struct stat item {};
        if (::fstatat(::dirfd(dir), entry.c_str(), &item, AT_SYMLINK_NOFOLLOW) != 0) {
            removed = false;
        } else if (S_ISDIR(item.st_mode)) {
            removed = RemoveTreeAt(::dirfd(dir), entry, device, depth + 1) && removed;
        } else if (::unlinkat(::dirfd(dir), entry.c_str(), 0) != 0) {
            removed = false;
        }
    }
    ::closedir(dir);
    return removed && ::unlinkat(parentFd, name.c_str(), AT_REMOVEDIR) == 0;
}

// The whole second of the time as a CUDateTime.
CUSharedPtr<CUDateTime> DateFromUnix(int64_t seconds) {
    return CUDateTime::Create(static_cast<CFAbsoluteTime>(seconds - kUnixToAbsolute));
}

// Reads the time of type `type` from statx (of `fd`, or of `path` when fd is
// -1). Birth times come from statx where the file system keeps them; where
// it keeps none, type 0 answers a null pointer rather than a stand-in time.
CUSharedPtr<CUDateTime> ReadTime(int fd, const std::string& path, _FBC_DateTime_Type type) {
    if (type != kFBC_DateTime_Create && type != kFBC_DateTime_Modify) return nullptr;
    struct statx info {};
    const unsigned int want = type == kFBC_DateTime_Create ? STATX_BTIME : STATX_MTIME;
    const int status = fd >= 0 ? ::statx(fd, "", AT_EMPTY_PATH, want, &info)
                               : ::statx(AT_FDCWD, path.c_str(), 0, want, &info);
    if (status != 0 || (info.stx_mask & want) == 0) return nullptr;
    return DateFromUnix(type == kFBC_DateTime_Create ? info.stx_btime.tv_sec : info.stx_mtime.tv_sec);
}

// Sets only the modification time (the access time is left alone).
bool SetModifyTime(const std::string& path, const struct timespec& mtime) {
    const struct timespec times[2] = {{0, UTIME_OMIT}, mtime};
    return ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

}  // namespace

CUSharedPtr<CUDateTime> FBC_Utl_GetFileTime(const CUSharedPtr<CUStringMac>& path, _FBC_DateTime_Type type) {
    std::string native;
    if (!NativePath(path, native)) return nullptr;
    try {
        return ReadTime(-1, native, type);
    } catch (const CUError&) {
        return nullptr;
    }
}

uint32_t FBC_Utl_SetFileTime(const CUSharedPtr<CUStringMac>& path, const CUSharedPtr<CUDateTime>& time,
                             _FBC_DateTime_Type type) {
    std::string native;
    if (!NativePath(path, native) || !time || time->IsNull()) return kResultNullArgument;
    // No POSIX call sets a birth time: type 0 (and unknown types) fail.
    if (type != kFBC_DateTime_Modify) return kResultFileOperationFailure;
    // Whole seconds, cut towards the past; times time_t cannot hold fail.
    const double seconds = std::floor(time->GetAbsoluteTime()) + static_cast<double>(kUnixToAbsolute);
    if (!(seconds >= -9.2e18 && seconds <= 9.2e18)) return kResultFileOperationFailure;
    struct timespec mtime {};
    mtime.tv_sec = static_cast<time_t>(seconds);
    return SetModifyTime(native, mtime) ? 0 : kResultFileOperationFailure;
}

CUSharedPtr<CUDateTime> FBC_Utl_GetFileModifyTime(const CUSharedPtr<CUStringMac>& path) {
    return FBC_Utl_GetFileTime(path, kFBC_DateTime_Modify);
}

CUSharedPtr<CUDateTime> FBC_Utl_GetFileCreateTime(const CUSharedPtr<CUStringMac>& path) {
    return FBC_Utl_GetFileTime(path, kFBC_DateTime_Create);
}

uint32_t FBC_Utl_SetFileModifyTime(const CUSharedPtr<CUStringMac>& path,
                                   const CUSharedPtr<CUDateTime>& time) {
    return FBC_Utl_SetFileTime(path, time, kFBC_DateTime_Modify);
}

uint32_t FBC_Utl_SetFileCreateTime(const CUSharedPtr<CUStringMac>& path,
                                   const CUSharedPtr<CUDateTime>& time) {
    return FBC_Utl_SetFileTime(path, time, kFBC_DateTime_Create);
}

CUSharedPtr<CUDateTime> FBC_Utl_GetFileModifyTimeWithLock(const CUSharedPtr<CUStringMac>& path) {
    std::string native;
    if (!NativePath(path, native)) return nullptr;
    try {
        FileDescriptor fd(OpenLocked(native, O_RDONLY, LockRefused::kReadUnlocked));
        if (fd.get() < 0) return nullptr;
        return ReadTime(fd.get(), native, kFBC_DateTime_Modify);
    } catch (const CUError&) {
        return nullptr;
    }
}

bool FBC_Utl_GetFileIdentityWithLock(const CUSharedPtr<CUStringMac>& path, FBC_FileIdentity* identity) {
    std::string native;
    if (!identity || !NativePath(path, native)) return false;
    FileDescriptor fd(OpenLocked(native, O_RDONLY, LockRefused::kReadUnlocked));
    struct stat info {};
    if (fd.get() < 0 || ::fstat(fd.get(), &info) != 0) return false;
    *identity = IdentityOf(info);
    return true;
}

CUSharedPtr<CUMemoryStream> FBC_Utl_ExclusiveFileRead(const CUSharedPtr<CUStringMac>& path) {
    return FBC_Utl_ExclusiveFileRead(path, UINT64_MAX);
}

CUSharedPtr<CUMemoryStream> FBC_Utl_ExclusiveFileRead(const CUSharedPtr<CUStringMac>& path,
                                                      uint64_t maxLength) {
    return FBC_Utl_ExclusiveFileRead(path, maxLength, nullptr);
}

CUSharedPtr<CUMemoryStream> FBC_Utl_ExclusiveFileRead(const CUSharedPtr<CUStringMac>& path,
                                                      uint64_t maxLength, FBC_FileIdentity* identity) {
    std::string native;
    if (!NativePath(path, native)) return nullptr;
    try {
        FileDescriptor fd(OpenLocked(native, O_RDONLY, LockRefused::kReadUnlocked));
        if (fd.get() < 0) return nullptr;
        // Taken before the bytes: a writer that ignores the lock and changes
        // the file meanwhile leaves a later identity than the one kept.
        struct stat info {};
        if (::fstat(fd.get(), &info) != 0) return nullptr;
        CUSharedPtr<CUMemoryStream> stream = ReadFromStart(fd.get(), maxLength);
        if (stream && identity) *identity = IdentityOf(info);
        return stream;
    } catch (const CUError&) {
        return nullptr;
    } catch (const std::bad_alloc&) {
        return nullptr;  // a file too big to hold
    }
}

bool FBC_Utl_ExclusiveFileWrite(const CUSharedPtr<CUStringMac>& path,
                                const CUSharedPtr<CUMemoryStream>& stream) {
    return FBC_Utl_ExclusiveFileReplace(path, stream, 0, nullptr) == 0;
}

uint32_t FBC_Utl_ExclusiveFileReplace(const CUSharedPtr<CUStringMac>& path,
                                      const CUSharedPtr<CUMemoryStream>& stream, uint64_t checkLength,
                                      const FBC_ReplaceCheck& check, FBC_FileIdentity* written) {
    std::string native;
    if (!NativePath(path, native) || !stream) return kResultNullArgument;
    try {
        const uint64_t length = stream->Length();
        const unsigned char* data = stream->GetPtr();
        if (length != 0 && !data) return kResultFileOperationFailure;
        // The lock of the file being replaced is held until the new one is
        // in place: readers and writers that take it wait, then open the new
        // file. A missing file has no lock to take.
        FileDescriptor current(OpenLocked(native, O_RDONLY));
        if (current.get() < 0 && errno != ENOENT) return kResultFileOperationFailure;
        struct stat old {};
        if (current.get() >= 0 && (::fstat(current.get(), &old) != 0 || !S_ISREG(old.st_mode)))
            return kResultFileOperationFailure;
        if (check) {
            const FBC_FileIdentity identity = IdentityOf(old);
            CUSharedPtr<CUMemoryStream> bytes;
            if (current.get() >= 0 && !(bytes = ReadFromStart(current.get(), checkLength)))
                return kResultFileOperationFailure;
            if (!check(current.get() >= 0 ? &identity : nullptr, bytes)) return kResultFileChanged;
        }

        // Written beside the file and renamed into place: a failed write
        // (a full file system, a size limit) leaves the old content whole.
        std::string folder, name, partial;
        SplitPath(native, folder, name);
        RemoveStalePartials(folder, name);
        FBC_FileIdentity identity;
        if (!WritePartial(folder, name, data, length, current.get() >= 0 ? &old : nullptr, partial, identity))
            return kResultFileOperationFailure;
        if (::rename(partial.c_str(), native.c_str()) != 0) {
            ::unlink(partial.c_str());
            return kResultFileOperationFailure;
        }
        SyncFolder(folder);
        if (written) *written = identity;
        return 0;
    } catch (const CUError&) {
        return kResultFileOperationFailure;
    } catch (const std::bad_alloc&) {
        return kResultFileOperationFailure;
    }
}

bool FBC_Utl_ExclusiveFileCreate(const CUSharedPtr<CUStringMac>& path,
                                 const CUSharedPtr<CUMemoryStream>& stream, FBC_FileIdentity* written) {
    std::string native;
    if (!NativePath(path, native) || !stream) return false;
    try {
        const uint64_t length = stream->Length();
        const unsigned char* data = stream->GetPtr();
        if (length != 0 && !data) return false;
        std::string folder, name, partial;
        SplitPath(native, folder, name);
        struct stat there {};
        if (::lstat(native.c_str(), &there) == 0) return false;
        RemoveStalePartials(folder, name);
        FBC_FileIdentity identity;
        if (!WritePartial(folder, name, data, length, nullptr, partial, identity)) return false;
        // The name is taken in one step that fails when another writer took
        // it since the test above; where the file system has no such rename,
        // a hard link does the same.
        int placed = ::renameat2(AT_FDCWD, partial.c_str(), AT_FDCWD, native.c_str(), RENAME_NOREPLACE);
        if (placed != 0 && (errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
            placed = ::link(partial.c_str(), native.c_str());
            ::unlink(partial.c_str());
        } else if (placed != 0) {
            ::unlink(partial.c_str());
        }
        if (placed != 0) return false;
        SyncFolder(folder);
        if (written) *written = identity;
        return true;
    } catch (const CUError&) {
        return false;
    }
}

uint32_t FBC_Utl_DeleteFolderTree(const CUSharedPtr<CUStringMac>& path) {
    std::string native;
    if (!NativePath(path, native)) return kResultNullArgument;
    std::string folder, name;
    SplitPath(native, folder, name);
    if (name.empty() || name == "." || name == ".." || name == "/") return kResultFileOperationFailure;
    FileDescriptor parent(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat info {};
    if (parent.get() < 0 || ::fstatat(parent.get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISDIR(info.st_mode))
        return kResultFileOperationFailure;
    return RemoveTreeAt(parent.get(), name, info.st_dev, 0) ? 0 : kResultFileOperationFailure;
}

uint64_t FBC_Utl_GetFileSize(const CUSharedPtr<CUFileInfo>& info) {
    if (!info) return 0;
    try {
        return info->Length();
    } catch (const CUError&) {
        return 0;
    }
}

uint32_t FBC_Utl_DeleteFile(const CUSharedPtr<CUStringMac>& path) {
    if (!path || path->IsNull()) return kResultNullArgument;
    try {
        CUFile::Delete(path);
        return 0;
    } catch (const CUError&) {
        return kResultFileOperationFailure;
    }
}

bool FBC_Utl_CheckReadOnly(const CUSharedPtr<CUStringMac>& path) {
    std::string native;
    if (!NativePath(path, native)) return false;
    try {
        if (!CUFile::Exists(path) && !CUDirectory::Exists(path)) return false;
        // The raw time is kept so that it is put back exactly, sub-second
        // part included (a whole-second calendar round trip would change it).
        struct stat original {};
        if (::stat(native.c_str(), &original) != 0) return true;
        CUSharedPtr<CUDateTime> t0 = DateFromUnix(original.st_mtim.tv_sec);
        CUSharedPtr<CUDateTime> moved = t0 ? t0->AddMinutes(1) : nullptr;
        if (!moved || FBC_Utl_SetFileTime(path, moved, kFBC_DateTime_Modify) != 0) return true;
        CUSharedPtr<CUDateTime> t1 = FBC_Utl_GetFileTime(path, kFBC_DateTime_Modify);
        const bool writable = t1 && *t1 == *moved;
        SetModifyTime(native, original.st_mtim);
        return !writable;
    } catch (const CUError&) {
        return true;
    }
}

}  // namespace ComVantoVantoQZ64RADPlug
