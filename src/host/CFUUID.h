#pragma once
// A 16-byte identifier. Identifiers are equal when their bytes are.
#include "CFString.h"

namespace ComVantoVantoQZ64RADPlug {

// The bytes in the order of the identifier's text form.
struct CFUUIDBytes {
    uint8_t byte0, byte1, byte2, byte3, byte4, byte5, byte6, byte7;
    uint8_t byte8, byte9, byte10, byte11, byte12, byte13, byte14, byte15;
};
static_assert(sizeof(CFUUIDBytes) == 16, "16 bytes, no padding");

class CFUUID final : public CFType {
public:
    explicit CFUUID(const CFUUIDBytes& bytes) : m_bytes(bytes) {}
    CFTypeID TypeID() const override { return kCFUUIDTypeID; }
    bool Equals(const CFType& other) const override;
    CFHashCode Hash() const override;
    const CFUUIDBytes& Bytes() const { return m_bytes; }

private:
    CFUUIDBytes m_bytes;
};

using CFUUIDRef = const CFUUID*;

CFUUIDRef CFUUIDCreateFromUUIDBytes(CFAllocatorRef allocator, CFUUIDBytes bytes);
// All zero for null.
CFUUIDBytes CFUUIDGetUUIDBytes(CFUUIDRef uuid);
// Text "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX", upper-case hexadecimal.
CFStringRef CFUUIDCreateString(CFAllocatorRef allocator, CFUUIDRef uuid);

}  // namespace ComVantoVantoQZ64RADPlug
