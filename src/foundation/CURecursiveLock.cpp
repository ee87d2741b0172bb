#include "CURecursiveLock.h"

namespace ComVantoVantoQZ64RADPlug {

CURecursiveLock::CURecursiveLock() = default;
CURecursiveLock::~CURecursiveLock() = default;

CUSharedPtr<CURecursiveLock> CURecursiveLock::Create() {
    return CUSharedPtr<CURecursiveLock>(new CURecursiveLock());
}

void CURecursiveLock::Lock() {
    m_CriData.WaitOne();
}
void CURecursiveLock::Unlock() {
    m_CriData.ReleaseMutex();
}

}  // namespace ComVantoVantoQZ64RADPlug
