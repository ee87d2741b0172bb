#pragma once
// Immutable bytes. Data objects are equal when their bytes are.
#include <vector>

#include "CFType.h"

namespace ComVantoVantoQZ64RADPlug {

class CFData final : public CFType {
public:
    explicit CFData(std::vector<uint8_t> bytes) : m_bytes(std::move(bytes)) {}
    CFTypeID TypeID() const override { return kCFDataTypeID; }
    bool Equals(const CFType& other) const override;
    CFHashCode Hash() const override;
    const std::vector<uint8_t>& Bytes() const { return m_bytes; }

private:
    std::vector<uint8_t> m_bytes;
};

using CFDataRef = const CFData*;

// Copies `length` bytes; null for a negative length, missing bytes or when
// memory is short.
CFDataRef CFDataCreate(CFAllocatorRef allocator, const uint8_t* bytes, CFIndex length);
CFIndex CFDataGetLength(CFDataRef data);
// Null for empty data.
const uint8_t* CFDataGetBytePtr(CFDataRef data);

}  // namespace ComVantoVantoQZ64RADPlug
