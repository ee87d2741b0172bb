#pragma once
// Hand-made MXF bytes for the tests: one byte buffer with big-endian fields,
// BER lengths, KLV triplets and local set items, and the keys and labels the
// tests build files from. Standard library only, so the writer's tests can
// use it as well as the reader's.
#include <array>
#include <cstdint>
#include <vector>

namespace mxftest {

using Key16 = std::array<uint8_t, 16>;

struct Bytes : std::vector<uint8_t> {
    using std::vector<uint8_t>::vector;
    Bytes() = default;
    Bytes(const std::vector<uint8_t>& bytes) : std::vector<uint8_t>(bytes) {}
    Bytes(const Key16& key) : std::vector<uint8_t>(key.begin(), key.end()) {}

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
        // Byte by byte: g++ 12 warns of an overflow (a false one) when a
        // 16-byte range is inserted into an empty vector.
        for (uint8_t b : k) push_back(b);
        return *this;
    }
    Bytes& fill(size_t n, uint8_t v = 0) {
        insert(end(), n, v);
        return *this;
    }
    // BER length: short form when lengthBytes is 0, else 0x80 | lengthBytes
    // followed by the value big-endian.
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
    // Overwrites the n bytes at `at` with v, big-endian.
    Bytes& set(size_t at, int n, uint64_t v) {
        for (int i = 0; i < n; ++i) (*this)[at + i] = static_cast<uint8_t>(v >> (8 * (n - 1 - i)));
        return *this;
    }
};

// Keys: partition packs (kind 2 header, 3 body, 4 footer; status 4 closed
// complete), header metadata sets by their 15th byte, and the fixed ones.
constexpr Key16 PartitionKey(uint8_t kind, uint8_t status) {
    return {0x06, 0x0E, 0x2B, 0x34, 0x02, 0x05, 0x01, 0x01, 0x0D, 0x01, 0x02, 0x01, 0x01, kind, status, 0x00};
}
constexpr Key16 SetKey(uint8_t kind) {
    return {0x06, 0x0E, 0x2B, 0x34, 0x02, 0x53, 0x01, 0x01, 0x0D, 0x01, 0x01, 0x01, 0x01, 0x01, kind, 0x00};
}
constexpr Key16 kHeaderPartitionKey = PartitionKey(0x02, 0x04);
constexpr Key16 kBodyPartitionKey = PartitionKey(0x03, 0x04);
constexpr Key16 kPrimerKey = PartitionKey(0x05, 0x01);
constexpr Key16 kRandomIndexKey = PartitionKey(0x11, 0x01);
constexpr Key16 kPrefaceKey = SetKey(0x2F);
constexpr Key16 kIndexSegmentKey = {0x06, 0x0E, 0x2B, 0x34, 0x02, 0x53, 0x01, 0x01,
                                    0x0D, 0x01, 0x02, 0x01, 0x01, 0x10, 0x01, 0x00};
constexpr Key16 kFillKey = {0x06, 0x0E, 0x2B, 0x34, 0x01, 0x01, 0x01, 0x02,
                            0x03, 0x01, 0x02, 0x10, 0x01, 0x00, 0x00, 0x00};
constexpr Key16 kPictureKey = {0x06, 0x0E, 0x2B, 0x34, 0x01, 0x02, 0x01, 0x01,
                               0x0D, 0x01, 0x03, 0x01, 0x15, 0x01, 0x05, 0x00};
// Labels.
constexpr Key16 kOP1a = {0x06, 0x0E, 0x2B, 0x34, 0x04, 0x01, 0x01, 0x01,
                         0x0D, 0x01, 0x02, 0x01, 0x01, 0x01, 0x09, 0x00};
constexpr Key16 kMPEGContainer = {0x06, 0x0E, 0x2B, 0x34, 0x04, 0x01, 0x01, 0x01,
                                  0x0D, 0x01, 0x03, 0x01, 0x02, 0x04, 0x60, 0x01};

// Value of a partition pack with the given fields: version 1.minorVersion,
// operational pattern 1a and labelCount essence labels, the i-th ending in
// firstLabel + i.
inline Bytes PartitionValue(uint32_t kag, uint64_t thisPartition, uint64_t previous, uint64_t footer,
                            uint64_t headerBytes, uint64_t indexBytes, uint32_t indexSID, uint64_t bodyOffset,
                            uint32_t bodySID, uint32_t labelCount = 1, uint16_t minorVersion = 3,
                            uint8_t firstLabel = 0) {
    Bytes v;
    v.u16(1).u16(minorVersion).u32(kag).u64(thisPartition).u64(previous).u64(footer).u64(headerBytes);
    v.u64(indexBytes).u32(indexSID).u64(bodyOffset).u32(bodySID).key(kOP1a);
    v.u32(labelCount).u32(16);
    for (uint32_t i = 0; i < labelCount; ++i) {
        Key16 label = kMPEGContainer;
        label[15] = static_cast<uint8_t>(firstLabel + i);
        v.key(label);
    }
    return v;
}

}  // namespace mxftest
