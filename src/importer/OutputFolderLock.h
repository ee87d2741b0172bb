#pragma once
// The lock a process holds on an output folder while it writes there, so
// that one export or report at a time works in it: CUFolderLock on
// FOLDER/.qzcard-export.lock (the name exports have always taken, so that
// every qzcard that writes into a folder waits for the others). Held until
// destroyed; the folder must exist. Used by one thread.
#include "CUFolderLock.h"

#include <optional>
#include <string>

namespace qzimport {

class OutputFolderLock {
public:
    // Waits up to `waitSeconds` for another holder. Throws CUHostError as
    // CUFolderLock does (kBusy, kSetup); ImportError kInterrupted when a
    // signal ends the wait.
    OutputFolderLock(const std::string& folder, double waitSeconds);

private:
    std::optional<ComVantoVantoQZ64RADPlug::CUFolderLock> m_lock;
};

}  // namespace qzimport
