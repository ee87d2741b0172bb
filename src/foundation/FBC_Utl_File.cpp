#include "FBC_Utl_File.h"

#include "CUDateTime.h"
#include "CUDirectory.h"
#include "CUFailure.h"
#include "CUFile.h"
#include "CUFileInfo.h"
#include "CUMemoryStream.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <new>
#include <string>

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

// Opens `path` and takes the exclusive advisory lock, waiting for other
// holders; -1 when either fails. Only files and folders are opened: opening
// a FIFO for reading would wait for a writer that may never come.
int OpenLocked(const std::string& path, int flags) {
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
        return -1;
    }
    int locked;
    do {
        locked = ::flock(fd, LOCK_EX);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
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
        FileDescriptor fd(OpenLocked(native, O_RDONLY));
        if (fd.get() < 0) return nullptr;
        return ReadTime(fd.get(), native, kFBC_DateTime_Modify);
    } catch (const CUError&) {
        return nullptr;
    }
}

CUSharedPtr<CUMemoryStream> FBC_Utl_ExclusiveFileRead(const CUSharedPtr<CUStringMac>& path) {
    std::string native;
    if (!NativePath(path, native)) return nullptr;
    try {
        FileDescriptor fd(OpenLocked(native, O_RDONLY));
        if (fd.get() < 0) return nullptr;
        // Only regular files have a length to read (a folder or a device
        // would report a meaningless one).
        struct stat info {};
        if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) return nullptr;
        const off_t end = ::lseek(fd.get(), 0, SEEK_END);
        if (end < 0 || ::lseek(fd.get(), 0, SEEK_SET) != 0) return nullptr;
        const uint64_t length = static_cast<uint64_t>(end);
        CUSharedPtr<CUMemoryStream> stream(new CUMemoryStream(length));
        unsigned char* data = stream->GetPtr();
        if (length != 0 && !data) return nullptr;
        uint64_t done = 0;
        while (done < length) {
            const ssize_t got = ::read(fd.get(), data + done, length - done);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) break;
            done += static_cast<uint64_t>(got);
        }
        if (done != length) return nullptr;
        return stream;
    } catch (const CUError&) {
        return nullptr;
    } catch (const std::bad_alloc&) {
        return nullptr;  // a file too big to hold
    }
}

bool FBC_Utl_ExclusiveFileWrite(const CUSharedPtr<CUStringMac>& path,
                                const CUSharedPtr<CUMemoryStream>& stream) {
    std::string native;
    if (!NativePath(path, native) || !stream) return false;
    try {
        const uint64_t length = stream->Length();
        const unsigned char* data = stream->GetPtr();
        if (length != 0 && !data) return false;
        // No O_TRUNC here: the old content is cut only once the lock is
        // held, so a reader holding the lock never sees it vanish.
        FileDescriptor fd(OpenLocked(native, O_RDWR | O_CREAT));
        if (fd.get() < 0) return false;
        if (::ftruncate(fd.get(), 0) != 0) return false;
        uint64_t done = 0;
        while (done < length) {
            const ssize_t put = ::write(fd.get(), data + done, length - done);
            if (put < 0 && errno == EINTR) continue;
            if (put <= 0) break;
            done += static_cast<uint64_t>(put);
        }
        const bool closed = fd.Close();
        return done == length && closed;
    } catch (const CUError&) {
        return false;
    }
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
