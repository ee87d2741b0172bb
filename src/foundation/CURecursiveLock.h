#pragma once
// The lock every shared object owns: recursive, so guarded operations may
// call each other on the same thread. Take it through CUAutoLock.
#include "CULockAbstract.h"
#include "CUMutex.h"
#include "CUSharedPtr.h"

namespace ComVantoVantoQZ64RADPlug {

class CURecursiveLock : public CULockAbstract {
public:
    CURecursiveLock();
    CURecursiveLock(const CURecursiveLock&) = delete;
    CURecursiveLock& operator=(const CURecursiveLock&) = delete;
    ~CURecursiveLock() override;

    static CUSharedPtr<CURecursiveLock> Create();

    void Lock() override;
    void Unlock() override;

private:
    CUMutex m_CriData;
};

}  // namespace ComVantoVantoQZ64RADPlug
