#pragma once
// Scoped guard: takes the lock on construction, releases it on destruction
// (also when an exception passes). A null lock makes a guard that does
// nothing. A guard built from a shared pointer keeps the lock alive.
#include "CULockAbstract.h"
#include "CUSharedPtr.h"

namespace ComVantoVantoQZ64RADPlug {

class CUAutoLock : public virtual CUObject {
public:
    explicit CUAutoLock(CULockAbstract* lock);
    explicit CUAutoLock(const CUSharedPtr<CULockAbstract>& lock);
    CUAutoLock(const CUAutoLock&) = delete;
    CUAutoLock& operator=(const CUAutoLock&) = delete;
    ~CUAutoLock() override;

private:
    void CallEnter();
    void CallExit();

    CULockAbstract* m_Lock = nullptr;
    CUSharedPtr<CULockAbstract> m_SharedLock;
};

}  // namespace ComVantoVantoQZ64RADPlug
