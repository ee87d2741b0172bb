#include "CUFileInfo.h"

#include "CUFailure.h"
#include "CUStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <string>

#include <memory>

namespace ComVantoVantoQZ64RADPlug {

namespace {

[[noreturn]] void Fail(uint32_t code, const char* what, const std::string& path = std::string()) {
    throw CUError(CUFailure(code, what, path));
}

// Closes a descriptor when leaving scope.
struct Fd {
    int fd = -1;
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
};

}  // namespace

CUFileInfo::CUFileInfo(const CUSharedPtr<CUStringMac>& path) : CUFileSysytemInfo(path) {}
CUFileInfo::CUFileInfo(const CUStringMac* path) : CUFileSysytemInfo(path) {}
CUFileInfo::~CUFileInfo() = default;

bool CUFileInfo::Exists() const {
    struct stat st {};
    return m_FullPath.Length() > 0 && ::stat(m_FullPath.Utf8().c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

uint64_t CUFileInfo::Length() const {
    struct stat st {};
    if (m_FullPath.Length() == 0 || ::stat(m_FullPath.Utf8().c_str(), &st) != 0 || S_ISDIR(st.st_mode))
        return 0;
    return static_cast<uint64_t>(st.st_size);
}

void CUFileInfo::Delete() {
    const std::string path = m_FullPath.Utf8();
    struct stat st {};
    if (path.empty() || ::lstat(path.c_str(), &st) != 0) return;  // nothing to delete
    if (S_ISDIR(st.st_mode)) Fail(kCUErrDeleteFolder, "file delete asked for a folder", path);
    if (::unlink(path.c_str()) != 0 && errno != ENOENT)
        Fail(kCUErrDeleteRefused, "file delete refused", path);
}

void CUFileInfo::CopyWithProgress(const CUSharedPtr<CUStringMac>& destination, bool overwrite,
                                  _CUFileProgress* progress) {
    CopyOrMove(destination, overwrite, progress, false);
}

void CUFileInfo::MoveWithProgress(const CUSharedPtr<CUStringMac>& destination, bool overwrite,
                                  _CUFileProgress* progress) {
    CopyOrMove(destination, overwrite, progress, true);
}

void CUFileInfo::CopyOrMove(const CUSharedPtr<CUStringMac>& destination, bool overwrite,
                            _CUFileProgress* progress, bool move) {
    if (!destination || destination->IsNull()) Fail(kCUErrNullArgument, "copy without a destination");
    if (destination->Length() == 0) Fail(kCUErrEmptyOrNotOpen, "copy to an empty destination path");
    const std::string from = m_FullPath.Utf8();
    const std::string to = destination->Utf8();
    struct stat src {};
    if (from.empty() || ::stat(from.c_str(), &src) != 0 || !S_ISREG(src.st_mode))
        Fail(kCUErrFileMissing, "copy source is not an existing file", from);
    struct stat dst {};
    if (::stat(to.c_str(), &dst) == 0) {
        if (!overwrite || !S_ISREG(dst.st_mode)) Fail(kCUErrPlatform, "copy destination exists", to);
        // Copying a file onto itself would truncate it first.
        if (dst.st_dev == src.st_dev && dst.st_ino == src.st_ino)
            Fail(kCUErrPlatform, "copy onto itself", to);
    }

    if (move) {
        const unsigned flags = overwrite ? 0 : RENAME_NOREPLACE;
        if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), flags) == 0) {
            if (progress && progress->callback)
                progress->callback(uint64_t(src.st_size), uint64_t(src.st_size));
            m_FullPath = *destination;
            return;
        }
        if (errno != EXDEV && errno != EINVAL && errno != ENOSYS) Fail(kCUErrPlatform, "move refused", to);
        // Another volume: copy, then delete the original below.
    }

    Fd in;
    in.fd = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in.fd < 0) Fail(kCUErrPlatform, "copy source cannot be opened", from);
    Fd out;
    out.fd = ::open(to.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (overwrite ? O_TRUNC : O_EXCL),
                    src.st_mode & 0777);
    if (out.fd < 0) Fail(kCUErrPlatform, "copy destination cannot be created", to);

    const uint64_t total = static_cast<uint64_t>(src.st_size);
    constexpr size_t kBlock = 1 << 20;
    std::unique_ptr<unsigned char[]> buffer(new unsigned char[kBlock]);
    uint64_t done = 0;
    bool ok = true;
    for (;;) {
        const ssize_t got = ::read(in.fd, buffer.get(), kBlock);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            ok = false;
            break;
        }
        if (got == 0) break;
        ssize_t put = 0;
        while (put < got) {
            const ssize_t n = ::write(out.fd, buffer.get() + put, static_cast<size_t>(got - put));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            put += n;
        }
        if (put != got) {
            ok = false;
            break;
        }
        done += static_cast<uint64_t>(got);
        if (progress && progress->callback && !progress->callback(done, total)) {
            ok = false;
            break;
        }
    }
    if (ok && ::close(out.fd) != 0) ok = false;
    out.fd = -1;
    if (!ok) {
        ::unlink(to.c_str());
        Fail(kCUErrPlatform, "copy failed", to);
    }
    if (move) {
        if (::unlink(from.c_str()) != 0) Fail(kCUErrPlatform, "moved file cannot be removed", from);
        m_FullPath = *destination;
    }
}

}  // namespace ComVantoVantoQZ64RADPlug
