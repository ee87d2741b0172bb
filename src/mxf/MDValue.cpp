#include "MDValue.h"

#include "CUAutoLock.h"
#include "CUFailure.h"
#include "CUMemoryStream.h"
#include "CUStringMac.h"
#include "ParseMetaData.h"

#include <cstdio>

namespace ComVantoVantoQZ64RADPlug {

namespace {
const char* const kCastError = "MDValue Cast Error";

[[noreturn]] void CastFailure(const char* what) {
    throw CUError(CUFailure(kMxfErrFormat, what), kCastError);
}

// Runs one read under the value's reader lock, from the first byte.
template <class T, class Read>
T ReadValue(ParseMetaData& reader, Read read) {
    CUAutoLock guard(&reader);
    T value{};
    if (!reader.SetOffset(0, 0) || !read(reader, value)) CastFailure("metadata value too short for its type");
    return value;
}
}  // namespace

MDValue::MDValue(const unsigned char* bytes, uint32_t length, _MDValueType type) : m_Type(type) {
    if (!bytes)
        throw CUError(CUFailure(kMxfErrInvalidArgument, "metadata value without bytes"),
                      "MDValue Init Error");
    try {
        m_Bytes =
            CUSharedPtr<CUMemoryStream>(new CUMemoryStream(const_cast<unsigned char*>(bytes), length, false));
        m_Reader = CUSharedPtr<ParseMetaData>(new ParseMetaData(CUSharedPtr<CUStream>(m_Bytes)));
    } catch (const std::bad_alloc&) {
        throw CUError(CUFailure(kMxfErrAuxiliaryObject, "metadata value copy cannot be made"),
                      "MDValue Init Error");
    }
}

MDValue::~MDValue() = default;

CUSharedPtr<MDValue> MDValue::Create(const unsigned char* bytes, uint32_t length, _MDValueType type) {
    try {
        return CUSharedPtr<MDValue>(new MDValue(bytes, length, type));
    } catch (const CUError&) {
        return nullptr;
    }
}

ParseMetaData& MDValue::ReaderFor(_MDValueType type) const {
    if (m_Type != type) CastFailure("metadata value read as another type");
    return *m_Reader;
}

MDValue::operator unsigned char() const {
    return ReadValue<uint8_t>(ReaderFor(kMDValueUInt8),
                              [](ParseMetaData& r, uint8_t& v) { return r.GetUInt8(v); });
}

MDValue::operator unsigned short() const {
    return ReadValue<uint16_t>(ReaderFor(kMDValueUInt16),
                               [](ParseMetaData& r, uint16_t& v) { return r.GetUInt16(v); });
}

MDValue::operator unsigned int() const {
    return ReadValue<uint32_t>(ReaderFor(kMDValueUInt32),
                               [](ParseMetaData& r, uint32_t& v) { return r.GetUInt32(v); });
}

MDValue::operator unsigned long long() const {
    return ReadValue<uint64_t>(ReaderFor(kMDValueUInt64),
                               [](ParseMetaData& r, uint64_t& v) { return r.GetUInt64(v); });
}

MDValue::operator signed char() const {
    return ReadValue<int8_t>(ReaderFor(kMDValueSInt8),
                             [](ParseMetaData& r, int8_t& v) { return r.GetInt8(v); });
}

MDValue::operator short() const {
    return ReadValue<int16_t>(ReaderFor(kMDValueSInt16),
                              [](ParseMetaData& r, int16_t& v) { return r.GetInt16(v); });
}

MDValue::operator int() const {
    return ReadValue<int32_t>(ReaderFor(kMDValueSInt32),
                              [](ParseMetaData& r, int32_t& v) { return r.GetInt32(v); });
}

MDValue::operator long long() const {
    return ReadValue<int64_t>(ReaderFor(kMDValueSInt64),
                              [](ParseMetaData& r, int64_t& v) { return r.GetInt64(v); });
}

MDValue::operator _Timestamp() const {
    return ReadValue<_Timestamp>(ReaderFor(kMDValueTimestamp),
                                 [](ParseMetaData& r, _Timestamp& v) { return r.GetTimestamp(v); });
}

MDValue::operator _Rational() const {
    return ReadValue<_Rational>(ReaderFor(kMDValueRational),
                                [](ParseMetaData& r, _Rational& v) { return r.GetRational(v); });
}

CUSharedPtr<CUStringMac> MDValue::Description() const {
    char text[96];
    try {
        switch (m_Type) {
            case kMDValueUInt8:
                std::snprintf(text, sizeof text, "%u",
                              static_cast<unsigned int>(static_cast<unsigned char>(*this)));
                break;
            case kMDValueUInt16:
                std::snprintf(text, sizeof text, "%u",
                              static_cast<unsigned int>(static_cast<unsigned short>(*this)));
                break;
            case kMDValueUInt32:
                std::snprintf(text, sizeof text, "%u", static_cast<unsigned int>(*this));
                break;
            case kMDValueUInt64:
                std::snprintf(text, sizeof text, "%llu", static_cast<unsigned long long>(*this));
                break;
            case kMDValueSInt8:
                std::snprintf(text, sizeof text, "%d", static_cast<int>(static_cast<signed char>(*this)));
                break;
            case kMDValueSInt16:
                std::snprintf(text, sizeof text, "%d", static_cast<int>(static_cast<short>(*this)));
                break;
            case kMDValueSInt32:
                std::snprintf(text, sizeof text, "%d", static_cast<int>(*this));
                break;
            case kMDValueSInt64:
                std::snprintf(text, sizeof text, "%lld", static_cast<long long>(*this));
                break;
            case kMDValueTimestamp: {
                const _Timestamp t = static_cast<_Timestamp>(*this);
                std::snprintf(text, sizeof text, "%d/%u/%u %u:%u:%u %u", t.year, t.month, t.day, t.hour,
                              t.minute, t.second, t.qmsec);
                break;
            }
            case kMDValueRational: {
                const _Rational r = static_cast<_Rational>(*this);
                std::snprintf(text, sizeof text, "%d/%d", r.numerator, r.denominator);
                break;
            }
            default:
                return CUObject::Description();
        }
    } catch (const CUError&) {
        // A value too short for its type describes itself as the object.
        return CUObject::Description();
    }
    return CUStringMac::Create(text);
}

}  // namespace ComVantoVantoQZ64RADPlug
