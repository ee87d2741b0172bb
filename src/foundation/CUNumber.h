#pragma once
// Abstract boxed number. Concrete values are CUNumberConcrete<T>; create one
// with CUNumber::Create<T>(value) for any arithmetic or enumeration type T.
#include "CUObject.h"
#include "CUSharedPtr.h"

#include <cstdint>

namespace ComVantoVantoQZ64RADPlug {

class CUNumber : public CUObject {
public:
    ~CUNumber() override;

    // True when the value is not zero (a NaN counts as true).
    virtual bool boolValue() const = 0;
    virtual uint8_t UInt8Value() const = 0;
    virtual uint16_t UInt16Value() const = 0;
    virtual uint32_t UInt32Value() const = 0;
    virtual uint64_t UInt64Value() const = 0;
    virtual int8_t SInt8Value() const = 0;
    virtual int16_t SInt16Value() const = 0;
    virtual int32_t SInt32Value() const = 0;
    virtual int64_t SInt64Value() const = 0;
    virtual float floatValue() const = 0;
    virtual double doubleValue() const = 0;

    // A new CUNumberConcrete<T> holding value (defined in CUNumberConcrete.h).
    template <class T>
    static CUSharedPtr<CUNumber> Create(T value);
};

}  // namespace ComVantoVantoQZ64RADPlug

#include "CUNumberConcrete.h"
