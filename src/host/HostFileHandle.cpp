#include "HostFileHandle.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace ComVantoVantoQZ64RADPlug {

int64_t HostFileHandle::SeekFromStart(int64_t offset) {
    if (offset < 0) return -1;
    const off_t at = ::lseek(m_descriptor, static_cast<off_t>(offset), SEEK_SET);
    return at < 0 ? -1 : static_cast<int64_t>(at);
}

int64_t HostFileHandle::SeekToEnd() {
    const off_t at = ::lseek(m_descriptor, 0, SEEK_END);
    return at < 0 ? -1 : static_cast<int64_t>(at);
}

int64_t HostFileHandle::Read(void* buffer, size_t size) {
    unsigned char* out = static_cast<unsigned char*>(buffer);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(m_descriptor, out + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return done == 0 ? -1 : static_cast<int64_t>(done);
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    return static_cast<int64_t>(done);
}

int64_t HostFileHandle::Length() const {
    struct stat info {};
    if (::fstat(m_descriptor, &info) != 0 || !S_ISREG(info.st_mode)) return -1;
    return static_cast<int64_t>(info.st_size);
}

}  // namespace ComVantoVantoQZ64RADPlug
