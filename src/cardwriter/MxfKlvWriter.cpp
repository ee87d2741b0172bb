#include "MxfKlvWriter.h"

#include <stdexcept>

namespace ComVantoVantoQZ64RADPlug::CardWriter {

namespace {
const MxfKey kFillKey = {0x06, 0x0E, 0x2B, 0x34, 0x01, 0x01, 0x01, 0x02,
                         0x03, 0x01, 0x02, 0x10, 0x01, 0x00, 0x00, 0x00};
}  // namespace

void MxfKlvWriter::U16(uint16_t v) {
    mBytes.push_back(static_cast<uint8_t>(v >> 8));
    mBytes.push_back(static_cast<uint8_t>(v));
}

void MxfKlvWriter::U32(uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) mBytes.push_back(static_cast<uint8_t>(v >> shift));
}

void MxfKlvWriter::U64(uint64_t v) {
    for (int shift = 56; shift >= 0; shift -= 8) mBytes.push_back(static_cast<uint8_t>(v >> shift));
}

void MxfKlvWriter::Ber4(uint32_t length) {
    if (length > kMaxBerLength) throw std::length_error("MXF KLV value too long for a 4-byte BER length");
    mBytes.push_back(0x83);
    mBytes.push_back(static_cast<uint8_t>(length >> 16));
    mBytes.push_back(static_cast<uint8_t>(length >> 8));
    mBytes.push_back(static_cast<uint8_t>(length));
}

void MxfKlvWriter::PutAt(size_t position, uint32_t length) {
    if (length > kMaxBerLength) throw std::length_error("MXF KLV value too long for a 4-byte BER length");
    mBytes[position] = 0x83;
    mBytes[position + 1] = static_cast<uint8_t>(length >> 16);
    mBytes[position + 2] = static_cast<uint8_t>(length >> 8);
    mBytes[position + 3] = static_cast<uint8_t>(length);
}

size_t MxfKlvWriter::BeginKlv(const MxfKey& key) {
    const size_t start = mBytes.size();
    Raw(key);
    Zeros(4);
    return start;
}

void MxfKlvWriter::EndKlv(size_t klvStart) {
    const size_t valueSize = mBytes.size() - klvStart - kKlvHeaderSize;
    if (valueSize > kMaxBerLength) throw std::length_error("MXF KLV value too long for a 4-byte BER length");
    PutAt(klvStart + 16, static_cast<uint32_t>(valueSize));
}

void MxfKlvWriter::Klv(const MxfKey& key, const uint8_t* value, size_t size) {
    if (size > kMaxBerLength) throw std::length_error("MXF KLV value too long for a 4-byte BER length");
    Raw(key);
    Ber4(static_cast<uint32_t>(size));
    Raw(value, size);
}

void MxfKlvWriter::Fill(size_t total) {
    if (total == 0) return;
    if (total < kMinFillSize) throw std::invalid_argument("MXF fill smaller than a KLV header");
    Raw(kFillKey);
    Ber4(static_cast<uint32_t>(total - kKlvHeaderSize));
    Zeros(total - kKlvHeaderSize);
}

size_t MxfKlvWriter::FillTo(uint64_t position, uint64_t grid) {
    uint64_t gap = (grid - position % grid) % grid;
    if (gap != 0 && gap < kMinFillSize) gap += grid * ((kMinFillSize - gap + grid - 1) / grid);
    return static_cast<size_t>(gap);
}

void MxfKlvWriter::ItemHeader(uint16_t tag, size_t size) {
    if (size > 0xFFFF) throw std::length_error("MXF local set item longer than 65535 bytes");
    U16(tag);
    U16(static_cast<uint16_t>(size));
}

void MxfKlvWriter::ItemU8(uint16_t tag, uint8_t v) {
    ItemHeader(tag, 1);
    U8(v);
}

void MxfKlvWriter::ItemU16(uint16_t tag, uint16_t v) {
    ItemHeader(tag, 2);
    U16(v);
}

void MxfKlvWriter::ItemU32(uint16_t tag, uint32_t v) {
    ItemHeader(tag, 4);
    U32(v);
}

void MxfKlvWriter::ItemU64(uint16_t tag, uint64_t v) {
    ItemHeader(tag, 8);
    U64(v);
}

void MxfKlvWriter::ItemRational(uint16_t tag, int32_t numerator, int32_t denominator) {
    ItemHeader(tag, 8);
    U32(static_cast<uint32_t>(numerator));
    U32(static_cast<uint32_t>(denominator));
}

void MxfKlvWriter::ItemBytes(uint16_t tag, const uint8_t* data, size_t size) {
    ItemHeader(tag, size);
    Raw(data, size);
}

void MxfKlvWriter::ItemBatch(uint16_t tag, const std::vector<MxfKey>& items) {
    ItemHeader(tag, 8 + 16 * items.size());
    U32(static_cast<uint32_t>(items.size()));
    U32(16);
    for (const MxfKey& item : items) Raw(item);
}

void MxfKlvWriter::ItemInt32Batch(uint16_t tag, const std::vector<int32_t>& values) {
    ItemHeader(tag, 8 + 4 * values.size());
    U32(static_cast<uint32_t>(values.size()));
    U32(4);
    for (int32_t v : values) U32(static_cast<uint32_t>(v));
}

void MxfKlvWriter::ItemUtf16(uint16_t tag, const std::string& text) {
    ItemHeader(tag, 2 * text.size());
    for (unsigned char c : text) U16(c);
}

void MxfKlvWriter::ItemTimestamp(uint16_t tag, uint16_t year, uint8_t month, uint8_t day, uint8_t hour,
                                 uint8_t minute, uint8_t second, uint8_t quarterMilliseconds) {
    ItemHeader(tag, 8);
    U16(year);
    U8(month);
    U8(day);
    U8(hour);
    U8(minute);
    U8(second);
    U8(quarterMilliseconds);
}

}  // namespace ComVantoVantoQZ64RADPlug::CardWriter
