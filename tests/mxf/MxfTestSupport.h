#pragma once
// Shared helpers of the MXF reader tests: hand-made bytes as a stream,
// local sets, whole-file reads and writes, with the project's scratch folders and peer
// tools.
#include "CUMemoryStream.h"
#include "CUSharedPtr.h"
#include "CUStream.h"
#include "CUStringMac.h"
#include "ExternalTool.h"
#include "IndexTableSegment.h"
#include "MXFStream.h"
#include "MxfTestBytes.h"
#include "ParseMetaData.h"
#include "PartitionPack.h"
#include "STMetadataSets.h"
#include "ScratchFolder.h"
#include "TestFiles.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace mxftest {

// A stream over `bytes` (not copied: they must outlive it).
inline ComVantoVantoQZ64RADPlug::CUSharedPtr<ComVantoVantoQZ64RADPlug::CUStream> Stream(
    const std::vector<uint8_t>& bytes) {
    using namespace ComVantoVantoQZ64RADPlug;
    return CUSharedPtr<CUStream>(
        new CUMemoryStream(const_cast<uint8_t*>(bytes.data()), static_cast<uint64_t>(bytes.size()), false));
}

// A local set parsed from `value` under `key`; empty when it does not parse.
inline ComVantoVantoQZ64RADPlug::CUSharedPtr<ComVantoVantoQZ64RADPlug::STMetadataSets> MakeSet(
    const std::vector<uint8_t>& value, const Key16& key) {
    using namespace ComVantoVantoQZ64RADPlug;
    Bytes file;
    file.klv(key, value);
    ParseMetaData reader(Stream(file));
    CUSharedPtr<STMetadataSets> set(new STMetadataSets());
    return reader.ParsePacket(CUSharedPtr<KLVPacket>(set)) ? set : nullptr;
}

// A file: a partition pack at `at` (fill before it), its value, then `tail` bytes.
inline Bytes FileWithPack(uint64_t at, const Bytes& value, size_t tail,
                          const Key16& key = kBodyPartitionKey) {
    Bytes file;
    file.fill(at);
    file.klv(key, value);
    file.fill(tail);
    return file;
}

// The partition pack at `at` of what `reader` reads; empty when none is there.
inline ComVantoVantoQZ64RADPlug::CUSharedPtr<ComVantoVantoQZ64RADPlug::PartitionPack> PackAt(
    ComVantoVantoQZ64RADPlug::ParseMetaData& reader, uint64_t at) {
    using namespace ComVantoVantoQZ64RADPlug;
    CUSharedPtr<PartitionPack> pack(new PartitionPack());
    if (!reader.SetOffset(static_cast<int64_t>(at), 0) || !reader.ParsePacket(CUSharedPtr<KLVPacket>(pack)))
        return nullptr;
    return pack;
}
inline ComVantoVantoQZ64RADPlug::CUSharedPtr<ComVantoVantoQZ64RADPlug::PartitionPack> PackAt(
    const std::vector<uint8_t>& file, uint64_t at = 0) {
    ComVantoVantoQZ64RADPlug::ParseMetaData reader(Stream(file));
    return PackAt(reader, at);
}

// Reads the key and length of `packet` from a file holding only it, then
// imports its value; 0xFFFFFFFF when the key and length do not read.
template <class Packet>
uint32_t ImportValue(Packet& packet, const Key16& key, const Bytes& value) {
    Bytes file;
    file.klv(key, value);
    ComVantoVantoQZ64RADPlug::ParseMetaData reader(Stream(file));
    if (!reader.ParseKeyAndLength(&packet)) return 0xFFFFFFFF;
    return packet.Import(reader.Stream(), packet.ValueOffset());
}

// A stream of the MXF file at `path`; throws when it does not open.
inline ComVantoVantoQZ64RADPlug::CUSharedPtr<ComVantoVantoQZ64RADPlug::MXFStream> OpenMxf(
    const std::string& path) {
    using namespace ComVantoVantoQZ64RADPlug;
    return CUSharedPtr<MXFStream>(new MXFStream(CUStringMac::Create(path.c_str())));
}

using qztest::ReadFile;
using qztest::WriteFile;

// The value of a local set with 2-byte tags and lengths, item by item.
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

