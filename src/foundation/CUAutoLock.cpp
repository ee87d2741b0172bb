#include "CUAutoLock.h"

#include "CUSimpleMonitor.h"

namespace ComVantoVantoQZ64RADPlug {

CUAutoLock::CUAutoLock(CULockAbstract* lock) : m_Lock(lock) {
    CallEnter();
}

CUAutoLock::CUAutoLock(const CUSharedPtr<CULockAbstract>& lock) : m_Lock(lock.get()), m_SharedLock(lock) {
    CallEnter();
}

CUAutoLock::~CUAutoLock() {
    CallExit();
}

void CUAutoLock::CallEnter() {
    CUSimpleMonitor::Enter(m_Lock);
}
void CUAutoLock::CallExit() {
    CUSimpleMonitor::Exit(m_Lock);
}

}  // namespace ComVantoVantoQZ64RADPlug
