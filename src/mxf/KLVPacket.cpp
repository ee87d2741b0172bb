#include "KLVPacket.h"

#include "CUStream.h"
#include "CUStringMac.h"

#include <cstdio>

namespace ComVantoVantoQZ64RADPlug {

KLVPacket::KLVPacket() = default;

KLVPacket::KLVPacket(const KLVPacket& other)
    : CUObject(),
      m_Key(other.m_Key),
      m_Offset(other.m_Offset),
      m_Length(other.m_Length),
      m_ValueOffset(other.m_ValueOffset) {}

KLVPacket::~KLVPacket() = default;

KLVPacket& KLVPacket::operator=(const KLVPacket& other) {
    m_Key = other.m_Key;
    m_Offset = other.m_Offset;
    m_Length = other.m_Length;
    m_ValueOffset = other.m_ValueOffset;
    return *this;
}

bool KLVPacket::isImportable() const {
    return false;
}

uint32_t KLVPacket::Import(const CUSharedPtr<CUStream>& stream) {
    return Import(stream, m_ValueOffset);
}

uint32_t KLVPacket::Import(const CUSharedPtr<CUStream>& /*stream*/, uint64_t /*offset*/) {
    return 0;
}

void KLVPacket::SetPacket(const ULKey& key, uint64_t offset, uint64_t length, uint64_t valueOffset) {
    m_Key = key;
    m_Offset = offset;
    m_Length = length;
    m_ValueOffset = valueOffset;
}

CUSharedPtr<CUStringMac> KLVPacket::Description() const {
    CUSharedPtr<CUStringMac> key = m_Key.Description();
    char text[160];
    std::snprintf(
        text, sizeof text, "KLV key = %s, type = %08X, offset = %016llX, length = %llu, value = %016llX",
        key ? static_cast<const char*>(*key) : "", PacketType(), static_cast<unsigned long long>(m_Offset),
        static_cast<unsigned long long>(m_Length), static_cast<unsigned long long>(m_ValueOffset));
    return CUStringMac::Create(text);
}

}  // namespace ComVantoVantoQZ64RADPlug
