#pragma once
// Builds small OP1a-style MXF files byte by byte for the reader tests: a
// header partition with primer and structural metadata, body partitions of
// frame-wrapped picture + sound content packages, each partition's index in
// the partition that follows it, a footer and an optional random index pack.
// Every position a test may want to check or corrupt is recorded.
#include "MxfTestBytes.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace mxftest {

// A KLV with a 4-byte BER length (0x83), as the builder writes them all.
inline void PutKLV(Bytes& b, const Key16& key, const Bytes& value) {
    b.klv(key, value, 3);
}
// Fill up to the next multiple of kag counted from `base` (the partition's
// first byte).
inline void PutFillTo(Bytes& b, uint32_t kag, size_t base = 0) {
    if (kag <= 1 || (b.size() - base) % kag == 0) return;
    size_t gap = kag - (b.size() - base) % kag;
    while (gap < 20) gap += kag;
    PutKLV(b, kFillKey, Bytes(gap - 20, 0));
}

// The builder's partition packs: version 1.2, one MPEG essence label.
inline Bytes Pack(uint32_t kag, uint64_t self, uint64_t previous, uint64_t footer, uint64_t headerBytes,
                  uint64_t indexBytes, uint32_t indexSID, uint64_t bodyOffset, uint32_t bodySID) {
    return PartitionValue(kag, self, previous, footer, headerBytes, indexBytes, indexSID, bodyOffset, bodySID,
                          1, 2, 1);
}

// Local set items (2-byte tag, 2-byte length).
struct LocalSet {
    Bytes value;
    LocalSet& Item(uint16_t tag, const Bytes& v) {
        value.item(tag, v);
        return *this;
    }
    LocalSet& U8(uint16_t tag, uint8_t v) { return Item(tag, Bytes().u8(v)); }
    LocalSet& U16(uint16_t tag, uint16_t v) { return Item(tag, Bytes().u16(v)); }
    LocalSet& U32(uint16_t tag, uint32_t v) { return Item(tag, Bytes().u32(v)); }
    LocalSet& U64(uint16_t tag, uint64_t v) { return Item(tag, Bytes().u64(v)); }
    LocalSet& Rational(uint16_t tag, int32_t n, int32_t d) {
        return Item(tag, Bytes().u32(uint32_t(n)).u32(uint32_t(d)));
    }
    LocalSet& Array(uint16_t tag, const std::vector<Bytes>& uids) {
        Bytes b;
        b.u32(uids.size()).u32(16);
        for (const auto& u : uids) b.raw(u);
        return Item(tag, b);
    }
};

inline Bytes Uid(uint8_t n) {
    Bytes u(16, 0);
    u[0] = 0xA0;
    u[15] = n;
    return u;
}
inline Bytes Umid(uint8_t n) {
    Bytes u(32, 0);
    const uint8_t prefix[] = {0x06, 0x0A, 0x2B, 0x34, 0x01, 0x01, 0x01, 0x05, 0x01, 0x01, 0x0D, 0x20, 0x13};
    std::memcpy(u.data(), prefix, sizeof prefix);
    u[31] = n;
    return u;
}

struct Options {
    std::vector<int> framesPerPartition{6, 6};
    uint32_t bodySID = 2;
    uint32_t kag = 512;
    bool rip = true;
    bool sequenceInfo = true;
    bool identifications = true;
    bool pictureLinkedTrackID = true;
    // Timecode track first (as ffmpeg does) or the picture track first.
    bool timecodeFirst = false;
    uint32_t width = 1920, height = 1080;
    int32_t rateNum = 25, rateDen = 1;
    uint64_t startTimecode = 90000;  // 01:00:00:00 at 25
};

struct Unit {
    uint64_t packageOffset;  // file offset of the content package
    uint64_t streamOffset;   // offset in the essence container
    uint64_t pictureValueOffset, pictureLength;
    uint64_t soundValueOffset, soundLength;
    int8_t temporal, keyOffset;
    uint8_t flags;
};

struct File {
    Bytes bytes;
    std::vector<Unit> units;
    std::vector<uint64_t> partitions;  // header, bodies, footer (file offsets)
    uint64_t footer = 0;
    uint64_t sequenceInfoOffset = 0;
    uint64_t headerMetadataStart = 0, headerMetadataEnd = 0;
    uint64_t ripOffset = 0;
    Bytes packageUMID = Umid(0x51);
    Bytes sourceUMID = Umid(0x52);

