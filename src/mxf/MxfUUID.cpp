#include "MxfUUID.h"

#include "CUFailure.h"
#include "CUStringMac.h"
#include "MxfTypes.h"

#include <cstdio>
#include <cstring>

namespace ComVantoVantoQZ64RADPlug {

namespace {
void StoreBigEndian(unsigned char* out, uint32_t word) {
    out[0] = static_cast<unsigned char>(word >> 24);
    out[1] = static_cast<unsigned char>(word >> 16);
    out[2] = static_cast<unsigned char>(word >> 8);
    out[3] = static_cast<unsigned char>(word);
}
}  // namespace

MxfUUID::MxfUUID() {
    std::memset(m_Bytes, 0, sizeof m_Bytes);
}

MxfUUID::MxfUUID(const unsigned char* bytes) : MxfUUID() {
    SetKey(bytes);
}

MxfUUID::MxfUUID(uint32_t w0, uint32_t w1, uint32_t w2, uint32_t w3) {
    StoreBigEndian(m_Bytes, w0);
    StoreBigEndian(m_Bytes + 4, w1);
    StoreBigEndian(m_Bytes + 8, w2);
    StoreBigEndian(m_Bytes + 12, w3);
}

MxfUUID::MxfUUID(const MxfUUID& other) : CUObject() {
    std::memcpy(m_Bytes, other.m_Bytes, sizeof m_Bytes);
}

MxfUUID::~MxfUUID() = default;

MxfUUID& MxfUUID::operator=(const MxfUUID& other) {
    std::memmove(m_Bytes, other.m_Bytes, sizeof m_Bytes);
    return *this;
}

void MxfUUID::SetKey(const MxfUUID* other) {
    if (other) SetKey(*other);
}

void MxfUUID::SetKey(const MxfUUID& other) {
    std::memmove(m_Bytes, other.m_Bytes, sizeof m_Bytes);
}

void MxfUUID::SetKey(const unsigned char* bytes) {
    if (bytes) std::memmove(m_Bytes, bytes, sizeof m_Bytes);
}

unsigned char MxfUUID::ValueAtIndex(uint32_t index) const {
    if (index >= sizeof m_Bytes)
        throw CUError(CUFailure(kMxfErrInvalidArgument, "identifier byte index beyond 16"),
                      "Index range error");
    return m_Bytes[index];
}

CUSharedPtr<CUStringMac> MxfUUID::Description() const {
    char text[16 * 3 + 1];
    char* p = text;
    for (int i = 0; i < 16; ++i) {
        std::snprintf(p, 4, i == 15 ? "%02X" : "%02X.", m_Bytes[i]);
        p += (i == 15) ? 2 : 3;
    }
    *p = '\0';
    return CUStringMac::Create(text);
}

bool MxfUUID::operator==(const MxfUUID& other) const {
    return std::memcmp(m_Bytes, other.m_Bytes, sizeof m_Bytes) == 0;
}

bool MxfUUID::operator<(const MxfUUID& other) const {
    return std::memcmp(m_Bytes, other.m_Bytes, sizeof m_Bytes) < 0;
}

}  // namespace ComVantoVantoQZ64RADPlug
