#include "CFString.h"

#include <cstring>
#include <functional>
#include <new>

namespace ComVantoVantoQZ64RADPlug {

namespace {

bool IsASCII(const std::string& text) {
    for (unsigned char c : text)
        if (c >= 0x80) return false;
    return true;
}

// Well-formed UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
// Counts UTF-16 code units on the way.
bool CountUTF16(const std::string& text, CFIndex* units) {
    CFIndex count = 0;
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    while (p < end) {
        const unsigned char c = *p;
        int extra;
        uint32_t code;
        if (c < 0x80) {
            extra = 0, code = c;
        } else if (c >= 0xC2 && c <= 0xDF) {
            extra = 1, code = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2, code = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3, code = c & 0x07;
        } else {
            return false;
        }
        if (end - p <= extra) return false;
        for (int i = 1; i <= extra; ++i) {
            if ((p[i] & 0xC0) != 0x80) return false;
            code = (code << 6) | (p[i] & 0x3F);
        }
        if ((extra == 2 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))) ||
            (extra == 3 && (code < 0x10000 || code > 0x10FFFF)))
            return false;
        count += code >= 0x10000 ? 2 : 1;
        p += extra + 1;
    }
    *units = count;
    return true;
}

bool Encodable(const std::string& text, CFStringEncoding encoding) {
    CFIndex units;
    if (encoding == kCFStringEncodingASCII) return IsASCII(text);
    if (encoding == kCFStringEncodingUTF8) return CountUTF16(text, &units);
    return false;
}

CFStringRef Make(std::string text, CFStringEncoding encoding) {
    if (!Encodable(text, encoding)) return nullptr;
    return new (std::nothrow) CFString(std::move(text));
}

}  // namespace

bool CFString::Equals(const CFType& other) const {
    return m_text == static_cast<const CFString&>(other).m_text;
}

CFHashCode CFString::Hash() const {
    return std::hash<std::string>()(m_text);
}

CFStringRef CFStringCreateWithCString(CFAllocatorRef, const char* text, CFStringEncoding encoding) {
    if (!text) return nullptr;
    return Make(std::string(text), encoding);
}

CFStringRef CFStringCreateWithBytes(CFAllocatorRef, const uint8_t* bytes, CFIndex byteCount,
                                    CFStringEncoding encoding, Boolean) {
    if (byteCount < 0 || (!bytes && byteCount > 0)) return nullptr;
    return Make(std::string(reinterpret_cast<const char*>(bytes), static_cast<size_t>(byteCount)), encoding);
}

CFStringRef CFStringCreateCopy(CFAllocatorRef, CFStringRef string) {
    if (!string) return nullptr;
    if (string->IsConstant()) return string;
    return static_cast<CFStringRef>(CFRetain(string));
}

CFIndex CFStringGetLength(CFStringRef string) {
    CFIndex units = 0;
    if (string) CountUTF16(string->Text(), &units);
    return units;
}

Boolean CFStringGetCString(CFStringRef string, char* buffer, CFIndex bufferSize, CFStringEncoding encoding) {
    if (!string || !buffer || bufferSize < 1) return false;
    const std::string& text = string->Text();
    if (static_cast<size_t>(bufferSize) <= text.size() || !Encodable(text, encoding)) return false;
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return true;
}

std::string CFStringGetStdString(CFStringRef string) {
    return string ? string->Text() : std::string();
}

}  // namespace ComVantoVantoQZ64RADPlug