    // Value offset of a partition pack (4-byte BER lengths everywhere).
    uint64_t PackValue(size_t partition) const { return partitions[partition] + 20; }
    // Pack fields by value offset: 16 Previous, 24 Footer, 32 HeaderByteCount,
    // 40 IndexByteCount, 48 IndexSID, 52 BodyOffset, 60 BodySID.
    void PatchPackU64(size_t partition, size_t field, uint64_t v) {
        bytes.set(PackValue(partition) + field, 8, v);
    }
    void PatchPackU32(size_t partition, size_t field, uint32_t v) {
        bytes.set(PackValue(partition) + field, 4, v);
    }

    bool Write(const std::string& path) const {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return bool(out);
    }
};

inline Bytes HeaderMetadataBytes(const Options& o, File& f) {
    Bytes h;
    // Primer: one dynamic tag for the MPEG bit rate item.
    {
        Bytes v;
        v.u32(1);
        v.u32(18);
        v.u16(0x8001);
        v.key(kMERBitRate);
        PutKLV(h, kPrimerKey, v);
    }
    int64_t duration = 0;
    for (int n : o.framesPerPartition) duration += n;
    // Instance UIDs.
    const Bytes preface = Uid(1), ident = Uid(2), storage = Uid(3), ecd = Uid(4), mp = Uid(5), sp = Uid(6);
    const Bytes tcTrack = Uid(10), tcSeq = Uid(11), tcComp = Uid(12);
    const Bytes picTrack = Uid(20), picSeq = Uid(21), picClip = Uid(22);
    const Bytes sndTrack = Uid(30), sndSeq = Uid(31), sndClip = Uid(32);
    const Bytes multi = Uid(40), picDesc = Uid(41), sndDesc = Uid(42);

    LocalSet pre;
    pre.Item(0x3C0A, preface).U16(0x3B05, 0x0102).Item(0x3B03, storage).Item(0x3B09, kOP1a);
    if (o.identifications) pre.Array(0x3B06, {ident});
    pre.Array(0x3B0A, {kMPEGContainer});
    PutKLV(h, SetKey(0x2F), pre.value);

    LocalSet id;
    const Bytes company = {0, 'Q', 0, 'Z'};
    id.Item(0x3C0A, ident).Item(0x3C01, company);
    PutKLV(h, SetKey(0x30), id.value);

    PutKLV(h, SetKey(0x18),
           LocalSet().Item(0x3C0A, storage).Array(0x1901, {mp, sp}).Array(0x1902, {ecd}).value);
    PutKLV(
        h, SetKey(0x23),
        LocalSet().Item(0x3C0A, ecd).Item(0x2701, f.sourceUMID).U32(0x3F06, 1).U32(0x3F07, o.bodySID).value);

    std::vector<Bytes> tracks = o.timecodeFirst ? std::vector<Bytes>{tcTrack, picTrack, sndTrack}
                                                : std::vector<Bytes>{picTrack, sndTrack, tcTrack};
    PutKLV(h, SetKey(0x36),
           LocalSet().Item(0x3C0A, mp).Item(0x4401, f.packageUMID).Array(0x4403, tracks).value);

    auto track = [&](const Bytes& uid, uint32_t trackID, const Bytes& seq) {
        PutKLV(h, SetKey(0x3B),
               LocalSet()
                   .Item(0x3C0A, uid)
                   .U32(0x4801, trackID)
                   .U32(0x4804, 0)
                   .Rational(0x4B01, o.rateNum, o.rateDen)
                   .U64(0x4B02, 0)
                   .Item(0x4803, seq)
                   .value);
    };
    auto sequence = [&](const Bytes& uid, const Bytes& dd, const Bytes& comp) {
        PutKLV(h, SetKey(0x0F),
               LocalSet()
                   .Item(0x3C0A, uid)
                   .Item(0x0201, dd)
                   .U64(0x0202, uint64_t(duration))
                   .Array(0x1001, {comp})
                   .value);
    };
    auto clip = [&](const Bytes& uid, const Bytes& dd, uint32_t sourceTrack) {
        PutKLV(h, SetKey(0x11),
               LocalSet()
                   .Item(0x3C0A, uid)
                   .Item(0x0201, dd)
                   .U64(0x0202, uint64_t(duration))
                   .U64(0x1201, 0)
                   .Item(0x1101, f.sourceUMID)
                   .U32(0x1102, sourceTrack)
                   .value);
    };
    track(picTrack, 2, picSeq);
    sequence(picSeq, kDDPicture, picClip);
    clip(picClip, kDDPicture, 2);
    track(sndTrack, 3, sndSeq);
    sequence(sndSeq, kDDSound, sndClip);
    clip(sndClip, kDDSound, 3);
    track(tcTrack, 1, tcSeq);
    sequence(tcSeq, kDDTimecode, tcComp);
    PutKLV(h, SetKey(0x14),
           LocalSet()
               .Item(0x3C0A, tcComp)
               .Item(0x0201, kDDTimecode)
               .U64(0x0202, uint64_t(duration))
               .U64(0x1501, o.startTimecode)
               .U16(0x1502, uint16_t((o.rateNum + o.rateDen - 1) / o.rateDen))
               .U8(0x1503, 0)
               .value);

    PutKLV(
        h, SetKey(0x37),
        LocalSet().Item(0x3C0A, sp).Item(0x4401, f.sourceUMID).Array(0x4403, {}).Item(0x4701, multi).value);
    PutKLV(h, SetKey(0x44),
           LocalSet()
               .Item(0x3C0A, multi)
               .Rational(0x3001, o.rateNum, o.rateDen)
               .Item(0x3004, kMPEGContainer)
               .Array(0x3F01, {picDesc, sndDesc})
               .value);
    LocalSet pd;
    pd.Item(0x3C0A, picDesc);
    if (o.pictureLinkedTrackID) pd.U32(0x3006, 2);
    pd.Rational(0x3001, o.rateNum, o.rateDen)
        .U32(0x3203, o.width)
        .U32(0x3202, o.height)
        .U32(0x3209, o.width)
        .U32(0x3208, o.height)
        .U8(0x320C, 1)
        .Rational(0x320E, 16, 9)
        .U32(0x8001, 50000000);
    PutKLV(h, SetKey(0x51), pd.value);
    PutKLV(h, SetKey(0x48),
           LocalSet()
               .Item(0x3C0A, sndDesc)
               .U32(0x3006, 3)
               .Rational(0x3001, o.rateNum, o.rateDen)
               .Rational(0x3D03, 48000, 1)
               .U32(0x3D01, 16)
               .U32(0x3D07, 1)
               .value);
    return h;
}

