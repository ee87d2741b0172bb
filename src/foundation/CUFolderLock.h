#pragma once
// One process at a time works in a folder: an advisory lock (flock) on a
// hidden lock file in it, FOLDER/.NAME.lock, which also names the holder's
// process id for the one refused; or, where taking the lock must create
// nothing, on the folder itself (held through a read-only descriptor of it;
// the holder is then named as the kernel lists it). The lock goes with the
// process, so one that was killed holds nothing; a lock file itself stays
// (removing it would let two processes lock two different files). The
// object holds the lock until destroyed. Waiting polls CUInterruption, so a
// signal ends it. A file system that takes no lock on a folder (some
// network file systems) is refused with the system's reason. Every command
// that works in a folder (export, report, offload and its check) takes its
// lock here, so each says "busy" in the same words.
#include <cstdint>
#include <string>

namespace ComVantoVantoQZ64RADPlug {

class CUFolderLock {
public:
    // Takes the lock, waiting up to `waitSeconds` (0: one try) for another
    // holder to release it. Throws CUHostError: kBusy (BusyText), kSetup
    // when the lock file or folder cannot be opened or locked; CUInterrupted.
    CUFolderLock(const std::string& folder, const std::string& name, double waitSeconds);
    // The same lock on the existing folder `folder` itself: creates nothing.
    CUFolderLock(const std::string& folder, double waitSeconds);
    ~CUFolderLock();
    CUFolderLock(const CUFolderLock&) = delete;
    CUFolderLock& operator=(const CUFolderLock&) = delete;

    // The refusal of a folder that `holder` holds (0: a holder not named):
    // "FOLDER is busy: process N holds it (--wait SECONDS waits for it)".
    static std::string BusyText(const std::string& folder, long holder);

    // The lock file, or the folder when the folder itself is locked.
    const std::string& LockPath() const { return m_LockPath; }
    // The holder named in the lock file, 0 when it names none.
    static long HolderOf(const std::string& lockPath);
    // The process holding a lock on the file or folder with this device and
    // inode, as the kernel lists it (/proc/locks); 0 when none is named.
    static long HolderOf(uint64_t device, uint64_t inode);

private:
    // Waits for the lock on the open descriptor (closing it when refused).
    void Acquire(const std::string& folder, double waitSeconds);

    std::string m_LockPath;
    bool m_LockFile = true;  // false: the folder itself is locked
    int m_Descriptor = -1;
};

}  // namespace ComVantoVantoQZ64RADPlug
