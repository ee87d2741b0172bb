#pragma once
// Typed numeric vector: a std::vector<T> that is also a library object.
// CUVector<unsigned char> is the byte buffer of the MXF and movie layers.
// Not synchronised.
#include "CUObject.h"
#include "CUSharedPtr.h"
#include "CUStringMac.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <type_traits>
#include <vector>

namespace ComVantoVantoQZ64RADPlug {

template <class T>
class CUVector : public virtual CUObject, public std::vector<T> {
    static_assert(std::is_integral_v<T>, "CUVector holds integers");

public:
    using std::vector<T>::vector;
    CUVector() = default;
    CUVector(const CUVector& other) : CUObject(), std::vector<T>(other) {}
    CUVector& operator=(const CUVector& other) {
        std::vector<T>::operator=(other);
        return *this;
    }
    ~CUVector() override = default;

    static CUSharedPtr<CUVector<T>> Create() { return CUSharedPtr<CUVector<T>>(new CUVector<T>()); }

    // "{ 1, 2, 3 }" (" %d," / " %u," / " %lld," / " %llu," per element, a
    // blank after the last); "{}" when empty.
    CUSharedPtr<CUStringMac> Description() const override {
        std::string text = "{";
        char item[32];
        const size_t n = this->size();
        for (size_t i = 0; i < n; ++i) {
            const char sep = (i + 1 == n) ? ' ' : ',';
            const T v = (*this)[i];
            if constexpr (sizeof(T) == 8 && std::is_signed_v<T>)
                std::snprintf(item, sizeof item, " %lld%c", static_cast<long long>(v), sep);
            else if constexpr (sizeof(T) == 8)
                std::snprintf(item, sizeof item, " %llu%c", static_cast<unsigned long long>(v), sep);
            else if constexpr (std::is_signed_v<T>)
                std::snprintf(item, sizeof item, " %d%c", static_cast<int>(v), sep);
            else
                std::snprintf(item, sizeof item, " %u%c", static_cast<unsigned int>(v), sep);
            text += item;
        }
        text += "}";
        return CUStringMac::Create(text.c_str());
    }
};

// Each returns a new empty vector.
CUSharedPtr<CUVector<signed char>> CreateCUVectorSInt8();
CUSharedPtr<CUVector<unsigned char>> CreateCUVectorUInt8();
CUSharedPtr<CUVector<short>> CreateCUVectorSInt16();
CUSharedPtr<CUVector<unsigned short>> CreateCUVectorUInt16();
CUSharedPtr<CUVector<int>> CreateCUVectorSInt32();
CUSharedPtr<CUVector<unsigned int>> CreateCUVectorUInt32();
CUSharedPtr<CUVector<long long>> CreateCUVectorSInt64();
CUSharedPtr<CUVector<unsigned long long>> CreateCUVectorUInt64();

}  // namespace ComVantoVantoQZ64RADPlug
