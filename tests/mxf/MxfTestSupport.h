#pragma once
// Shared helpers of the MXF reader tests: hand-made bytes as a stream,
// local sets, whole-file reads and writes, with the project's scratch folders and peer
// tools.
#include "CUMemoryStream.h"
#include "CUSharedPtr.h"
#include "CUStream.h"
#include "ExternalTool.h"
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
