#include "OutputFolderLock.h"

#include "CUInterruption.h"
#include "ImportError.h"

namespace qzimport {

using namespace ComVantoVantoQZ64RADPlug;

namespace {

constexpr const char* kLockName = "qzcard-export";

}  // namespace

OutputFolderLock::OutputFolderLock(const std::string& folder, double waitSeconds) {
    try {
        m_lock.emplace(folder, kLockName, waitSeconds);
    } catch (const CUInterrupted& e) {
        throw ImportError::Interrupted("interrupted while waiting for the output folder", e.Signal());
    }
}

}  // namespace qzimport
