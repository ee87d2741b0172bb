#include "CFUUID.h"

#include <cstdio>
#include <cstring>
#include <new>

namespace ComVantoVantoQZ64RADPlug {

bool CFUUID::Equals(const CFType& other) const {
    return std::memcmp(&m_bytes, &static_cast<const CFUUID&>(other).m_bytes, sizeof m_bytes) == 0;
}

CFHashCode CFUUID::Hash() const {
    CFHashCode hash = 0;
    const auto* b = reinterpret_cast<const uint8_t*>(&m_bytes);
    for (size_t i = 0; i < sizeof m_bytes; ++i) hash = hash * 31 + b[i];
    return hash;
}

CFUUIDRef CFUUIDCreateFromUUIDBytes(CFAllocatorRef, CFUUIDBytes bytes) {
    return new (std::nothrow) CFUUID(bytes);
}

CFUUIDBytes CFUUIDGetUUIDBytes(CFUUIDRef uuid) {
    return uuid ? uuid->Bytes() : CFUUIDBytes{};
}

CFStringRef CFUUIDCreateString(CFAllocatorRef allocator, CFUUIDRef uuid) {
    if (!uuid) return nullptr;
    const auto* b = reinterpret_cast<const uint8_t*>(&uuid->Bytes());
    char text[37];
    std::snprintf(text, sizeof text, "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X",
                  b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13],
                  b[14], b[15]);
    return CFStringCreateWithCString(allocator, text, kCFStringEncodingASCII);
}

}  // namespace ComVantoVantoQZ64RADPlug
