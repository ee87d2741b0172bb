#include "CUSimpleMonitor.h"

namespace ComVantoVantoQZ64RADPlug {

void CUSimpleMonitor::Enter(CULockAbstract* lock) {
    if (lock) lock->Lock();
}
void CUSimpleMonitor::Enter(const CUSharedPtr<CULockAbstract>& lock) {
    Enter(lock.get());
}
void CUSimpleMonitor::Exit(CULockAbstract* lock) {
    if (lock) lock->Unlock();
}
void CUSimpleMonitor::Exit(const CUSharedPtr<CULockAbstract>& lock) {
    Exit(lock.get());
}

}  // namespace ComVantoVantoQZ64RADPlug
