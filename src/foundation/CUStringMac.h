#pragma once
// Immutable Unicode string (UTF-16 storage) with path operations and a null
// state distinct from the empty string: a null string has Length() 0, never
// compares equal, fails every path operation with 0x10001 and converts to a
// null char pointer.
#include "CUObject.h"
#include "CUSharedPtr.h"

#include <cstdarg>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace ComVantoVantoQZ64RADPlug {

class CUArray;

// Character code of a byte string. Any other value is treated as UTF-8.
enum _CUString_CharCode : uint32_t {
    kCUString_UTF8 = 0,
    kCUString_UTF16 = 1,
    kCUString_ASCII = 2,
};

// 0: exact, 1: case-insensitive; any other value never matches.
enum _CUStringComparison : uint32_t {
    kCUStringCompareExact = 0,
    kCUStringCompareCaseInsensitive = 1,
};

// A (location, length) pair; location kCUStringNotFound means "nothing found".
struct CUStringRange {
    int64_t location;
    int64_t length;
};
constexpr int64_t kCUStringNotFound = 0x7FFFFFFFFFFFFFFF;

// Counted Unicode file-name record: length, then up to 255 UTF-16 units.
struct HFSUniStr255 {
    uint16_t length = 0;
    char16_t unicode[255] = {};
};

// Newline of Description() texts.
extern const char* const CU_NEWLINE_CHAR;

class CUStringMac : public virtual CUObject {
public:
    // The empty string "".
    CUStringMac();
    // An immutable copy of UTF-16 text (the portable stand-in for a
    // platform string).
    explicit CUStringMac(const std::u16string& text);
    CUStringMac(const CUStringMac& other);
    // A null pointer or a null string gives a null string.
    explicit CUStringMac(const CUSharedPtr<CUStringMac>& other);
    // NUL-terminated bytes decoded in `code`; a null pointer gives a null string.
    CUStringMac(const char* text, _CUString_CharCode code = kCUString_UTF8);
    // UTF-16: exactly maxBytes bytes. Other codes: up to the first NUL or
    // maxBytes, whichever comes first. A leading byte-order mark is honoured;
    // undecodable input leaves a null string.
    CUStringMac(const unsigned char* bytes, uint32_t maxBytes, _CUString_CharCode code);
    // byteLength / 2 UTF-16 code units in host byte order.
    CUStringMac(const char16_t* units, uint32_t byteLength);
    ~CUStringMac() override;

    // A string that is null (as left by a decoding failure).
    static CUStringMac Null();
    static CUSharedPtr<CUStringMac> Create(const char* utf8);

    CUSharedPtr<CUStringMac> Description() const override;

    // With a null buffer: size = largest byte count of Length()+1 characters
    // in `code`, returns 0. With a buffer: zero-fills it, encodes what fits in
    // size minus one character's largest size (room for the terminator).
    virtual uint32_t GetString(char* buffer, _CUString_CharCode code, unsigned int& size) const;

    virtual uint32_t PathAppend(const CUSharedPtr<CUStringMac>& component, CUStringMac& out) const;
    virtual uint32_t PathRemoveLastComponent(CUStringMac& out) const;
    virtual uint32_t PathGetFileName(CUStringMac& out) const;
    virtual uint32_t PathGetFileNameNoExtension(CUStringMac& out) const;
    virtual uint32_t PathGetExtension(CUStringMac& out) const;
    virtual uint32_t PathGetLastComponent(CUStringMac& out) const;
    virtual uint32_t PathComponents(CUSharedPtr<CUArray>* out) const;

    virtual bool Equals(const CUSharedPtr<CUStringMac>& other, _CUStringComparison comparison) const;
    bool Equals(const CUStringMac& other, _CUStringComparison comparison) const;
    virtual int64_t Length() const;
    virtual CUStringMac operator+(const CUStringMac& other) const;
    CUStringMac& operator=(const CUStringMac& other);
    CUObject& operator=(const CUObject& other) override;
    virtual bool operator==(const CUStringMac& other) const;
    // Locale-aware, case-sensitive collation; false when either is null.
    virtual bool operator<(const CUStringMac& other) const;
    // Cached UTF-8 copy, valid until the next call or destruction; null for
    // a null string.
    virtual operator const char*() const;

    CUStringRange Find(const CUSharedPtr<CUStringMac>& what, _CUStringComparison comparison) const;
    // Null pointer when start or length is negative, the string is null or
    // start + length exceeds Length().
    CUSharedPtr<CUStringMac> SubString(int64_t start, int64_t length) const;
    CUSharedPtr<CUStringMac> SubString(int64_t start) const;

    bool IsNull() const { return !m_Text.has_value(); }
    // The UTF-16 text (empty for a null string).
    const std::u16string& Text() const;
    // UTF-8 copy as a std::string (empty for a null string).
    std::string Utf8() const;

    // printf-style formatting of the UTF-8 text of `format`; null format gives null.
    static CUSharedPtr<CUStringMac> CreateWithFormat(CUSharedPtr<CUStringMac> format, ...);
    static CUSharedPtr<CUStringMac> CreateWithFormatV(CUSharedPtr<CUStringMac> format, va_list args);
    // The encoding name used for a character code ("UTF-8", "UTF-16", "US-ASCII").
    static const char* ConvertCharCode(_CUString_CharCode code);
    // ':' becomes '/'; names over 255 units are refused with 0x10001.
    static uint32_t GetUnicodeFileName(CUSharedPtr<CUStringMac> name, HFSUniStr255* out);

private:
    std::optional<std::u16string> m_Text;
    mutable std::unique_ptr<char[]> m_Utf8Cache;
};

}  // namespace ComVantoVantoQZ64RADPlug
