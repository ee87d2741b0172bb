#include "CUStringMac.h"

#include "CUArray.h"
#include "CUMutableArray.h"

#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/stsearch.h>
#include <unicode/tblcoll.h>
#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/unistr.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>

#include <bit>
#include <cstring>
#include <vector>

namespace ComVantoVantoQZ64RADPlug {

const char* const CU_NEWLINE_CHAR = "\n";

namespace {

constexpr uint32_t kFailure = 0x10001;

// Collators are created per thread: sharing one ICU collator between threads
// is only safe for some operations, and the string classes are used from
// every host thread.
class ThreadCollator {
public:
    ThreadCollator() {
        UErrorCode status = U_ZERO_ERROR;
        icu::Locale locale = icu::Locale::getDefault();
        // The C/POSIX environment maps to en_US_POSIX, whose collation is plain
        // ASCII order; the root collation is the locale-neutral choice there.
        if (std::strcmp(locale.getName(), "en_US_POSIX") == 0) locale = icu::Locale::getRoot();
        std::unique_ptr<icu::Collator> collator(icu::Collator::createInstance(locale, status));
        if (U_FAILURE(status) || !collator) {
            status = U_ZERO_ERROR;
            collator.reset(icu::Collator::createInstance(icu::Locale::getRoot(), status));
        }
        if (U_FAILURE(status) || !collator) return;
        collator->setStrength(icu::Collator::TERTIARY);
        collator->setAttribute(UCOL_NORMALIZATION_MODE, UCOL_ON, status);
        if (U_FAILURE(status)) return;
        m_Collator.reset(dynamic_cast<icu::RuleBasedCollator*>(collator.release()));
    }

    // Negative, 0 or positive; code-unit order when no collator is available.
    int Compare(const std::u16string& a, const std::u16string& b) const {
        if (m_Collator) {
            UErrorCode status = U_ZERO_ERROR;
            UCollationResult r = m_Collator->compare(a.data(), static_cast<int32_t>(a.size()), b.data(),
                                                     static_cast<int32_t>(b.size()), status);
            if (U_SUCCESS(status)) return r == UCOL_LESS ? -1 : (r == UCOL_GREATER ? 1 : 0);
        }
        return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
    }

