#pragma once
// Abstract lock; the base class Lock/Unlock do nothing.
#include "CUObject.h"

namespace ComVantoVantoQZ64RADPlug {

class CULockAbstract : public virtual CUObject {
public:
    ~CULockAbstract() override;
    virtual void Lock();
    virtual void Unlock();
};

}  // namespace ComVantoVantoQZ64RADPlug
