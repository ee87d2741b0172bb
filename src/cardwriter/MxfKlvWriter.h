// MxfKlvWriter: appends big-endian values, KLV triplets and local-set items
// (2-byte tag, 2-byte length) to a byte buffer, the building block of every
// MXF structure the card writer emits.
// Thread-safety: none; one writer per thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ComVantoVantoQZ64RADPlug::CardWriter {

using MxfKey = std::array<uint8_t, 16>;

class MxfKlvWriter {
public:
    // Every length this writer codes uses the 4-byte BER form (0x83 + 3 bytes),
    // so a KLV's header is always 20 bytes and a value is below 16 MiB.
    static constexpr size_t kKlvHeaderSize = 20;
    static constexpr size_t kMinFillSize = kKlvHeaderSize;
    static constexpr uint32_t kMaxBerLength = 0xFFFFFF;

    std::vector<uint8_t>& Bytes() { return mBytes; }
    const std::vector<uint8_t>& Bytes() const { return mBytes; }
    size_t Size() const { return mBytes.size(); }
    void Clear() { mBytes.clear(); }

    void U8(uint8_t v) { mBytes.push_back(v); }
    void U16(uint16_t v);
    void U32(uint32_t v);
    void U64(uint64_t v);
    void Raw(const uint8_t* data, size_t size) { mBytes.insert(mBytes.end(), data, data + size); }
    void Raw(const std::vector<uint8_t>& data) { Raw(data.data(), data.size()); }
    template <size_t N>
    void Raw(const std::array<uint8_t, N>& data) {
        Raw(data.data(), N);
    }
    void Zeros(size_t count) { mBytes.insert(mBytes.end(), count, 0); }
    void Ber4(uint32_t length);  // throws std::length_error above kMaxBerLength

    // Key and a length placeholder; EndKlv patches the length to what follows.
    size_t BeginKlv(const MxfKey& key);
    void EndKlv(size_t klvStart);
    // A KLV with the whole value given.
    void Klv(const MxfKey& key, const uint8_t* value, size_t size);

    // A fill KLV of exactly total bytes; total is 0 (nothing written) or at
    // least kMinFillSize (std::invalid_argument otherwise).
    void Fill(size_t total);
    // Fill bytes that bring position to the next multiple of grid: 0 when it is
    // already there, else at least kMinFillSize (a whole extra grid step is
    // added when the gap is too small for a fill KLV).
    static size_t FillTo(uint64_t position, uint64_t grid);

    // Local-set items: 2-byte tag, 2-byte length, value.
    void ItemU8(uint16_t tag, uint8_t v);
    void ItemU16(uint16_t tag, uint16_t v);
    void ItemU32(uint16_t tag, uint32_t v);
    void ItemU64(uint16_t tag, uint64_t v);
    void ItemRational(uint16_t tag, int32_t numerator, int32_t denominator);
    void ItemBytes(uint16_t tag, const uint8_t* data, size_t size);
    template <size_t N>
    void ItemBytes(uint16_t tag, const std::array<uint8_t, N>& data) {
        ItemBytes(tag, data.data(), N);
    }
    // Batch of 16-byte references or labels: count, item size 16, items.
    void ItemBatch(uint16_t tag, const std::vector<MxfKey>& items);
    // Batch of signed 32-bit values: count, item size 4, values.
    void ItemInt32Batch(uint16_t tag, const std::vector<int32_t>& values);
    // UTF-16BE text of an ASCII/Latin-1 string (no terminator).
    void ItemUtf16(uint16_t tag, const std::string& text);
    void ItemTimestamp(uint16_t tag, uint16_t year, uint8_t month, uint8_t day, uint8_t hour, uint8_t minute,
                       uint8_t second, uint8_t quarterMilliseconds);

private:
    void ItemHeader(uint16_t tag, size_t size);
    void PutAt(size_t position, uint32_t ber4Length);

    std::vector<uint8_t> mBytes;
};

}  // namespace ComVantoVantoQZ64RADPlug::CardWriter
