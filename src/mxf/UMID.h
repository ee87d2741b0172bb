#pragma once
// A basic (32-byte) or extended (64-byte) SMPTE 330M material identifier.
// Plain value, not synchronised.
#include "CUObject.h"
#include "CUSharedPtr.h"

#include <cstdint>

namespace ComVantoVantoQZ64RADPlug {

class CUStringMac;

class UMID : public CUObject {
public:
    static constexpr uint32_t kBasicLength = 32;
    static constexpr uint32_t kExtendedLength = 64;
    // Byte 12 of an extended UMID.
    static constexpr unsigned char kExtendedLengthByte = 0x33;

    UMID();
    UMID(const UMID& other);
    ~UMID() override;
    UMID& operator=(const UMID& other);

    // Accepts only 32 or 64 bytes from a non-null buffer: returns 0, else
    // 0x130001 and changes nothing.
    uint32_t SetData(const unsigned char* bytes, uint32_t length);
    // 0 until SetData succeeded.
    uint32_t Length() const { return m_Length; }
    const unsigned char* Bytes() const { return m_Data; }
    // Throws "Index range error" (const char*) when index >= Length().
    unsigned char ValueAtIndex(uint32_t index) const;
    // Same length and same first Length() bytes; a null pointer is never equal.
    bool isEqualToUMID(const UMID& other) const;
    bool isEqualToUMID(const CUSharedPtr<UMID>& other) const;
    // Each byte "%02X", joined by ".".
    CUSharedPtr<CUStringMac> Description() const override;

private:
    unsigned char m_Data[kExtendedLength];
    uint32_t m_Length = 0;
};

}  // namespace ComVantoVantoQZ64RADPlug
