#pragma once
// Immutable Unicode text, held as UTF-8. Strings are equal when their
// characters are; they serve as dictionary keys. Immutable, so any thread
// may read one.
#include <string>

#include "CFType.h"

namespace ComVantoVantoQZ64RADPlug {

using CFStringEncoding = uint32_t;
inline constexpr CFStringEncoding kCFStringEncodingASCII = 0x0600;
inline constexpr CFStringEncoding kCFStringEncodingUTF8 = 0x08000100;

class CFString final : public CFType {
public:
    // A constant string with the given ASCII text.
    CFString(const char* text, Lifetime lifetime) : CFType(lifetime), m_text(text) {}
    explicit CFString(std::string text) : m_text(std::move(text)) {}

    CFTypeID TypeID() const override { return kCFStringTypeID; }
    bool Equals(const CFType& other) const override;
    CFHashCode Hash() const override;

    const std::string& Text() const { return m_text; }  // UTF-8

private:
    std::string m_text;
};

using CFStringRef = const CFString*;

// Null when the bytes are not valid text in the encoding (ASCII or UTF-8).
CFStringRef CFStringCreateWithCString(CFAllocatorRef allocator, const char* text, CFStringEncoding encoding);
CFStringRef CFStringCreateWithBytes(CFAllocatorRef allocator, const uint8_t* bytes, CFIndex byteCount,
                                    CFStringEncoding encoding, Boolean isExternalRepresentation);
CFStringRef CFStringCreateCopy(CFAllocatorRef allocator, CFStringRef string);
// The length in UTF-16 code units.
CFIndex CFStringGetLength(CFStringRef string);
// Writes the text and a NUL; false (buffer untouched beyond its size) when
// it does not fit or cannot be written in the encoding.
Boolean CFStringGetCString(CFStringRef string, char* buffer, CFIndex bufferSize, CFStringEncoding encoding);
// The UTF-8 text; empty for null.
std::string CFStringGetStdString(CFStringRef string);

}  // namespace ComVantoVantoQZ64RADPlug
