#pragma once
// A boxed value of type T (an arithmetic or enumeration type). Accessors use
// the ordinary numeric conversions; floating-point values that do not fit the
// requested integer type saturate at its limits (NaN gives 0) instead of
// invoking undefined behaviour.
#include "CUNumber.h"
#include "CUStringMac.h"

#include <cmath>
#include <limits>
#include <sstream>
#include <string>
#include <type_traits>

namespace ComVantoVantoQZ64RADPlug {

namespace cunumber_detail {

template <class T>
struct Arithmetic {
    using type = T;
};
template <class T>
requires std::is_enum_v<T>
struct Arithmetic<T> {
    using type = std::underlying_type_t<T>;
};

template <class R, class V>
R Convert(V value) {
    if constexpr (std::is_floating_point_v<V> && std::is_integral_v<R> && !std::is_same_v<R, bool>) {
        if (std::isnan(value)) return 0;
        // Limits as long double so the comparison itself is exact enough.
        const long double v = value;
        if (v <= static_cast<long double>(std::numeric_limits<R>::min()))
            return std::numeric_limits<R>::min();
        if (v >= static_cast<long double>(std::numeric_limits<R>::max()))
            return std::numeric_limits<R>::max();
        return static_cast<R>(value);
    } else if constexpr (std::is_same_v<V, double> && std::is_same_v<R, float>) {
        return static_cast<float>(value);  // out-of-range doubles become +-inf
    } else {
        return static_cast<R>(value);
    }
}

}  // namespace cunumber_detail

template <class T>
class CUNumberConcrete : public CUNumber {
    static_assert(std::is_arithmetic_v<T> || std::is_enum_v<T>,
                  "CUNumberConcrete holds numbers and enumerations");
    using A = typename cunumber_detail::Arithmetic<T>::type;

public:
    explicit CUNumberConcrete(T value) : m_Value(value) {}
    CUNumberConcrete(const CUNumberConcrete& other) : CUNumber(other), m_Value(other.m_Value) {}
    ~CUNumberConcrete() override = default;

    T Value() const { return m_Value; }

    bool boolValue() const override { return Raw() != A{}; }
    uint8_t UInt8Value() const override { return cunumber_detail::Convert<uint8_t>(Raw()); }
    uint16_t UInt16Value() const override { return cunumber_detail::Convert<uint16_t>(Raw()); }
    uint32_t UInt32Value() const override { return cunumber_detail::Convert<uint32_t>(Raw()); }
    uint64_t UInt64Value() const override { return cunumber_detail::Convert<uint64_t>(Raw()); }
    int8_t SInt8Value() const override { return cunumber_detail::Convert<int8_t>(Raw()); }
    int16_t SInt16Value() const override { return cunumber_detail::Convert<int16_t>(Raw()); }
    int32_t SInt32Value() const override { return cunumber_detail::Convert<int32_t>(Raw()); }
    int64_t SInt64Value() const override { return cunumber_detail::Convert<int64_t>(Raw()); }
    float floatValue() const override { return cunumber_detail::Convert<float>(Raw()); }
    double doubleValue() const override { return cunumber_detail::Convert<double>(Raw()); }

    // Decimal text as a standard output stream writes it: integers and
    // enumerations as numbers (bool "0"/"1", unsigned char as a number),
    // floating point in the default format (six significant digits).
    static CUSharedPtr<CUStringMac> GetValueString(T value) {
        std::ostringstream out;
        const A raw = static_cast<A>(value);
        if constexpr (std::is_floating_point_v<A>)
            out << raw;
        else if constexpr (std::is_same_v<A, bool>)
            out << (raw ? 1 : 0);
        else
            out << +raw;  // promotes character types to int
        return CUStringMac::Create(out.str().c_str());
    }

    CUSharedPtr<CUStringMac> Description() const override { return GetValueString(m_Value); }

private:
    A Raw() const { return static_cast<A>(m_Value); }

    T m_Value;
};

template <class T>
CUSharedPtr<CUNumber> CUNumber::Create(T value) {
    return CUSharedPtr<CUNumber>(new CUNumberConcrete<T>(value));
}

}  // namespace ComVantoVantoQZ64RADPlug
