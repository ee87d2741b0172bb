#pragma once
// The process-wide source of 64-bit serial numbers handed to card contents
// and clips. The first identifier is 1; identifiers are never reused within
// a process. Safe to use from any thread.
#include "CUObject.h"
#include "CURecursiveLock.h"
#include "CUSharedPtr.h"

#include <cstdint>

namespace ComVantoVantoQZ64RADPlug {

class CUIdentifierGenerator : public CUObject {
public:
    // The shared instance, created exactly once even when many threads ask
    // at the same time; it lives until process exit.
    static CUSharedPtr<CUIdentifierGenerator> SharedInstance();

    // Under the lock: the last issued identifier plus 1.
    virtual int64_t GenerateIdentifier();

    ~CUIdentifierGenerator() override;

private:
    CUIdentifierGenerator();

    int64_t m_LastIdentifier = 0;
    CURecursiveLock m_Lock;
};

}  // namespace ComVantoVantoQZ64RADPlug
