#pragma once
// A partition pack (header, body or footer) and the file positions derived
// from it. Filled once by Import, then only read.
#include "CUMutableArray.h"
#include "CUSharedPtr.h"
#include "KLVPacket.h"
#include "MxfUUID.h"

#include <cstdint>

namespace ComVantoVantoQZ64RADPlug {

class CUStringMac;

class PartitionPack : public KLVPacket {
public:
    // HeaderOffset / IndexOffset when there is no such region (or it cannot lie
    // in the file).
    static constexpr uint64_t kNoOffset = 0xFFFFFFFFFFFFFFFFull;

    PartitionPack();
    explicit PartitionPack(const KLVPacket& packet);
    ~PartitionPack() override;

    // Header, body or footer partition key.
    bool isImportable() const override;
    using KLVPacket::Import;
    // 0x130001 without a stream, 0x130002 without a reader, 0x131001 for a
    // short value, a missing operational pattern or a label batch that does
    // not fit in the pack.
    uint32_t Import(const CUSharedPtr<CUStream>& stream, uint64_t offset) override;

    uint16_t MajorVersion() const { return m_MajorVersion; }
    uint16_t MinorVersion() const { return m_MinorVersion; }
    uint32_t KAGSize() const { return m_KAGSize; }
    uint64_t ThisPartition() const { return m_ThisPartition; }
    uint64_t PreviousPartition() const { return m_PreviousPartition; }
    uint64_t FooterPartition() const { return m_FooterPartition; }
    uint64_t HeaderByteCount() const { return m_HeaderByteCount; }
    uint64_t IndexByteCount() const { return m_IndexByteCount; }
    uint32_t IndexSID() const { return m_IndexSID; }
    // Position of the partition's first essence byte in its container stream.
    uint64_t BodyOffset() const { return m_BodyOffset; }
    uint32_t BodySID() const { return m_BodySID; }
    CUSharedPtr<MxfUUID> OperationalPattern() const;
    uint32_t EssenceCount() const;
    // Empty when index is out of range.
    CUSharedPtr<MxfUUID> EssenceAtIndex(uint32_t index) const;

    // Derived file positions. The partition's header metadata starts at the
    // end of the pack's KLV rounded up to the KAG (counted from
    // ThisPartition; no rounding when KAG <= 1) - ThisPartition + KAGSize when
    // the pack fits in one KAG. Index segments follow the header metadata,
    // essence follows the index.
    // HeaderOffset: kNoOffset when HeaderByteCount is 0.
    uint64_t HeaderOffset() const;
    // IndexOffset: kNoOffset when IndexByteCount is 0.
    uint64_t IndexOffset() const;
    // ContentOffset: always defined for a sound pack.
    // All three are kNoOffset when the sums overflow or the region they start
    // would pass the end of the file the pack was read from.
    uint64_t ContentOffset() const;

    CUSharedPtr<CUStringMac> Description() const override;

private:
    // Start of the header metadata (see above), or kNoOffset.
    uint64_t RegionBase() const;
    // base + a + b when the sum neither overflows nor passes the file end.
    uint64_t CheckedEnd(uint64_t base, uint64_t a, uint64_t b) const;
    void Reset();

    uint16_t m_MajorVersion = 0;
    uint16_t m_MinorVersion = 0;
    uint32_t m_KAGSize = 0;
    uint64_t m_ThisPartition = 0;
    uint64_t m_PreviousPartition = 0;
    uint64_t m_FooterPartition = 0;
    uint64_t m_HeaderByteCount = 0;
    uint64_t m_IndexByteCount = 0;
    uint32_t m_IndexSID = 0;
    uint64_t m_BodyOffset = 0;
    uint32_t m_BodySID = 0;
    CUSharedPtr<MxfUUID> m_OperationalPattern;
    CUSharedPtr<CUMutableArray> m_EssenceContainers;
    // Length of the stream at import: derived positions never pass it.
    uint64_t m_FileLength = 0;
    bool m_Imported = false;
};

}  // namespace ComVantoVantoQZ64RADPlug
