#pragma once
// Builders for hand-made MXF byte buffers used by the reader's tests: keys,
// big-endian fields, BER lengths, KLV triplets and local set items.
#include "CUMemoryStream.h"
#include "CUSharedPtr.h"
#include "CUStream.h"

#include <array>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace mxftest {

using Key16 = std::array<uint8_t, 16>;

struct Bytes : std::vector<uint8_t> {
    Bytes() = default;
    Bytes(std::initializer_list<uint8_t> init) : std::vector<uint8_t>(init) {}
    Bytes& u8(uint64_t v) {
        push_back(static_cast<uint8_t>(v));
        return *this;
    }
    Bytes& u16(uint64_t v) { return be(v, 2); }
    Bytes& u32(uint64_t v) { return be(v, 4); }
    Bytes& u64(uint64_t v) { return be(v, 8); }
    Bytes& be(uint64_t v, int n) {
        for (int i = n - 1; i >= 0; --i) push_back(static_cast<uint8_t>(v >> (8 * i)));
        return *this;
    }
    Bytes& raw(const std::vector<uint8_t>& b) {
        insert(end(), b.begin(), b.end());
        return *this;
    }
    Bytes& key(const Key16& k) {
        insert(end(), k.begin(), k.end());
        return *this;
    }
    Bytes& fill(size_t n, uint8_t v = 0) {
        insert(end(), n, v);
        return *this;
    }
    // BER length: short form when lengthBytes is 0 and the value fits, else
    // 0x80 | lengthBytes followed by the value big-endian.
    Bytes& ber(uint64_t v, int lengthBytes = 4) {
        if (lengthBytes == 0) return u8(v);
        u8(0x80 | lengthBytes);
        return be(v, lengthBytes);
    }
    // A whole KLV triplet.
    Bytes& klv(const Key16& k, const std::vector<uint8_t>& value, int lengthBytes = 4) {
        key(k);
        ber(value.size(), lengthBytes);
        return raw(value);
    }
    // A local set item with 2-byte tag and 2-byte length.
    Bytes& item(uint16_t tag, const std::vector<uint8_t>& value) {
        u16(tag);
        u16(value.size());
        return raw(value);
    }
};

inline ComVantoVantoQZ64RADPlug::CUSharedPtr<ComVantoVantoQZ64RADPlug::CUStream> Stream(
    const std::vector<uint8_t>& bytes) {
    using namespace ComVantoVantoQZ64RADPlug;
    return CUSharedPtr<CUStream>(
        new CUMemoryStream(const_cast<uint8_t*>(bytes.data()), static_cast<uint64_t>(bytes.size()), false));
}

constexpr Key16 kHeaderPartitionKey = {0x06, 0x0E, 0x2B, 0x34, 0x02, 0x05, 0x01, 0x01,
                                       0x0D, 0x01, 0x02, 0x01, 0x01, 0x02, 0x04, 0x00};
constexpr Key16 kBodyPartitionKey = {0x06, 0x0E, 0x2B, 0x34, 0x02, 0x05, 0x01, 0x01,
                                     0x0D, 0x01, 0x02, 0x01, 0x01, 0x03, 0x04, 0x00};
constexpr Key16 kFooterPartitionKey = {0x06, 0x0E, 0x2B, 0x34, 0x02, 0x05, 0x01, 0x01,
                                       0x0D, 0x01, 0x02, 0x01, 0x01, 0x04, 0x04, 0x00};
constexpr Key16 kPrimerKey = {0x06, 0x0E, 0x2B, 0x34, 0x02, 0x05, 0x01, 0x01,
                              0x0D, 0x01, 0x02, 0x01, 0x01, 0x05, 0x01, 0x00};
constexpr Key16 kRandomIndexKey = {0x06, 0x0E, 0x2B, 0x34, 0x02, 0x05, 0x01, 0x01,
                                   0x0D, 0x01, 0x02, 0x01, 0x01, 0x11, 0x01, 0x00};
constexpr Key16 kPrefaceKey = {0x06, 0x0E, 0x2B, 0x34, 0x02, 0x53, 0x01, 0x01,
                               0x0D, 0x01, 0x01, 0x01, 0x01, 0x01, 0x2F, 0x00};
constexpr Key16 kIndexSegmentKey = {0x06, 0x0E, 0x2B, 0x34, 0x02, 0x53, 0x01, 0x01,
                                    0x0D, 0x01, 0x02, 0x01, 0x01, 0x10, 0x01, 0x00};
constexpr Key16 kFillKey = {0x06, 0x0E, 0x2B, 0x34, 0x01, 0x01, 0x01, 0x02,
                            0x03, 0x01, 0x02, 0x10, 0x01, 0x00, 0x00, 0x00};
constexpr Key16 kPictureKey = {0x06, 0x0E, 0x2B, 0x34, 0x01, 0x02, 0x01, 0x01,
                               0x0D, 0x01, 0x03, 0x01, 0x15, 0x01, 0x05, 0x00};

// Value of a partition pack with the given fields and essence labels.
inline Bytes PartitionValue(uint32_t kag, uint64_t thisPartition, uint64_t previous, uint64_t footer,
                            uint64_t headerBytes, uint64_t indexBytes, uint32_t indexSID, uint64_t bodyOffset,
                            uint32_t bodySID, uint32_t labelCount = 1) {
    Bytes v;
    v.u16(1).u16(3).u32(kag).u64(thisPartition).u64(previous).u64(footer).u64(headerBytes).u64(indexBytes);
    v.u32(indexSID).u64(bodyOffset).u32(bodySID);
    v.raw({0x06, 0x0E, 0x2B, 0x34, 0x04, 0x01, 0x01, 0x01, 0x0D, 0x01, 0x02, 0x01, 0x01, 0x01, 0x09, 0x00});
    v.u32(labelCount).u32(16);
    for (uint32_t i = 0; i < labelCount; ++i)
        v.raw({0x06, 0x0E, 0x2B, 0x34, 0x04, 0x01, 0x01, 0x01, 0x0D, 0x01, 0x03, 0x01, 0x02, 0x04, 0x60,
               static_cast<uint8_t>(i)});
    return v;
}

}  // namespace mxftest
