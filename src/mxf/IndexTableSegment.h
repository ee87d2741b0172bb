#pragma once
// One index table segment (SMPTE 377M): the edit units it covers, its delta
// entries and its index entries, kept as raw bytes and decoded only for the
// edit unit asked for. Filled once by Import; the entry reads take the
// segment reader's recursive lock, so a segment may be shared for reading.
#include "CUSharedPtr.h"
#include "KLVPacket.h"
#include "MxfTypes.h"

#include <cstdint>
#include <vector>

namespace ComVantoVantoQZ64RADPlug {

class CUMemoryStream;
class CUStringMac;
class ParseMetaData;

// One delta entry of item 0x3F09 (6 bytes in a file).
struct _IndexDeltaEntry {
    int8_t posTableIndex = 0;
    uint8_t slice = 0;
    uint32_t elementDelta = 0;
};

class IndexTableSegment : public KLVPacket {
public:
    IndexTableSegment();
    explicit IndexTableSegment(const KLVPacket& packet);
    ~IndexTableSegment() override;

    // True for an index table segment key.
    bool isImportable() const override;
    using KLVPacket::Import;
    // Reads the segment's items; 0x131001 (and an empty segment) when a
    // required item is missing or malformed or the index entries are
    // unusable. Missing or malformed delta entries are tolerated.
    uint32_t Import(const CUSharedPtr<CUStream>& stream, uint64_t offset) override;

    _Rational IndexEditRate() const { return m_IndexEditRate; }
    int64_t IndexStartPosition() const { return m_IndexStartPosition; }
    int64_t IndexDuration() const { return m_IndexDuration; }
    uint32_t EditUnitByteCount() const { return m_EditUnitByteCount; }
    uint32_t IndexSID() const { return m_IndexSID; }
    uint32_t BodySID() const { return m_BodySID; }
    uint8_t SliceCount() const { return m_SliceCount; }
    uint8_t PosTableCount() const { return m_PosTableCount; }
    uint32_t DeltaEntryCount() const { return static_cast<uint32_t>(m_DeltaEntries.size()); }
    const std::vector<_IndexDeltaEntry>& DeltaEntries() const { return m_DeltaEntries; }
    // Bytes per index entry (0 when the segment holds none).
    uint32_t IndexEntryLength() const { return m_IndexEntryLength; }
    // Number of index entries held.
    uint32_t IndexEntryCount() const { return m_IndexEntryCount; }

    // IndexStartPosition <= editUnit < IndexStartPosition + IndexDuration.
    bool isContainIndex(int64_t editUnit) const;

    // Edit units are absolute positions in the essence container. Each read
    // refuses an edit unit outside the segment, a negative one, and one
    // whose entry is not held.
    // Stream offset of element `element` of the edit unit's content package
    // (element 0 without delta entries is the content package's start).
    bool GetStreamOffset(int64_t editUnit, uint32_t element, uint64_t& streamOffset);
    bool GetTemporalOffset(int64_t editUnit, int8_t& temporalOffset);
    bool GetKeyFrameOffset(int64_t editUnit, int8_t& keyFrameOffset);
    bool GetFlags(int64_t editUnit, uint8_t& flags);

    // The fields, then "UNIT(%lld) = T:%d K:%d F:%02hhX O:" per edit unit
    // with its stream offset and slice offsets.
    CUSharedPtr<CUStringMac> Description() const override;

private:
    void Reset();
    // Byte position of the entry of editUnit in the kept entries; false when
    // the edit unit is refused.
    bool EntryPosition(int64_t editUnit, uint64_t& position) const;

    _Rational m_IndexEditRate;
    int64_t m_IndexStartPosition = 0;
    int64_t m_IndexDuration = 0;
    uint32_t m_EditUnitByteCount = 0;
    uint32_t m_IndexSID = 0;
    uint32_t m_BodySID = 0;
    uint8_t m_SliceCount = 0;
    uint8_t m_PosTableCount = 0;
    std::vector<_IndexDeltaEntry> m_DeltaEntries;
    uint32_t m_IndexEntryLength = 0;
    uint32_t m_IndexEntryCount = 0;
    CUSharedPtr<CUMemoryStream> m_IndexEntries;
    CUSharedPtr<ParseMetaData> m_EntryReader;
};

}  // namespace ComVantoVantoQZ64RADPlug
