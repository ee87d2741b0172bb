#include "CUDirectoryLock.h"

#include "CUFailure.h"
#include "CUInterruption.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

namespace ComVantoVantoQZ64RADPlug {

namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(50);

[[noreturn]] void Fail(const std::string& what, const std::string& folder) {
    throw CUError(CUFailure(kResultFolderLockFailure, what + ": " + std::strerror(errno), folder));
}

}  // namespace

CUDirectoryLock::CUDirectoryLock(const std::string& folder, double waitSeconds) : m_Folder(folder) {
    m_Descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_Descriptor < 0) Fail("cannot open the folder " + folder + " to lock it", folder);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(waitSeconds);
    for (;;) {
        if (::flock(m_Descriptor, LOCK_EX | LOCK_NB) == 0) return;
        const int error = errno;
        if (error != EWOULDBLOCK && error != EINTR) {
            ::close(m_Descriptor);
            errno = error;
            Fail("cannot lock the folder " + folder, folder);
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            struct stat info {};
            const long holder = ::fstat(m_Descriptor, &info) == 0 ? HolderOf(info.st_dev, info.st_ino) : 0;
            ::close(m_Descriptor);
            throw CUError(CUFailure(
                kResultFolderBusy,
                folder + " is busy: " +
                    (holder > 0 ? "process " + std::to_string(holder) : std::string("another process")) +
                    " holds it",
                folder));
        }
        if (CUInterruption::Requested()) {
            ::close(m_Descriptor);
            CUInterruption::ThrowIfRequested();
        }
        std::this_thread::sleep_for(kPollInterval);
    }
}

CUDirectoryLock::~CUDirectoryLock() {
    if (m_Descriptor >= 0) ::close(m_Descriptor);  // releases the lock
}

long CUDirectoryLock::HolderOf(uint64_t device, uint64_t inode) {
    // Lines such as "3: FLOCK  ADVISORY  WRITE 1234 fd:01:5678 0 EOF".
    std::ifstream locks("/proc/locks");
    char where[64];
    std::snprintf(where, sizeof where, "%02x:%02x:%llu", major(device), minor(device),
                  static_cast<unsigned long long>(inode));
    for (std::string line; std::getline(locks, line);) {
        std::istringstream fields(line);
        std::string number, kind, mode, access, place;
        long pid = 0;
        if (fields >> number >> kind >> mode >> access >> pid >> place && kind == "FLOCK" && place == where)
            return pid;
    }
    return 0;
}

}  // namespace ComVantoVantoQZ64RADPlug
