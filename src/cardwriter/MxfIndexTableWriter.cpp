#include "MxfIndexTableWriter.h"

#include "MxfWriterLabels.h"

#include <stdexcept>

namespace ComVantoVantoQZ64RADPlug::CardWriter {

namespace {
size_t EntryLength(uint8_t sliceCount, bool badEntryLength) {
    return 11 + 4 * size_t{sliceCount} + (badEntryLength ? 1 : 0);
}
}  // namespace

size_t MxfIndexTableWriter::SegmentSize(size_t deltaCount, uint8_t sliceCount, size_t entryCount,
                                        bool badEntryLength) {
    const size_t fixedItems = (4 + 16) + (4 + 8) * 3 + (4 + 4) * 3 + (4 + 1) * 2;
    const size_t deltaItem = 4 + 8 + 6 * deltaCount;
    const size_t entryItem = 4 + 8 + EntryLength(sliceCount, badEntryLength) * entryCount;
    return MxfKlvWriter::kKlvHeaderSize + fixedItems + deltaItem + entryItem;
}

void MxfIndexTableWriter::Write(MxfKlvWriter& out, const MxfIndexSegment& segment) {
    if (segment.entries.size() > kMaxEntries)
        throw std::length_error("MXF index segment with too many entries");
    if (segment.sliceCount > 1)
        throw std::invalid_argument("MXF index segment: at most one slice is supported");
    const size_t entryLength = EntryLength(segment.sliceCount, segment.badEntryLength);

    const size_t start = out.BeginKlv(MxfLabels::kIndexTableSegment);
    out.ItemBytes(0x3C0A, segment.instanceUid);
    out.ItemRational(0x3F0B, segment.editRateNumerator, segment.editRateDenominator);
    out.ItemU64(0x3F0C, static_cast<uint64_t>(segment.startPosition));
    out.ItemU64(0x3F0D, segment.entries.size());
    out.ItemU32(0x3F05, 0);  // variable edit unit size: the entries say where each one is
    out.ItemU32(0x3F06, segment.indexSid);
    out.ItemU32(0x3F07, segment.bodySid);
    out.ItemU8(0x3F08, segment.sliceCount);
    out.ItemU8(0x3F0E, 0);

    out.U16(0x3F09);
    out.U16(static_cast<uint16_t>(8 + 6 * segment.deltas.size()));
    out.U32(static_cast<uint32_t>(segment.deltas.size()));
    out.U32(6);
    for (const MxfDeltaEntry& d : segment.deltas) {
        out.U8(static_cast<uint8_t>(d.posTableIndex));
        out.U8(d.slice);
        out.U32(d.elementDelta);
    }

    out.U16(0x3F0A);
    out.U16(static_cast<uint16_t>(8 + entryLength * segment.entries.size()));
    out.U32(static_cast<uint32_t>(segment.entries.size()));
    out.U32(static_cast<uint32_t>(entryLength));
    for (const MxfIndexEntry& e : segment.entries) {
        out.U8(static_cast<uint8_t>(e.temporalOffset));
        out.U8(static_cast<uint8_t>(e.keyFrameOffset));
        out.U8(e.flags);
        out.U64(e.streamOffset);
        if (segment.sliceCount > 0) out.U32(e.sliceOffset);
        if (segment.badEntryLength) out.U8(0);
    }
    out.EndKlv(start);
}

}  // namespace ComVantoVantoQZ64RADPlug::CardWriter