    icu::RuleBasedCollator* Get() const { return m_Collator.get(); }

private:
    std::unique_ptr<icu::RuleBasedCollator> m_Collator;
};

const ThreadCollator& Collator() {
    thread_local ThreadCollator collator;
    return collator;
}

// Full case folding, code point by code point; origin[i] is the index in the
// source of the code point that produced folded unit i (origin has one extra
// entry: the source length).
std::u16string FoldCase(const std::u16string& text, std::vector<size_t>* origin) {
    std::u16string folded;
    folded.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        size_t start = i;
        UChar32 c;
        U16_NEXT(text.data(), i, text.size(), c);
        UChar in[2];
        int32_t inLength = 0;
        U16_APPEND_UNSAFE(in, inLength, c);
        UChar out[8];
        UErrorCode status = U_ZERO_ERROR;
        int32_t n = u_strFoldCase(out, 8, in, inLength, U_FOLD_CASE_DEFAULT, &status);
        if (U_FAILURE(status)) {
            out[0] = in[0];
            out[1] = in[1];
            n = inLength;
        }
        for (int32_t k = 0; k < n; ++k) {
            folded.push_back(out[k]);
            if (origin) origin->push_back(start);
        }
    }
    if (origin) origin->push_back(text.size());
    return folded;
}

std::optional<std::u16string> DecodeWithConverter(const char* converterName, const char* bytes,
                                                  size_t length) {
    if (length == 0) return std::u16string();
    if (length > static_cast<size_t>(INT32_MAX)) return std::nullopt;
    UErrorCode status = U_ZERO_ERROR;
    UConverter* converter = ucnv_open(converterName, &status);
    if (U_FAILURE(status)) return std::nullopt;
    ucnv_setToUCallBack(converter, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    std::u16string out;
    if (U_SUCCESS(status)) {
        // One byte never gives more than one UTF-16 unit in the codes used.
        out.resize(length);
        int32_t n = ucnv_toUChars(converter, out.data(), static_cast<int32_t>(out.size()), bytes,
                                  static_cast<int32_t>(length), &status);
        if (U_SUCCESS(status) || status == U_STRING_NOT_TERMINATED_WARNING) {
            status = U_ZERO_ERROR;
            out.resize(static_cast<size_t>(n));
        }
    }
    ucnv_close(converter);
    if (U_FAILURE(status)) return std::nullopt;
    return out;
}

std::optional<std::u16string> Decode(const char* bytes, size_t length, _CUString_CharCode code) {
    const auto* u = reinterpret_cast<const unsigned char*>(bytes);
    switch (code) {
        case kCUString_UTF16: {
            if (length % 2 != 0) return std::nullopt;
            const char* name = std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";
            if (length >= 2 && u[0] == 0xFF && u[1] == 0xFE) {
                name = "UTF-16LE";
                bytes += 2;
                length -= 2;
            } else if (length >= 2 && u[0] == 0xFE && u[1] == 0xFF) {
                name = "UTF-16BE";
                bytes += 2;
                length -= 2;
            }
            return DecodeWithConverter(name, bytes, length);
        }
        case kCUString_ASCII: {
            std::u16string out(length, u'\0');
            for (size_t i = 0; i < length; ++i) {
                if (u[i] > 0x7F) return std::nullopt;
                out[i] = u[i];
            }
            return out;
        }
        case kCUString_UTF8:
        default: {
            if (length >= 3 && u[0] == 0xEF && u[1] == 0xBB && u[2] == 0xBF) {
                bytes += 3;
                length -= 3;
            }
            if (length == 0) return std::u16string();
            if (length > static_cast<size_t>(INT32_MAX)) return std::nullopt;
            // ASCII text (names, keys, paths, most element text) is its own
            // UTF-16: widened directly, without the converter.
            size_t ascii = 0;
            const auto* text = reinterpret_cast<const unsigned char*>(bytes);
            while (ascii < length && text[ascii] < 0x80) ++ascii;
            if (ascii == length) return std::u16string(text, text + length);
            // Strict: ill-formed sequences (overlong forms, surrogates,
            // truncation) fail instead of being substituted.
            std::u16string out(length, u'\0');
            int32_t n = 0;
            UErrorCode status = U_ZERO_ERROR;
            u_strFromUTF8(out.data(), static_cast<int32_t>(out.size()), &n, bytes,
                          static_cast<int32_t>(length), &status);
            if (status == U_STRING_NOT_TERMINATED_WARNING) status = U_ZERO_ERROR;
            if (U_FAILURE(status)) return std::nullopt;
            out.resize(static_cast<size_t>(n));
            return out;
        }
    }
}

// Largest byte count one UTF-16 unit takes in the code.
uint32_t MaxCharSize(_CUString_CharCode code) {
    switch (code) {
        case kCUString_UTF16:
            return 2;
        case kCUString_ASCII:
            return 1;
        default:
            return 3;
    }
}

// Appends the encoding of code point c (or of a lone surrogate unit) to out
// when it fits in limit bytes; unencodable characters are skipped. Returns
// false when the character is encodable but does not fit.
bool EncodeCodePoint(UChar32 c, _CUString_CharCode code, std::string& out, size_t limit) {
    char bytes[4];
    size_t n = 0;
    if (code == kCUString_UTF16) {
        char16_t units[2];
        size_t count = 0;
        if (c > 0xFFFF) {
            units[0] = U16_LEAD(c);
            units[1] = U16_TRAIL(c);
            count = 2;
        } else {
            units[0] = static_cast<char16_t>(c);
            count = 1;
        }
        std::memcpy(bytes, units, count * 2);  // host byte order, no BOM
        n = count * 2;
    } else if (code == kCUString_ASCII) {
        if (c > 0x7F) return true;
        bytes[0] = static_cast<char>(c);
        n = 1;
    } else {
        if (U_IS_SURROGATE(c)) return true;
        if (c < 0x80) {
            bytes[0] = static_cast<char>(c);
            n = 1;
        } else if (c < 0x800) {
            bytes[0] = static_cast<char>(0xC0 | (c >> 6));
            bytes[1] = static_cast<char>(0x80 | (c & 0x3F));
            n = 2;
        } else if (c < 0x10000) {
            bytes[0] = static_cast<char>(0xE0 | (c >> 12));
            bytes[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            bytes[2] = static_cast<char>(0x80 | (c & 0x3F));
            n = 3;
        } else {
            bytes[0] = static_cast<char>(0xF0 | (c >> 18));
            bytes[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            bytes[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            bytes[3] = static_cast<char>(0x80 | (c & 0x3F));
            n = 4;
        }
    }
    if (out.size() + n > limit) return false;
    out.append(bytes, n);
    return true;
}

// Encodes as many characters as fit in limit bytes.
std::string Encode(const std::u16string& text, _CUString_CharCode code, size_t limit) {
    std::string out;
    size_t i = 0;
    while (i < text.size()) {
        UChar32 c;
        U16_NEXT(text.data(), i, text.size(), c);
        if (!EncodeCodePoint(c, code, out, limit)) break;
    }
    return out;
}

const std::u16string& EmptyText() {
    static const std::u16string empty;
    return empty;
}

}  // namespace

CUStringMac::CUStringMac() : m_Text(std::u16string()) {}

CUStringMac::CUStringMac(const std::u16string& text) : m_Text(text) {}

CUStringMac::CUStringMac(const CUStringMac& other) : CUObject(other), m_Text(other.m_Text) {}

CUStringMac::CUStringMac(const CUSharedPtr<CUStringMac>& other) {
    if (other) m_Text = other->m_Text;
}

CUStringMac::CUStringMac(const char* text, _CUString_CharCode code) {
    if (text) m_Text = Decode(text, std::strlen(text), code);
}

CUStringMac::CUStringMac(const unsigned char* bytes, uint32_t maxBytes, _CUString_CharCode code) {
    if (!bytes) return;
    size_t length = maxBytes;
    if (code != kCUString_UTF16) {
        const void* nul = std::memchr(bytes, 0, maxBytes);
        if (nul) length = static_cast<size_t>(static_cast<const unsigned char*>(nul) - bytes);
    }
    m_Text = Decode(reinterpret_cast<const char*>(bytes), length, code);
}

CUStringMac::CUStringMac(const char16_t* units, uint32_t byteLength) {
    if (units) m_Text = std::u16string(units, byteLength / 2);
}

CUStringMac::~CUStringMac() = default;

CUStringMac CUStringMac::Null() {
    CUStringMac s;
    s.m_Text.reset();
    return s;
}

CUSharedPtr<CUStringMac> CUStringMac::Create(const char* utf8) {
    return CUSharedPtr<CUStringMac>(new CUStringMac(utf8));
}

CUSharedPtr<CUStringMac> CUStringMac::Description() const {
    return CUSharedPtr<CUStringMac>(new CUStringMac(*this));
}

const std::u16string& CUStringMac::Text() const {
    return m_Text ? *m_Text : EmptyText();
}

std::string CUStringMac::Utf8() const {
    if (!m_Text) return std::string();
    return Encode(*m_Text, kCUString_UTF8, SIZE_MAX);
}

uint32_t CUStringMac::GetString(char* buffer, _CUString_CharCode code, unsigned int& size) const {
    if (!m_Text) return kFailure;
    const uint64_t maxChar = MaxCharSize(code);
    if (!buffer) {
        const uint64_t needed = (static_cast<uint64_t>(m_Text->size()) + 1) * maxChar;
        if (needed > UINT32_MAX) return kFailure;
        size = static_cast<unsigned int>(needed);
        return 0;
    }
    if (size == 0) return kFailure;
    std::memset(buffer, 0, size);
    // A buffer no larger than one character only has room for the terminator.
    if (size <= maxChar) return 0;
    const std::string bytes = Encode(*m_Text, code, size - maxChar);
    std::memcpy(buffer, bytes.data(), bytes.size());
    return 0;
}

CUStringMac::operator const char*() const {
    if (!m_Text) return nullptr;
    // The text never changes except through operator= (which drops the
    // cache), so an existing copy is still right; keeping it also keeps
    // earlier pointers valid.
    if (m_Utf8Cache) return m_Utf8Cache.get();
    unsigned int size = 0;
    if (GetString(nullptr, kCUString_UTF8, size) != 0) return nullptr;
    std::unique_ptr<char[]> buffer(new char[size]);
    if (GetString(buffer.get(), kCUString_UTF8, size) != 0) return nullptr;
    m_Utf8Cache = std::move(buffer);
    return m_Utf8Cache.get();
}

bool CUStringMac::Equals(const CUSharedPtr<CUStringMac>& other, _CUStringComparison comparison) const {
    return other && Equals(*other, comparison);
}

bool CUStringMac::Equals(const CUStringMac& other, _CUStringComparison comparison) const {
    if (!m_Text || !other.m_Text) return false;
    switch (comparison) {
        case kCUStringCompareExact:
            return Collator().Compare(*m_Text, *other.m_Text) == 0;
        case kCUStringCompareCaseInsensitive:
            return Collator().Compare(FoldCase(*m_Text, nullptr), FoldCase(*other.m_Text, nullptr)) == 0;
        default:
            return false;
    }
}

int64_t CUStringMac::Length() const {
    return m_Text ? static_cast<int64_t>(m_Text->size()) : 0;
}

CUStringMac CUStringMac::operator+(const CUStringMac& other) const {
    if (!m_Text) return CUStringMac();
    return CUStringMac(*m_Text + other.Text());
}

CUStringMac& CUStringMac::operator=(const CUStringMac& other) {
    if (this != &other) {
        m_Text = other.m_Text;
        m_Utf8Cache.reset();
    }
    return *this;
}

CUObject& CUStringMac::operator=(const CUObject& other) {
    if (const auto* s = dynamic_cast<const CUStringMac*>(&other)) *this = *s;
    return *this;
}

bool CUStringMac::operator==(const CUStringMac& other) const {
    return Equals(other, kCUStringCompareExact);
}

bool CUStringMac::operator<(const CUStringMac& other) const {
    if (!m_Text || !other.m_Text) return false;
    // The same text is never less than itself (the collation ranks it equal).
    if (*m_Text == *other.m_Text) return false;
    const int r = Collator().Compare(*m_Text, *other.m_Text);
    if (r != 0) return r < 0;
    // Texts the collation ranks equal (canonically equivalent forms,
    // ignorable characters) are told apart by code units, so that distinct
    // dictionary keys never merge.
    return *m_Text < *other.m_Text;
}

CUStringRange CUStringMac::Find(const CUSharedPtr<CUStringMac>& what, _CUStringComparison comparison) const {
    const CUStringRange none{kCUStringNotFound, 0};
    if (!m_Text || !what || !what->m_Text) return none;
    if (comparison != kCUStringCompareExact && comparison != kCUStringCompareCaseInsensitive) return none;
    if (m_Text->empty() || what->m_Text->empty()) return none;
    icu::RuleBasedCollator* collator = Collator().Get();
    std::vector<size_t> origin;
    std::u16string text, pattern;
    if (comparison == kCUStringCompareCaseInsensitive) {
        text = FoldCase(*m_Text, &origin);
        pattern = FoldCase(*what->m_Text, nullptr);
    } else {
        text = *m_Text;
        pattern = *what->m_Text;
    }
    int64_t start = -1, length = 0;
    if (collator) {
        icu::UnicodeString uText(false, text.data(), static_cast<int32_t>(text.size()));
        icu::UnicodeString uPattern(false, pattern.data(), static_cast<int32_t>(pattern.size()));
        UErrorCode status = U_ZERO_ERROR;
        icu::StringSearch search(uPattern, uText, collator, nullptr, status);
        if (U_SUCCESS(status)) {
            int32_t at = search.first(status);
            if (U_SUCCESS(status) && at != USEARCH_DONE) {
                start = at;
                length = search.getMatchedLength();
            }
        }
    } else {
        size_t at = text.find(pattern);
        if (at != std::u16string::npos) {
            start = static_cast<int64_t>(at);
            length = static_cast<int64_t>(pattern.size());
        }
    }
    if (start < 0) return none;
    if (comparison == kCUStringCompareCaseInsensitive) {
        // Map the match in the folded text back onto the original text.
        const size_t s = origin[static_cast<size_t>(start)];
        size_t e = static_cast<size_t>(start + length);
        size_t end = origin[e];
        if (e < text.size() && origin[e] == origin[e - 1]) {
            // The match ends inside one character's folding: include it.
            while (e < text.size() && origin[e] == origin[e - 1]) ++e;
            end = origin[e];
        }
        return CUStringRange{static_cast<int64_t>(s), static_cast<int64_t>(end - s)};
    }
    return CUStringRange{start, length};
}

CUSharedPtr<CUStringMac> CUStringMac::SubString(int64_t start, int64_t length) const {
    if (!m_Text || start < 0 || length < 0) return nullptr;
    const int64_t total = Length();
    if (start > total || length > total - start) return nullptr;
    return CUSharedPtr<CUStringMac>(
        new CUStringMac(m_Text->substr(static_cast<size_t>(start), static_cast<size_t>(length))));
}

CUSharedPtr<CUStringMac> CUStringMac::SubString(int64_t start) const {
    if (!m_Text || start < 0) return nullptr;
    return SubString(start, Length() - start);
}

CUSharedPtr<CUStringMac> CUStringMac::CreateWithFormat(CUSharedPtr<CUStringMac> format, ...) {
    va_list args;
    va_start(args, format);
    CUSharedPtr<CUStringMac> result = CreateWithFormatV(format, args);
    va_end(args);
    return result;
}

CUSharedPtr<CUStringMac> CUStringMac::CreateWithFormatV(CUSharedPtr<CUStringMac> format, va_list args) {
    if (!format || format->IsNull()) return nullptr;
    const std::string fmt = format->Utf8();
    va_list measure;
    va_copy(measure, args);
    const int needed = std::vsnprintf(nullptr, 0, fmt.c_str(), measure);
    va_end(measure);
    if (needed < 0) return nullptr;
    std::vector<char> buffer(static_cast<size_t>(needed) + 1);
    if (std::vsnprintf(buffer.data(), buffer.size(), fmt.c_str(), args) < 0) return nullptr;
    return CUSharedPtr<CUStringMac>(new CUStringMac(buffer.data(), kCUString_UTF8));
}

const char* CUStringMac::ConvertCharCode(_CUString_CharCode code) {
    switch (code) {
        case kCUString_UTF16:
            return "UTF-16";
        case kCUString_ASCII:
            return "US-ASCII";
        default:
            return "UTF-8";
    }
}

uint32_t CUStringMac::GetUnicodeFileName(CUSharedPtr<CUStringMac> name, HFSUniStr255* out) {
    if (!name || name->IsNull() || !out) return kFailure;
    const std::u16string& text = name->Text();
    // The record holds at most 255 units.
    if (text.size() > 255) return kFailure;
    out->length = static_cast<uint16_t>(text.size());
    for (size_t i = 0; i < text.size(); ++i) out->unicode[i] = text[i] == u':' ? u'/' : text[i];
    return 0;
}

// Path operations. '/' separates components; a null string fails them all.

uint32_t CUStringMac::PathAppend(const CUSharedPtr<CUStringMac>& component, CUStringMac& out) const {
    if (!m_Text || !component || !component->m_Text) return kFailure;
    std::u16string result = *m_Text;
    if (result.empty() || result.back() != u'/') result += u'/';
    result += *component->m_Text;
    out = CUStringMac(result);
    return 0;
}

uint32_t CUStringMac::PathRemoveLastComponent(CUStringMac& out) const {
    if (!m_Text) return kFailure;
    const std::u16string& text = *m_Text;
    if (text == u"/") {
        out = CUStringMac(text);
        return 0;
    }
    std::u16string body = text;
    if (!body.empty() && body.back() == u'/') body.pop_back();
    const size_t slash = body.rfind(u'/');
    if (slash == std::u16string::npos) {
        out = CUStringMac();
        return kFailure;
    }
    out = CUStringMac(slash == 0 ? std::u16string(u"/") : body.substr(0, slash));
    return 0;
}

uint32_t CUStringMac::PathGetFileName(CUStringMac& out) const {
    if (!m_Text) return kFailure;
    const std::u16string& text = *m_Text;
    if (!text.empty() && text.back() == u'/') {
        out = CUStringMac();
        return 0;
    }
    const size_t slash = text.rfind(u'/');
    if (slash == std::u16string::npos) return kFailure;
    out = CUStringMac(text.substr(slash + 1));
    return 0;
}

uint32_t CUStringMac::PathGetFileNameNoExtension(CUStringMac& out) const {
    CUStringMac name;
    const uint32_t status = PathGetFileName(name);
    if (status != 0) return status;
    const std::u16string& text = name.Text();
    const size_t dot = text.rfind(u'.');
    out = dot == std::u16string::npos ? name : CUStringMac(text.substr(0, dot));
    return 0;
}

uint32_t CUStringMac::PathGetExtension(CUStringMac& out) const {
    if (!m_Text) return kFailure;
    const size_t dot = m_Text->rfind(u'.');
    if (dot == std::u16string::npos) return kFailure;
    out = CUStringMac(m_Text->substr(dot));
    return 0;
}

uint32_t CUStringMac::PathGetLastComponent(CUStringMac& out) const {
    if (!m_Text) return kFailure;
    const std::u16string& text = *m_Text;
    if (text == u"/") {
        out = CUStringMac(text);
        return 0;
    }
    std::u16string body = text;
    if (!body.empty() && body.back() == u'/') body.pop_back();
    const size_t slash = body.rfind(u'/');
    if (slash == std::u16string::npos) return kFailure;
    out = CUStringMac(body.substr(slash + 1));
    return 0;
}

uint32_t CUStringMac::PathComponents(CUSharedPtr<CUArray>* out) const {
    if (!m_Text || !out) return kFailure;
    CUSharedPtr<CUMutableArray> parts = CUMutableArray::Create();
    auto add = [&parts](const std::u16string& text) {
        parts->AddObject(CUSharedPtr<CUObject>(new CUStringMac(text)));
    };
    std::u16string rest = *m_Text;
    if (rest.empty() || rest == u"/") {
        add(rest);
    } else {
        if (rest.front() == u'/') {
            add(u"/");
            rest.erase(0, 1);
        }
        if (!rest.empty() && rest.back() == u'/') rest.pop_back();
        if (!rest.empty() || parts->Count() == 0) {
            size_t begin = 0;
            while (true) {
                const size_t slash = rest.find(u'/', begin);
                if (slash == std::u16string::npos) {
                    add(rest.substr(begin));
                    break;
                }
                add(rest.substr(begin, slash - begin));
                begin = slash + 1;
            }
        }
    }
    *out = parts;
    return 0;
}

}  // namespace ComVantoVantoQZ64RADPlug
