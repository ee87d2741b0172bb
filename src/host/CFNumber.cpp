#include "CFNumber.h"

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <new>

namespace ComVantoVantoQZ64RADPlug {

namespace {

// The byte width of an integer type, 0 for a float type, -1 when unknown.
int IntegerWidth(CFNumberType type) {
    switch (type) {
        case kCFNumberSInt8Type:
        case kCFNumberCharType:
            return 1;
        case kCFNumberSInt16Type:
        case kCFNumberShortType:
            return 2;
        case kCFNumberSInt32Type:
        case kCFNumberIntType:
            return 4;
        case kCFNumberSInt64Type:
        case kCFNumberLongType:
        case kCFNumberLongLongType:
            return 8;
        case kCFNumberFloat32Type:
        case kCFNumberFloat64Type:
        case kCFNumberFloatType:
        case kCFNumberDoubleType:
            return 0;
        default:
            return -1;
    }
}

// Whether `real` is a whole number within the 64-bit range, and which.
bool WholeInt64(double real, int64_t* integer) {
    if (!(real >= -9223372036854775808.0 && real < 9223372036854775808.0) || std::trunc(real) != real)
        return false;
    *integer = static_cast<int64_t>(real);
    return true;
}

bool IsFloat32(CFNumberType type) {
    return type == kCFNumberFloat32Type || type == kCFNumberFloatType;
}

template <class T>
bool StoreInteger(int64_t value, void* out) {
    const bool fits = value >= std::numeric_limits<T>::min() && value <= std::numeric_limits<T>::max();
    const T stored = fits ? static_cast<T>(value)
                          : (value < 0 ? std::numeric_limits<T>::min() : std::numeric_limits<T>::max());
    std::memcpy(out, &stored, sizeof stored);
    return fits;
}

}  // namespace

bool CFNumber::Equals(const CFType& other) const {
    const auto& b = static_cast<const CFNumber&>(other);
    if (m_isFloat != b.m_isFloat) {
        if (!m_isFloat) return b.Equals(*this);
        int64_t whole;
        return WholeInt64(m_real, &whole) && whole == b.m_integer;
    }
    return m_isFloat ? m_real == b.m_real : m_integer == b.m_integer;
}

CFHashCode CFNumber::Hash() const {
    int64_t whole;
    if (m_isFloat && WholeInt64(m_real, &whole)) return std::hash<int64_t>()(whole);
    return m_isFloat ? std::hash<double>()(m_real) : std::hash<int64_t>()(m_integer);
}

CFNumberRef CFNumberCreate(CFAllocatorRef, CFNumberType type, const void* value) {
    const int width = IntegerWidth(type);
    if (width < 0 || !value) return nullptr;
    if (width == 0) {
        double real;
        if (IsFloat32(type)) {
            float f;
            std::memcpy(&f, value, sizeof f);
            real = f;
        } else {
            std::memcpy(&real, value, sizeof real);
        }
        return new (std::nothrow) CFNumber(type, real);
    }
    int64_t integer = 0;
    switch (width) {
        case 1:
            integer = *static_cast<const int8_t*>(value);
            break;
        case 2: {
            int16_t v;
            std::memcpy(&v, value, sizeof v);
            integer = v;
            break;
        }
        case 4: {
            int32_t v;
            std::memcpy(&v, value, sizeof v);
            integer = v;
            break;
        }
        default:
            std::memcpy(&integer, value, sizeof integer);
            break;
    }
    return new (std::nothrow) CFNumber(type, integer);
}

CFNumberType CFNumberGetType(CFNumberRef number) {
    return number ? number->Type() : 0;
}

Boolean CFNumberIsFloatType(CFNumberRef number) {
    return number && number->IsFloat();
}

Boolean CFNumberGetValue(CFNumberRef number, CFNumberType type, void* value) {
    const int width = IntegerWidth(type);
    if (!number || !value || width < 0) return false;
    if (width == 0) {
        const double real = number->IsFloat() ? number->Real() : static_cast<double>(number->Integer());
        int64_t whole;
        bool exact = number->IsFloat() || (WholeInt64(real, &whole) && whole == number->Integer());
        if (IsFloat32(type)) {
            const float f = static_cast<float>(real);
            exact = exact && static_cast<double>(f) == real;
            std::memcpy(value, &f, sizeof f);
        } else {
            std::memcpy(value, &real, sizeof real);
        }
        return exact;
    }
    int64_t integer = number->Integer();
    bool exact = true;
    if (number->IsFloat()) {
        const double real = number->Real();
        if (!(real >= -9223372036854775808.0 && real < 9223372036854775808.0)) {
            integer = real < 0 ? std::numeric_limits<int64_t>::min() : std::numeric_limits<int64_t>::max();
            exact = false;
        } else {
            integer = static_cast<int64_t>(real);
            exact = static_cast<double>(integer) == real;
        }
    }
    switch (width) {
        case 1:
            return StoreInteger<int8_t>(integer, value) && exact;
        case 2:
            return StoreInteger<int16_t>(integer, value) && exact;
        case 4:
            return StoreInteger<int32_t>(integer, value) && exact;
        default:
            return StoreInteger<int64_t>(integer, value) && exact;
    }
}

}  // namespace ComVantoVantoQZ64RADPlug
