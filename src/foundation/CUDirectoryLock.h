#pragma once
// One process at a time works in a folder, and taking the lock creates
// nothing: an advisory lock (flock) on the folder itself, held through a
// read-only descriptor of it. The lock goes with the process, so one that
// was killed holds nothing. The object holds the lock until destroyed.
// Waiting polls CUInterruption, so a signal ends it. A file system that
// takes no lock on a folder (some network file systems) is refused with the
// system's reason.
#include "CUFolderLock.h"

#include <string>

namespace ComVantoVantoQZ64RADPlug {

class CUDirectoryLock {
public:
    // Takes the lock of the existing folder `folder`, waiting up to
    // `waitSeconds` (0: one try) for another holder to release it. Throws
    // CUError: kResultFolderBusy ("FOLDER is busy: process N holds it"),
    // kResultFolderLockFailure (the folder cannot be opened or locked);
    // CUInterrupted.
    CUDirectoryLock(const std::string& folder, double waitSeconds);
    ~CUDirectoryLock();
    CUDirectoryLock(const CUDirectoryLock&) = delete;
    CUDirectoryLock& operator=(const CUDirectoryLock&) = delete;

    const std::string& Folder() const { return m_Folder; }
    // The process that holds a lock on the file or folder with this device
    // and inode, as the kernel lists it (/proc/locks); 0 when none is named.
    static long HolderOf(uint64_t device, uint64_t inode);

private:
    std::string m_Folder;
    int m_Descriptor = -1;
};

}  // namespace ComVantoVantoQZ64RADPlug
