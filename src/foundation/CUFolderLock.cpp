#include "CUFolderLock.h"

#include "CUHostError.h"
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

}  // namespace

CUFolderLock::CUFolderLock(const std::string& folder, const std::string& name, double waitSeconds)
    : m_LockPath(folder + "/." + name + ".lock") {
    m_Descriptor = ::open(m_LockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (m_Descriptor < 0)
        throw CUHostError("cannot open the lock file " + m_LockPath + ": " + std::strerror(errno),
                          CUFailureKind::kSetup);
    Acquire(folder, waitSeconds);
    // Who holds it, for the one refused; best effort, the lock is what counts.
    const std::string pid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(m_Descriptor, 0) == 0) {
        [[maybe_unused]] const ssize_t written = ::pwrite(m_Descriptor, pid.data(), pid.size(), 0);
    }
}

CUFolderLock::CUFolderLock(const std::string& folder, double waitSeconds)
    : m_LockPath(folder), m_LockFile(false) {
    m_Descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_Descriptor < 0)
        throw CUHostError("cannot open the folder " + folder + " to lock it: " + std::strerror(errno),
                          CUFailureKind::kSetup);
    Acquire(folder, waitSeconds);
}

void CUFolderLock::Acquire(const std::string& folder, double waitSeconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(waitSeconds);
    for (;;) {
        if (::flock(m_Descriptor, LOCK_EX | LOCK_NB) == 0) return;
        const int error = errno;
        if (error != EWOULDBLOCK && error != EINTR) {
            ::close(m_Descriptor);
            throw CUHostError("cannot lock " + m_LockPath + ": " + std::strerror(error),
                              CUFailureKind::kSetup);
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            struct stat info {};
            const long holder = m_LockFile                          ? HolderOf(m_LockPath)
                                : ::fstat(m_Descriptor, &info) == 0 ? HolderOf(info.st_dev, info.st_ino)
                                                                    : 0;
            ::close(m_Descriptor);
            throw CUHostError(BusyText(folder, holder), CUFailureKind::kBusy);
        }
        if (CUInterruption::Requested()) {
            ::close(m_Descriptor);
            CUInterruption::ThrowIfRequested();
        }
        std::this_thread::sleep_for(kPollInterval);
    }
}

std::string CUFolderLock::BusyText(const std::string& folder, long holder) {
    return folder + " is busy: " +
           (holder > 0 ? "process " + std::to_string(holder) : std::string("another process")) +
           " holds it (--wait SECONDS waits for it)";
}

CUFolderLock::~CUFolderLock() {
    if (m_Descriptor >= 0) ::close(m_Descriptor);  // releases the lock
}

long CUFolderLock::HolderOf(const std::string& lockPath) {
    const int descriptor = ::open(lockPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) return 0;
    char text[32] = {};
    const ssize_t got = ::pread(descriptor, text, sizeof text - 1, 0);
    ::close(descriptor);
    if (got <= 0) return 0;
    char* end = nullptr;
    const long pid = std::strtol(text, &end, 10);
    return end != text && pid > 0 ? pid : 0;
}

long CUFolderLock::HolderOf(uint64_t device, uint64_t inode) {
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
