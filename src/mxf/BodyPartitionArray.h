#pragma once
// The body partitions of one file that carry essence, in file order, each
// completed lazily (partition pack read, index segment attached) the first
// time one of its edit units is asked for. Not synchronised: the owning
// MXFStream holds its reader's lock around every use.
#include "CUObject.h"
#include "CUSharedPtr.h"
#include "IndexTableSegment.h"

#include <cstdint>
#include <vector>

namespace ComVantoVantoQZ64RADPlug {

class CUStringMac;
class PartitionPack;
class RandomIndexPack;

// Flags of a record; a record is complete (answers lookups) at 15.
enum : uint8_t {
    kBodyPartitionFileOffsetKnown = 0x01,
    kBodyPartitionPackRead = 0x02,
    kBodyPartitionEssenceOffsetKnown = 0x04,
    kBodyPartitionSegmentAttached = 0x08,
    kBodyPartitionComplete = 0x0F,
};

struct _BodyPartitionInfo {
    uint8_t flags = 0;
    // File offset of the body partition pack.
    uint64_t fileOffset = 0;
    // The pack's BodyOffset.
    uint64_t streamOffset = 0;
    // The pack's ContentOffset.
    uint64_t essenceOffset = 0;
    // Index table segment describing this partition's essence.
    CUSharedPtr<IndexTableSegment> segment;
};

class BodyPartitionArray : public CUObject {
public:
    // BodySID of the essence the camera writes.
    static constexpr uint32_t kEssenceBodySID = 2;

    BodyPartitionArray();
    ~BodyPartitionArray() override;

    uint32_t Count() const { return static_cast<uint32_t>(m_Records.size()); }
    void Clear();
    // A record with flags 1, that file offset, zero offsets, no segment.
    void AddBack(uint64_t fileOffset);
    void AddFront(uint64_t fileOffset);

    // 0x130001 without a pack. Otherwise clears, then appends, in order, the
    // offset of every entry whose BodySID is bodySID; stops at the first
    // entry that cannot be read; 0.
    uint32_t SetFromRandomIndexPack(const CUSharedPtr<RandomIndexPack>& pack,
                                    uint32_t bodySID = kEssenceBodySID);
    // 1 (refused) for an index out of range, no pack, a pack whose
    // ThisPartition differs from the record's file offset, or a pack whose
    // ContentOffset cannot lie in the file; else takes BodyOffset and
    // ContentOffset, sets flags 2 and 4 and returns 0.
    uint32_t SetBodyPartitionData(uint32_t index, const CUSharedPtr<PartitionPack>& pack);
    // Attaches the segment and sets flag 8 (nothing for a null segment or an
    // index out of range).
    void SetIndexTableSegment(uint32_t index, const CUSharedPtr<IndexTableSegment>& segment);

    bool InfoFlagAtIndex(uint32_t index, uint8_t& flags) const;
    bool FileOffsetAtIndex(uint32_t index, uint64_t& fileOffset) const;
    // The attached segment's (IndexStartPosition, IndexDuration);
    // (0x7FFFFFFFFFFFFFFF, 0) out of range or without a segment.
    void EditUnitRangeAtIndex(uint32_t index, int64_t& start, int64_t& count) const;
    // The first record whose attached segment contains the edit unit.
    bool GetContainIndex(int64_t editUnit, uint32_t& index) const;

    // File offset of element `element` of an edit unit: essenceOffset -
    // streamOffset + the segment's stream offset (complete records only).
    bool GetStreamOffset(int64_t editUnit, uint32_t element, uint64_t& fileOffset) const;
    bool GetFlags(int64_t editUnit, uint8_t& flags) const;
    bool GetKeyFrameOffset(int64_t editUnit, int8_t& offset) const;
    bool GetTemporalOffset(int64_t editUnit, int8_t& offset) const;

    // "{\n", one "fileOffset = ..., streamOffset = ..., essenceOffset = ...\n"
    // line per record, "}".
    CUSharedPtr<CUStringMac> Description() const override;

private:
    // The complete record holding the edit unit, or null.
    const _BodyPartitionInfo* CompleteRecordFor(int64_t editUnit) const;

    std::vector<_BodyPartitionInfo> m_Records;
};

}  // namespace ComVantoVantoQZ64RADPlug
