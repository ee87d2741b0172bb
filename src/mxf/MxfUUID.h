#pragma once
// A 16-byte identifier (universal label, instance UID), all zero when
// default-constructed. Plain value: not synchronised, copy freely.
#include "CUObject.h"
#include "CUSharedPtr.h"

#include <cstdint>

namespace ComVantoVantoQZ64RADPlug {

class CUStringMac;

class MxfUUID : public CUObject {
public:
    MxfUUID();
    // Copies 16 bytes; a null pointer leaves the identifier zero.
    explicit MxfUUID(const unsigned char* bytes);
    // Each word stored big-endian, w0 in bytes 0 to 3.
    MxfUUID(uint32_t w0, uint32_t w1, uint32_t w2, uint32_t w3);
    MxfUUID(const MxfUUID& other);
    ~MxfUUID() override;
    MxfUUID& operator=(const MxfUUID& other);

    // An absent source changes nothing.
    void SetKey(const MxfUUID* other);
    void SetKey(const MxfUUID& other);
    void SetKey(const unsigned char* bytes);

    // Throws "Index range error" (const char*) when index >= 16.
    unsigned char ValueAtIndex(uint32_t index) const;
    // The 16 bytes, always valid.
    const unsigned char* Bytes() const { return m_Bytes; }

    // "%02X.%02X. ... .%02X" of the 16 bytes.
    CUSharedPtr<CUStringMac> Description() const override;

    // Equality over all 16 bytes; order by bytes (memcmp).
    bool operator==(const MxfUUID& other) const;
    bool operator!=(const MxfUUID& other) const { return !(*this == other); }
    bool operator<(const MxfUUID& other) const;

protected:
    unsigned char m_Bytes[16];
};

}  // namespace ComVantoVantoQZ64RADPlug
