#include "CUFileStream.h"

#include "CUAutoLock.h"
#include "CUFailure.h"
#include "CUStringMac.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <string>

namespace ComVantoVantoQZ64RADPlug {

namespace {

// Largest single platform transfer; bigger requests are split.
constexpr uint64_t kMaxTransfer = uint64_t{1} << 30;

[[noreturn]] void Fail(uint32_t code, const char* what, const std::string& path = std::string()) {
    throw CUError(CUFailure(code, what, path));
}

}  // namespace

CUFileStream::CUFileStream(const CUSharedPtr<CUStringMac>& path, CUStream_FileMode mode,
                           CUStream_FileAccess access, bool noThrow)
    : CUFileStream(path.get(), mode, access, noThrow) {}

CUFileStream::CUFileStream(const CUStringMac* path, CUStream_FileMode mode, CUStream_FileAccess access,
                           bool noThrow) {
    try {
        Open(path, mode, access);
    } catch (const CUError&) {
        CloseLocked();
        if (!noThrow) throw;
    }
}

CUFileStream::~CUFileStream() {
    CloseLocked();
}

void CUFileStream::Open(const CUStringMac* path, CUStream_FileMode mode, CUStream_FileAccess access) {
    if (!path || path->IsNull()) Fail(kCUErrNullArgument, "file stream without a path");
    if (path->Length() == 0) Fail(kCUErrEmptyOrNotOpen, "file stream with an empty path");
    const std::string utf8 = path->Utf8();

    struct stat st {};
    bool exists = false;
    if (::stat(utf8.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) Fail(kCUErrNotSupported, "file stream asked to open a folder", utf8);
        // Only regular files are opened: a FIFO or device could block or
        // stream without end.
        if (!S_ISREG(st.st_mode)) Fail(kCUErrPlatform, "not a regular file", utf8);
        exists = true;
    }
    if (access > kCUStreamAccessWrite || mode > kCUStreamModeTruncate)
        Fail(kCUErrPlatform, "unknown open mode or access", utf8);
    const bool writable = access != kCUStreamAccessRead;
    if ((mode == kCUStreamModeAppend || mode == kCUStreamModeCreate || mode == kCUStreamModeTruncate) &&
        !writable)
        Fail(kCUErrPlatform, "open mode needs write access", utf8);
    if (mode == kCUStreamModeCreateNew && exists) Fail(kCUErrPlatform, "file to create exists", utf8);
    if ((mode == kCUStreamModeOpen || mode == kCUStreamModeTruncate) && !exists)
        Fail(kCUErrFileMissing, "file does not exist", utf8);

    int flags = O_CLOEXEC | O_NONBLOCK;
    flags |= access == kCUStreamAccessRead ? O_RDONLY : access == kCUStreamAccessWrite ? O_WRONLY : O_RDWR;
    switch (mode) {
        case kCUStreamModeAppend:
        case kCUStreamModeOpenOrCreate:
            flags |= O_CREAT;
            break;
        case kCUStreamModeCreate:
            flags |= O_CREAT | O_TRUNC;
            break;
        case kCUStreamModeCreateNew:
            flags |= O_CREAT | O_EXCL;
            break;
        case kCUStreamModeTruncate:
            flags |= O_TRUNC;
            break;
        case kCUStreamModeOpen:
            break;
    }
    int fd;
    do {
        fd = ::open(utf8.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) Fail(kCUErrPlatform, "file cannot be opened", utf8);
    m_Fd = fd;
    m_HandleValid = true;
    // The path may have changed between the check and the open.
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        Fail(kCUErrPlatform, "opened path is not a regular file", utf8);
    // Reading a regular file never waits, O_NONBLOCK or not: only a stream
    // that writes is set back to blocking.
    if (access != kCUStreamAccessRead) {
        const int fileFlags = ::fcntl(fd, F_GETFL);
        if (fileFlags < 0 || ::fcntl(fd, F_SETFL, fileFlags & ~O_NONBLOCK) != 0)
            Fail(kCUErrPlatform, "file cannot be set to blocking reads", utf8);
    }

    m_CanRead = access == kCUStreamAccessRead || access == kCUStreamAccessReadWrite;
    m_CanWrite = writable;
    m_CanSeek = true;
    m_HandlePosition = 0;
    m_Length = static_cast<uint64_t>(st.st_size);
    m_Position = mode == kCUStreamModeAppend ? m_Length : 0;
    m_ReadableRange = _CURange{0, m_Length};
}

bool CUFileStream::IsOSFileHandleValid() const {
    return m_HandleValid;
}
bool CUFileStream::CanRead() const {
    return m_HandleValid && m_CanRead;
}
bool CUFileStream::CanWrite() const {
    return m_HandleValid && m_CanWrite;
}
bool CUFileStream::CanSeek() const {
    return m_HandleValid && m_CanSeek;
}

uint64_t CUFileStream::Read(unsigned char* buffer, uint64_t size, int64_t offset,
                            CUStream_Seek_Origin origin) {
    CUAutoLock lock(m_Lock.get());
    if (!buffer || !CanRead()) return 0;
    const _CURange range = CalcReadRange(size, offset, origin);
    if (range.length == 0) return 0;

    // Positioned reads leave no shared file offset to move; the handle
    // position is kept as the next byte a contiguous read would take.
    uint64_t delivered = 0;
    while (delivered < range.length) {
        const uint64_t want = std::min(range.length - delivered, kMaxTransfer);
        const ssize_t got =
            ::pread(m_Fd, buffer + delivered, want, static_cast<off_t>(range.location + delivered));
        if (got < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (got == 0) break;  // end of file: a short read is not an error
        delivered += static_cast<uint64_t>(got);
    }
    // Advance by what actually arrived, so a following contiguous read
    // starts at the first byte not yet delivered.
    m_HandlePosition = range.location + delivered;
    m_Position = m_HandlePosition;
    return delivered;
}

uint64_t CUFileStream::Write(unsigned char* buffer, uint64_t size, int64_t offset,
                             CUStream_Seek_Origin origin) {
    CUAutoLock lock(m_Lock.get());
    if (!buffer || !CanWrite()) return 0;
    uint64_t start = 0;
    if (!CalcStart(offset, origin, start)) return 0;
    if (size == 0) return 0;
    if (size > static_cast<uint64_t>(INT64_MAX) - start) return 0;
    const uint64_t end = start + size;
    if (m_Length < end) {
        SetLength(end);
        if (!m_HandleValid) return 0;
    }
    uint64_t written = 0;
    while (written < size) {
        const uint64_t chunk = std::min(size - written, kMaxTransfer);
        const ssize_t put = ::pwrite(m_Fd, buffer + written, chunk, static_cast<off_t>(start + written));
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) break;
        written += static_cast<uint64_t>(put);
    }
    m_HandlePosition = start + written;
    m_Position = m_HandlePosition;
    return written == size ? size : 0;
}

uint64_t CUFileStream::Seek(int64_t offset, CUStream_Seek_Origin origin) {
    CUAutoLock lock(m_Lock.get());
    if (!CanSeek()) {
        CloseLocked();
        return m_Position;
    }
    if (origin > kCUStreamSeekEnd) {
        m_Position = 0;
        return 0;
    }
    uint64_t start = 0;
    if (!CalcStart(offset, origin, start)) {
        CloseLocked();
        return m_Position;
    }
    m_Position = start;
    return m_Position;
}

uint64_t CUFileStream::Position() {
    CUAutoLock lock(m_Lock.get());
    if (!CanSeek()) CloseLocked();
    return m_Position;
}

void CUFileStream::SetLength(uint64_t length) {
    CUAutoLock lock(m_Lock.get());
    if (!CanSeek() || !CanWrite() || length > static_cast<uint64_t>(INT64_MAX)) {
        CloseLocked();
        return;
    }
    int rc;
    do {
        rc = ::ftruncate(m_Fd, static_cast<off_t>(length));
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        CloseLocked();
        return;
    }
    m_Length = length;
    m_ReadableRange = _CURange{0, length};
}

void CUFileStream::Close() {
    CUAutoLock lock(m_Lock.get());
    CloseLocked();
}

void CUFileStream::CloseLocked() {
    if (m_HandleValid && m_Fd >= 0) ::close(m_Fd);
    m_Fd = -1;
    m_HandleValid = false;
    m_CanRead = false;
    m_CanWrite = false;
    m_CanSeek = false;
}

}  // namespace ComVantoVantoQZ64RADPlug
