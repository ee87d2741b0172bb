#pragma once
// Abstract waitable object.
#include "CUObject.h"

namespace ComVantoVantoQZ64RADPlug {

class CUWaitHandle : public virtual CUObject {
public:
    ~CUWaitHandle() override;
    // Blocks until the handle is acquired; true on success.
    virtual bool WaitOne() = 0;
};

}  // namespace ComVantoVantoQZ64RADPlug
