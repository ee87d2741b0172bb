#pragma once
// An immutable boxed number: an integer of up to 64 bits or a float.
// Numbers are equal when their values are.
#include "CFType.h"

namespace ComVantoVantoQZ64RADPlug {

using CFNumberType = CFIndex;
enum : CFNumberType {
    kCFNumberSInt8Type = 1,
    kCFNumberSInt16Type = 2,
    kCFNumberSInt32Type = 3,
    kCFNumberSInt64Type = 4,
    kCFNumberFloat32Type = 5,
    kCFNumberFloat64Type = 6,
    kCFNumberCharType = 7,
    kCFNumberShortType = 8,
    kCFNumberIntType = 9,
    kCFNumberLongType = 10,
    kCFNumberLongLongType = 11,
    kCFNumberFloatType = 12,
    kCFNumberDoubleType = 13,
};

class CFNumber final : public CFType {
public:
    CFNumber(CFNumberType type, int64_t integer) : m_type(type), m_integer(integer) {}
    CFNumber(CFNumberType type, double real) : m_type(type), m_isFloat(true), m_real(real) {}

    CFTypeID TypeID() const override { return kCFNumberTypeID; }
    bool Equals(const CFType& other) const override;
    CFHashCode Hash() const override;

    CFNumberType Type() const { return m_type; }
    bool IsFloat() const { return m_isFloat; }
    int64_t Integer() const { return m_integer; }
    double Real() const { return m_real; }

private:
    CFNumberType m_type;
    bool m_isFloat = false;
    int64_t m_integer = 0;
    double m_real = 0.0;
};

using CFNumberRef = const CFNumber*;

// Reads the value of the given type at `value`; null for an unknown type.
CFNumberRef CFNumberCreate(CFAllocatorRef allocator, CFNumberType type, const void* value);
CFNumberType CFNumberGetType(CFNumberRef number);
Boolean CFNumberIsFloatType(CFNumberRef number);
// Writes the value as `type`; false when it is not exactly representable
// there (the written value is then the nearest one).
Boolean CFNumberGetValue(CFNumberRef number, CFNumberType type, void* value);

}  // namespace ComVantoVantoQZ64RADPlug
