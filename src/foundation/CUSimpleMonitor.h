#pragma once
// Enter/exit a lock; a null lock is ignored.
#include "CULockAbstract.h"
#include "CUSharedPtr.h"

namespace ComVantoVantoQZ64RADPlug {

class CUSimpleMonitor {
public:
    static void Enter(CULockAbstract* lock);
    static void Enter(const CUSharedPtr<CULockAbstract>& lock);
    static void Exit(CULockAbstract* lock);
    static void Exit(const CUSharedPtr<CULockAbstract>& lock);
};

}  // namespace ComVantoVantoQZ64RADPlug
