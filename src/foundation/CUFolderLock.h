#pragma once
// One process at a time works in a folder: an advisory lock (flock) on a
// hidden lock file in it, FOLDER/.NAME.lock, which also names the holder's
// process id for the one refused. The lock goes with the process, so one
// that was killed holds nothing; the lock file itself stays (removing it
// would let two processes lock two different files). The object holds the
// lock until destroyed. Waiting polls CUInterruption, so a signal ends it.
#include <cstdint>
#include <string>

namespace ComVantoVantoQZ64RADPlug {

// Result codes of the folder lock (foundation range).
constexpr uint32_t kResultFolderBusy = 0x10030;         // another process holds the lock
constexpr uint32_t kResultFolderLockFailure = 0x10031;  // the lock file cannot be opened or locked

class CUFolderLock {
public:
    // Takes the lock, waiting up to `waitSeconds` (0: one try) for another
    // holder to release it. Throws CUError: kResultFolderBusy ("FOLDER is
    // busy: process N holds it"), kResultFolderLockFailure; CUInterrupted.
    CUFolderLock(const std::string& folder, const std::string& name, double waitSeconds);
    ~CUFolderLock();
    CUFolderLock(const CUFolderLock&) = delete;
    CUFolderLock& operator=(const CUFolderLock&) = delete;

    const std::string& LockPath() const { return m_LockPath; }
    // The holder named in the lock file, 0 when it names none.
    static long HolderOf(const std::string& lockPath);

private:
    std::string m_LockPath;
    int m_Descriptor = -1;
};

}  // namespace ComVantoVantoQZ64RADPlug
