#include "CUSpaceReserve.h"

#include "CUFailure.h"
#include "CUOutputFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace ComVantoVantoQZ64RADPlug {

CUSpaceReserve::CUSpaceReserve(const std::string& folder, const std::string& name, uint64_t bytes)
    : m_Path(folder + "/." + name + ".reserve") {
    const int descriptor = ::open(m_Path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (descriptor < 0)
        throw CUError(
            CUFailure(kResultOutputFailure, "cannot create " + m_Path + ": " + std::strerror(errno), m_Path));
    m_Held = true;
    int error = ::posix_fallocate(descriptor, 0, static_cast<off_t>(bytes));
    if (error == EOPNOTSUPP || error == EINVAL) {
        // A file system that cannot allocate without writing: the bytes are written.
        const std::vector<char> zeros(64 * 1024, 0);
        error = 0;
        for (uint64_t done = 0; done < bytes && error == 0;) {
            const size_t part = static_cast<size_t>(std::min<uint64_t>(zeros.size(), bytes - done));
            const ssize_t written = ::pwrite(descriptor, zeros.data(), part, static_cast<off_t>(done));
            if (written <= 0)
                error = written < 0 ? errno : EIO;
            else
                done += static_cast<uint64_t>(written);
        }
        if (error == 0 && ::fsync(descriptor) != 0) error = errno;
    }
    ::close(descriptor);
    if (error != 0) {
        Release();
        throw CUError(CUFailure(
            kResultOutputFailure,
            "cannot hold back " + std::to_string(bytes) + " bytes in " + folder + ": " + std::strerror(error),
            m_Path));
    }
}

CUSpaceReserve::~CUSpaceReserve() {
    Release();
}

void CUSpaceReserve::Release() {
    if (!m_Held) return;
    ::unlink(m_Path.c_str());
    m_Held = false;
}

}  // namespace ComVantoVantoQZ64RADPlug
