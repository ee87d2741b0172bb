// MxfIndexTableWriter: codes one index table segment (SMPTE 377M) for the
// edit units of a body partition: delta entries for the elements of a content
// package and one index entry per edit unit with temporal offset, key-frame
// offset, flags, stream offset and slice offsets.
// Thread-safety: stateless; safe from any thread.
#pragma once

#include "MxfKlvWriter.h"

#include <cstdint>
#include <vector>

namespace ComVantoVantoQZ64RADPlug::CardWriter {

struct MxfDeltaEntry {
    int8_t posTableIndex = 0;  // -1: the element is temporally reordered
    uint8_t slice = 0;
    uint32_t elementDelta = 0;  // bytes from the start of the slice
};

struct MxfIndexEntry {
    int8_t temporalOffset = 0;
    int8_t keyFrameOffset = 0;
    uint8_t flags = 0;
    uint64_t streamOffset = 0;  // of the content package in the essence container
    uint32_t sliceOffset = 0;   // slice 1 from the content package start (used when the slice count is 1)
};

struct MxfIndexSegment {
    MxfKey instanceUid{};
    int32_t editRateNumerator = 0;
    int32_t editRateDenominator = 1;
    int64_t startPosition = 0;
    uint32_t indexSid = 1;
    uint32_t bodySid = 2;
    uint8_t sliceCount = 0;  // 0 or 1
    std::vector<MxfDeltaEntry> deltas;
    std::vector<MxfIndexEntry> entries;
    bool badEntryLength = false;  // entry length one byte too long (negative tests)
};

class MxfIndexTableWriter {
public:
    // Most index entries one segment can hold: the entry array's 2-byte item
    // length limits it.
    static constexpr size_t kMaxEntries = 4000;

    // Bytes Write will append for a segment of `entryCount` entries.
    static size_t SegmentSize(size_t deltaCount, uint8_t sliceCount, size_t entryCount, bool badEntryLength);
    // Appends the segment as one KLV. Throws std::length_error beyond kMaxEntries.
    static void Write(MxfKlvWriter& out, const MxfIndexSegment& segment);
};

}  // namespace ComVantoVantoQZ64RADPlug::CardWriter