// Instance UID n.
inline Bytes Uid(uint8_t n) {
    Bytes u(16, 0);
    u[0] = 0xA0;
    u[15] = n;
    return u;
}

// An index table segment: edit units from `start`, the entries given (the
// stream offset and the slice offsets counting up from `slice`), two delta
// entries; IndexSID 1, BodySID 2.
struct IndexEntry {
    int8_t t, k;
    uint8_t flags;
    uint64_t stream;
    uint32_t slice;
};

struct SegmentSpec {
    int64_t start = 100;
    int64_t duration = 3;
    uint8_t nsl = 1;
    bool npePresent = false;
    uint8_t npe = 0;
    std::vector<IndexEntry> entries{
        {0, 0, 0xC0, 0, 5000}, {2, -1, 0x22, 9000, 4000}, {-1, -2, 0x33, 15000, 3000}};
    // Overrides of the index entry batch header (count, length).
    int64_t entryCount = -1, entryLength = -1;
    bool delta = true;
    uint32_t deltaCount = 2;
    uint16_t sliceCountTag = 0x3F08;  // another tag: the required item is missing
};

inline Bytes SegmentKLV(const SegmentSpec& s) {
    LocalSet set;
    set.Item(0x3C0A, Uid(9))
        .Rational(0x3F0B, 25, 1)
        .U64(0x3F0C, uint64_t(s.start))
        .U64(0x3F0D, uint64_t(s.duration))
        .U32(0x3F05, 0)
        .U32(0x3F06, 1)
        .U32(0x3F07, 2)
        .U8(s.sliceCountTag, s.nsl);
    if (s.npePresent) set.U8(0x3F0E, s.npe);
    if (s.delta) {
        // Element 0 in slice 0 at delta 0, element 1 in slice 1 at delta 20.
        set.Item(0x3F09, Bytes().u32(s.deltaCount).u32(6).u8(0).u8(0).u32(0).u8(0).u8(1).u32(20));
    }
    const uint32_t length = 11 + 4u * s.nsl + 8u * s.npe;
    Bytes e;
    e.u32(s.entryCount >= 0 ? uint32_t(s.entryCount) : uint32_t(s.entries.size()));
    e.u32(s.entryLength >= 0 ? uint32_t(s.entryLength) : length);
    for (const IndexEntry& x : s.entries) {
        e.u8(uint8_t(x.t)).u8(uint8_t(x.k)).u8(x.flags).u64(x.stream);
        for (uint8_t i = 0; i < s.nsl; ++i) e.u32(x.slice + i);
        for (uint8_t i = 0; i < s.npe; ++i) e.u64(0x0000000100000002ull);
    }
    set.Item(0x3F0A, e);
    Bytes klv;
    klv.klv(kIndexSegmentKey, set.value, 3);
    return klv;
}

// The segment `spec` describes, imported; empty when ParsePacket refuses it.
inline ComVantoVantoQZ64RADPlug::CUSharedPtr<ComVantoVantoQZ64RADPlug::IndexTableSegment> ImportSegment(
    const SegmentSpec& spec) {
    using namespace ComVantoVantoQZ64RADPlug;
    const Bytes klv = SegmentKLV(spec);
    ParseMetaData reader(Stream(klv));
    CUSharedPtr<IndexTableSegment> segment(new IndexTableSegment());
    return reader.ParsePacket(segment.get()) ? segment : nullptr;
}

// What `size` bytes from `offset` of `stream` read as in reads of `piece`
// bytes (below a cache block, so every byte comes through the block cache),
// up to the first short one.
inline std::vector<uint8_t> ReadInPieces(ComVantoVantoQZ64RADPlug::CUStream& stream, uint64_t offset,
                                         uint64_t size, uint64_t piece = 4096) {
    std::vector<uint8_t> out(size);
    uint64_t done = 0;
    while (done < size) {
        const uint64_t want = std::min(piece, size - done);
        const uint64_t got = stream.Read(out.data() + done, want, int64_t(offset + done),
                                         ComVantoVantoQZ64RADPlug::kCUStreamSeekBegin);
        done += got;
        if (got < want) break;
    }
    out.resize(done);
    return out;
}

}  // namespace mxftest
