#pragma once
// A typed scalar read from a metadata item: a copy of the item's bytes and
// the type they are to be read as. Casts succeed only for exactly their own
// type (no widening) and throw "MDValue Cast Error" otherwise. Immutable
// after construction.
#include "CUMemoryStream.h"
#include "CUObject.h"
#include "CUSharedPtr.h"
#include "MxfTypes.h"
#include "ParseMetaData.h"

#include <cstdint>

namespace ComVantoVantoQZ64RADPlug {

class CUStringMac;

enum _MDValueType : uint32_t {
    kMDValueUInt8 = 1,
    kMDValueUInt16 = 2,
    kMDValueUInt32 = 3,
    kMDValueUInt64 = 4,
    kMDValueSInt8 = 5,
    kMDValueSInt16 = 6,
    kMDValueSInt32 = 7,
    kMDValueSInt64 = 8,
    kMDValueTimestamp = 9,
    kMDValueRational = 10,
};

class MDValue : public CUObject {
public:
    // Throws "MDValue Init Error" (const char*) when bytes is null or the
    // copy cannot be made.
    MDValue(const unsigned char* bytes, uint32_t length, _MDValueType type);
    ~MDValue() override;

    // Null instead of throwing.
    static CUSharedPtr<MDValue> Create(const unsigned char* bytes, uint32_t length, _MDValueType type);

    _MDValueType ValueType() const { return m_Type; }

    // Each throws "MDValue Cast Error" (const char*) unless ValueType() is
    // its own type and the value holds enough bytes (read big-endian).
    operator unsigned char() const;
    operator unsigned short() const;
    operator unsigned int() const;
    operator unsigned long long() const;
    operator signed char() const;
    operator short() const;
    operator int() const;
    operator long long() const;
    operator _Timestamp() const;
    operator _Rational() const;

    // "%u", "%d", "%llu", "%lld", "%d/%u/%u %u:%u:%u %u" or "%d/%d".
    CUSharedPtr<CUStringMac> Description() const override;

private:
    // Reader positioned at the first byte; throws the cast error when the
    // type does not match.
    ParseMetaData& ReaderFor(_MDValueType type) const;

    CUSharedPtr<CUMemoryStream> m_Bytes;
    CUSharedPtr<ParseMetaData> m_Reader;
    _MDValueType m_Type;
};

}  // namespace ComVantoVantoQZ64RADPlug
