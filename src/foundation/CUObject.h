#pragma once
// Root of every library object: an intrusive retain count guarded by one
// process-wide mutex. Only CUSharedPtr changes the count; objects that live
// on the stack, inside another object or by value in a container keep count
// 0 and are never deleted through it.
#include <cstdint>

namespace ComVantoVantoQZ64RADPlug {

class CUStringMac;
template <class T>
class CUSharedPtr;

class CUObject {
public:
    CUObject();
    // A copy starts with its own count of 0: counts are never copied.
    CUObject(const CUObject&);
    virtual ~CUObject();

    // "%s(0x%p)": run-time type name and address.
    virtual CUSharedPtr<CUStringMac> Description() const;
    // Copies nothing (counts belong to the object) and returns *this.
    virtual CUObject& operator=(const CUObject&);

    void Retain() const;
    // Deletes the object when the count drops to 0 or below.
    void Release() const;
    int32_t RetainCount() const;

private:
    mutable int32_t m_RetainCount = 0;
};

}  // namespace ComVantoVantoQZ64RADPlug
