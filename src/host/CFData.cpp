#include "CFData.h"

#include <new>
#include <string_view>

namespace ComVantoVantoQZ64RADPlug {

bool CFData::Equals(const CFType& other) const {
    return m_bytes == static_cast<const CFData&>(other).m_bytes;
}

CFHashCode CFData::Hash() const {
    return std::hash<std::string_view>()(
        std::string_view(reinterpret_cast<const char*>(m_bytes.data()), m_bytes.size()));
}

CFDataRef CFDataCreate(CFAllocatorRef, const uint8_t* bytes, CFIndex length) {
    if (length < 0 || (!bytes && length > 0)) return nullptr;
    try {
        return new CFData(std::vector<uint8_t>(bytes, bytes + length));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

CFIndex CFDataGetLength(CFDataRef data) {
    return data ? static_cast<CFIndex>(data->Bytes().size()) : 0;
}

const uint8_t* CFDataGetBytePtr(CFDataRef data) {
    return data && !data->Bytes().empty() ? data->Bytes().data() : nullptr;
}

}  // namespace ComVantoVantoQZ64RADPlug
