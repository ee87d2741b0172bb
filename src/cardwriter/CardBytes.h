#pragma once
// Big-endian stores into fixed-layout card file images (media index, clip
// information block). Callers size the buffer first; every store checks that
// its field lies inside it, so a layout slip throws instead of writing
// outside the image.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace ComVantoVantoQZ64RADPlug::CardWriter::CardBytes {

inline void CheckRange(const std::vector<uint8_t>& buffer, size_t offset, size_t width) {
    if (offset > buffer.size() || width > buffer.size() - offset)
        throw std::out_of_range("card image field at " + std::to_string(offset) + " outside the image");
}

inline void PutU8(std::vector<uint8_t>& buffer, size_t offset, uint8_t value) {
    CheckRange(buffer, offset, 1);
    buffer[offset] = value;
}

inline void PutU16(std::vector<uint8_t>& buffer, size_t offset, uint16_t value) {
    CheckRange(buffer, offset, 2);
    buffer[offset] = static_cast<uint8_t>(value >> 8);
    buffer[offset + 1] = static_cast<uint8_t>(value);
}

inline void PutU32(std::vector<uint8_t>& buffer, size_t offset, uint32_t value) {
    CheckRange(buffer, offset, 4);
    for (size_t i = 0; i < 4; ++i) buffer[offset + i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

inline void PutBytes(std::vector<uint8_t>& buffer, size_t offset, const void* data, size_t size) {
    CheckRange(buffer, offset, size);
    if (size != 0) std::memcpy(buffer.data() + offset, data, size);
}

}  // namespace ComVantoVantoQZ64RADPlug::CardWriter::CardBytes