// Index segment describing `count` units starting at `first`.
inline Bytes IndexSegment(const Options& o, const File& f, size_t first, size_t count) {
    LocalSet s;
    s.Item(0x3C0A, Uid(uint8_t(0x80 + first % 100)))
        .Rational(0x3F0B, o.rateNum, o.rateDen)
        .U64(0x3F0C, first)
        .U64(0x3F0D, count)
        .U32(0x3F05, 0)
        .U32(0x3F06, 1)
        .U32(0x3F07, o.bodySID)
        .U8(0x3F08, 1);
    Bytes delta;
    delta.u32(2);
    delta.u32(6);
    delta.u8(0), delta.u8(0), delta.u32(0);
    delta.u8(0), delta.u8(1), delta.u32(0);
    s.Item(0x3F09, delta);
    Bytes entries;
    entries.u32(uint32_t(count));
    entries.u32(15);
    for (size_t i = first; i < first + count; ++i) {
        const Unit& u = f.units[i];
        entries.u8(uint8_t(u.temporal));
        entries.u8(uint8_t(u.keyOffset));
        entries.u8(u.flags);
        entries.u64(u.streamOffset);
        entries.u32(uint32_t(u.soundValueOffset - 20 - u.packageOffset));
    }
    s.Item(0x3F0A, entries);
    Bytes b;
    PutKLV(b, kIndexSegmentKey, s.value);
    return b;
}

