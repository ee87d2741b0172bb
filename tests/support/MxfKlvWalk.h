#pragma once
// A minimal KLV walker over a whole MXF file in memory, written for the tests
// (it shares nothing with the reader or the writer): KLV triplets, partition
// packs, local set items and the key kinds the tests look for.
#include "MxfTestBytes.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace mxftest {

struct Klv {
    uint64_t offset = 0;
    Key16 key{};
    uint64_t length = 0;
    uint64_t valueOffset = 0;
    uint64_t End() const { return valueOffset + length; }
};

inline bool ReadKlv(const std::vector<uint8_t>& f, uint64_t at, Klv& klv) {
    if (at + 17 > f.size()) return false;
    klv.offset = at;
    std::copy(f.begin() + static_cast<long>(at), f.begin() + static_cast<long>(at + 16), klv.key.begin());
    uint64_t p = at + 16;
    const uint8_t first = f[p++];
    uint64_t length = first;
    if (first & 0x80) {
        const int n = first & 0x7F;
        if (n < 1 || n > 8 || p + n > f.size()) return false;
        length = 0;
        for (int i = 0; i < n; ++i) length = (length << 8) | f[p++];
    }
    if (length > f.size() - p) return false;
    klv.length = length;
    klv.valueOffset = p;
    return true;
}

inline std::vector<Klv> WalkAll(const std::vector<uint8_t>& f) {
    std::vector<Klv> all;
    uint64_t at = 0;
    Klv klv;
    while (at < f.size() && ReadKlv(f, at, klv)) {
        all.push_back(klv);
        at = klv.End();
    }
    EXPECT_EQ(at, f.size()) << "KLV chain does not reach the end of the file";
    return all;
}

inline uint64_t BE(const std::vector<uint8_t>& f, uint64_t at, int n) {
    uint64_t v = 0;
    for (int i = 0; i < n; ++i) v = (v << 8) | f.at(at + i);
    return v;
}

// Whether the first `n` bytes of `key` are those of `reference` (a key of
// MxfTestBytes.h).
inline bool SamePrefix(const Key16& key, const Key16& reference, size_t n) {
    return std::equal(reference.begin(), reference.begin() + static_cast<long>(n), key.begin());
}
// Partition pack: kind 2 header, 3 body, 4 footer.
inline int PartitionKind(const Key16& k) {
    if (!SamePrefix(k, kHeaderPartitionKey, 13)) return 0;
    return (k[13] >= 2 && k[13] <= 4) ? k[13] : 0;
}
inline bool IsEssence(const Key16& k, uint8_t item) {
    return SamePrefix(k, kPictureKey, 12) && k[12] == item;
}
inline bool IsPicture(const Key16& k) {
    return IsEssence(k, 0x15) && k[14] == 0x05;
}
inline bool IsSound(const Key16& k) {
    return IsEssence(k, 0x16);
}
inline bool IsIndexSegment(const Key16& k) {
    return SamePrefix(k, kIndexSegmentKey, 15);
}
inline bool IsSet(const Key16& k, uint8_t kind) {
    return SamePrefix(k, SetKey(kind), 15);
}

struct Partition {
    Klv klv;
    int kind = 0;
    uint32_t kag = 0;
    uint64_t thisPartition = 0, previous = 0, footer = 0, headerBytes = 0, indexBytes = 0, bodyOffset = 0;
    uint32_t indexSid = 0, bodySid = 0;
    uint64_t Content() const { return thisPartition + kag + headerBytes + indexBytes; }
};

inline Partition ReadPartition(const std::vector<uint8_t>& f, const Klv& klv) {
    Partition p;
    p.klv = klv;
    p.kind = PartitionKind(klv.key);
    const uint64_t v = klv.valueOffset;
    p.kag = static_cast<uint32_t>(BE(f, v + 4, 4));
    p.thisPartition = BE(f, v + 8, 8);
    p.previous = BE(f, v + 16, 8);
    p.footer = BE(f, v + 24, 8);
    p.headerBytes = BE(f, v + 32, 8);
    p.indexBytes = BE(f, v + 40, 8);
    p.indexSid = static_cast<uint32_t>(BE(f, v + 48, 4));
    p.bodyOffset = BE(f, v + 52, 8);
    p.bodySid = static_cast<uint32_t>(BE(f, v + 60, 4));
    return p;
}

// Items of a local set with 2-byte tags and lengths: tag -> (offset, length).
inline std::map<uint16_t, std::pair<uint64_t, uint64_t>> Items(const std::vector<uint8_t>& f,
                                                               const Klv& klv) {
    std::map<uint16_t, std::pair<uint64_t, uint64_t>> items;
    uint64_t p = klv.valueOffset;
    while (p + 4 <= klv.End()) {
        const uint16_t tag = static_cast<uint16_t>(BE(f, p, 2));
        const uint64_t len = BE(f, p + 2, 2);
        EXPECT_TRUE(items.emplace(tag, std::make_pair(p + 4, len)).second) << "duplicate tag " << tag;
        p += 4 + len;
    }
    EXPECT_EQ(p, klv.End()) << "local set items overrun their set";
    return items;
}

struct ParsedFile {
    std::vector<uint8_t> bytes;
    std::vector<Klv> klvs;
    std::vector<Partition> partitions;
};

inline ParsedFile Parse(const std::string& path) {
    ParsedFile pf;
    pf.bytes = qztest::ReadFile(path);
    pf.klvs = WalkAll(pf.bytes);
    for (const Klv& k : pf.klvs)
        if (PartitionKind(k.key)) pf.partitions.push_back(ReadPartition(pf.bytes, k));
    return pf;
}

inline Key16 KeyAt(const std::vector<uint8_t>& f, uint64_t at) {
    Klv k;
    if (!ReadKlv(f, at, k)) return Key16{};
    return k.key;
}

}  // namespace mxftest
