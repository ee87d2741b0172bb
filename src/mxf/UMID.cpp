#include "UMID.h"

#include "CUFailure.h"
#include "CUStringMac.h"
#include "MxfTypes.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace ComVantoVantoQZ64RADPlug {

UMID::UMID() {
    std::memset(m_Data, 0, sizeof m_Data);
}

UMID::UMID(const UMID& other) : CUObject(), m_Length(other.m_Length) {
    std::memcpy(m_Data, other.m_Data, sizeof m_Data);
}

UMID::~UMID() = default;

UMID& UMID::operator=(const UMID& other) {
    std::memmove(m_Data, other.m_Data, sizeof m_Data);
    m_Length = other.m_Length;
    return *this;
}

uint32_t UMID::SetData(const unsigned char* bytes, uint32_t length) {
    if (!bytes || (length != kBasicLength && length != kExtendedLength)) return 0x130001;
    std::memmove(m_Data, bytes, length);
    m_Length = length;
    return 0;
}

unsigned char UMID::ValueAtIndex(uint32_t index) const {
    if (index >= m_Length)
        throw CUError(CUFailure(kMxfErrInvalidArgument, "UMID byte index beyond its length"),
                      "Index range error");
    return m_Data[index];
}

bool UMID::isEqualToUMID(const UMID& other) const {
    return m_Length == other.m_Length && std::memcmp(m_Data, other.m_Data, m_Length) == 0;
}

bool UMID::isEqualToUMID(const CUSharedPtr<UMID>& other) const {
    return other && isEqualToUMID(*other);
}

CUSharedPtr<CUStringMac> UMID::Description() const {
    std::string text;
    char item[4];
    for (uint32_t i = 0; i < m_Length; ++i) {
        std::snprintf(item, sizeof item, "%02X", m_Data[i]);
        if (i) text += '.';
        text += item;
    }
    return CUStringMac::Create(text.c_str());
}

}  // namespace ComVantoVantoQZ64RADPlug