inline File Build(const Options& o = Options()) {
    File f;
    Bytes& b = f.bytes;
    int64_t total = 0;
    for (int n : o.framesPerPartition) total += n;
    // Units: deterministic picture sizes, sound 1920 samples x 2 bytes.
    for (int64_t e = 0; e < total; ++e) {
        Unit u{};
        u.pictureLength = 1000 + (e * 7919) % 3000 + (e % 12 == 0 ? 4000 : 0);
        u.soundLength = 3840;
        u.flags = (e % 12 == 0) ? 0xC0 : (e % 3 == 0 ? 0x22 : 0x33);
        u.keyOffset = int8_t(-(e % 12));
        u.temporal = int8_t(e % 3 == 0 ? 2 : -1);
        f.units.push_back(u);
    }
    // Header partition.
    f.partitions.push_back(0);
    Bytes header = HeaderMetadataBytes(o, f);
    Bytes seqInfo;
    if (o.sequenceInfo) {
        LocalSet s;
        s.U64(0x1201, 0).U64(0x1501, o.startTimecode).Item(0x3C0A, Uid(0x77)).Item(0x4401, f.packageUMID);
        PutKLV(seqInfo, kSequenceInfoKey, s.value);
    }
    {
        Bytes probe;
        PutKLV(probe, PartitionKey(0x02, 0x04), Pack(o.kag, 0, 0, 0, 0, 0, 0, 0, 0));
        PutFillTo(probe, o.kag);
        const uint64_t start = probe.size();
        Bytes region = header;
        region.raw(seqInfo);
        Bytes tmp(start + region.size(), 0);
        PutFillTo(tmp, o.kag);
        const uint64_t hbc = tmp.size() - start;
        PutKLV(b, PartitionKey(0x02, 0x04), Pack(o.kag, 0, 0, 0, hbc, 0, 0, 0, 0));
        PutFillTo(b, o.kag);
        f.headerMetadataStart = b.size();
        b.raw(header);
        if (o.sequenceInfo) f.sequenceInfoOffset = b.size();
        b.raw(seqInfo);
        PutFillTo(b, o.kag);
        f.headerMetadataEnd = b.size();
    }
    // Body partitions; each carries the index of the previous one.
    uint64_t streamOffset = 0;
    size_t firstUnit = 0;
    uint64_t previous = 0;
    for (size_t p = 0; p < o.framesPerPartition.size(); ++p) {
        const uint64_t self = b.size();
        f.partitions.push_back(self);
        Bytes index;
        if (p > 0) {
            const size_t prevCount = size_t(o.framesPerPartition[p - 1]);
            index = IndexSegment(o, f, firstUnit - prevCount, prevCount);
        }
        Bytes probe;
        PutKLV(probe, PartitionKey(0x03, 0x04), Pack(o.kag, 0, 0, 0, 0, 0, 0, 0, 0));
        PutFillTo(probe, o.kag);
        uint64_t ibc = 0;
        if (!index.empty()) {
            Bytes tmp(probe.size() + index.size(), 0);
            PutFillTo(tmp, o.kag);
            ibc = tmp.size() - probe.size();
        }
        PutKLV(b, PartitionKey(0x03, 0x04),
               Pack(o.kag, self, previous, 0, 0, ibc, ibc ? 1 : 0, streamOffset, o.bodySID));
        PutFillTo(b, o.kag, self);
        if (!index.empty()) {
            b.raw(index);
            PutFillTo(b, o.kag, self);
        }
        for (int i = 0; i < o.framesPerPartition[p]; ++i) {
            Unit& u = f.units[firstUnit + size_t(i)];
            u.packageOffset = b.size();
            u.streamOffset = streamOffset;
            Bytes pic(u.pictureLength);
            for (size_t k = 0; k < pic.size(); ++k) pic[k] = uint8_t((firstUnit + size_t(i)) * 31 + k * 7);
            PutKLV(b, kPictureKey, pic);
            u.pictureValueOffset = u.packageOffset + 20;
            const uint64_t soundAt = b.size();
            Bytes snd(u.soundLength);
            for (size_t k = 0; k < snd.size(); ++k) snd[k] = uint8_t((firstUnit + size_t(i)) * 13 + k);
            PutKLV(b, kSoundKey, snd);
            u.soundValueOffset = soundAt + 20;
            streamOffset += b.size() - u.packageOffset;
        }
        firstUnit += size_t(o.framesPerPartition[p]);
        previous = self;
    }
    // Footer with the index of the last body partition.
    f.footer = b.size();
    f.partitions.push_back(f.footer);
    {
        const size_t lastCount = o.framesPerPartition.empty() ? 0 : size_t(o.framesPerPartition.back());
        Bytes index = lastCount ? IndexSegment(o, f, firstUnit - lastCount, lastCount) : Bytes();
        Bytes probe;
        PutKLV(probe, PartitionKey(0x04, 0x04), Pack(o.kag, 0, 0, 0, 0, 0, 0, 0, 0));
        PutFillTo(probe, o.kag);
        uint64_t ibc = 0;
        if (!index.empty()) {
            Bytes tmp(probe.size() + index.size(), 0);
            PutFillTo(tmp, o.kag);
            ibc = tmp.size() - probe.size();
        }
        PutKLV(b, PartitionKey(0x04, 0x04),
               Pack(o.kag, f.footer, previous, f.footer, 0, ibc, ibc ? 1 : 0, 0, 0));
        PutFillTo(b, o.kag, f.footer);
        if (!index.empty()) {
            b.raw(index);
            PutFillTo(b, o.kag, f.footer);
        }
    }
    // Every pack names the footer.
    for (size_t p = 0; p < f.partitions.size(); ++p) f.PatchPackU64(p, 24, f.footer);
    if (o.rip) {
        f.ripOffset = b.size();
        Bytes v;
        for (size_t p = 0; p < f.partitions.size(); ++p) {
            const bool body = p > 0 && p + 1 < f.partitions.size();
            v.u32(body ? o.bodySID : 0);
            v.u64(f.partitions[p]);
        }
        v.u32(uint32_t(20 + v.size() + 4));
        PutKLV(b, kRandomIndexKey, v);
    }
    return f;
}

}  // namespace mxftest
