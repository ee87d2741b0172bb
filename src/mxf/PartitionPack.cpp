#include "PartitionPack.h"

#include "CUMutableArray.h"
#include "CUStream.h"
#include "CUStringMac.h"
#include "ParseMetaData.h"

#include <cstdint>
#include <cstdio>
#include <new>
#include <string>

namespace ComVantoVantoQZ64RADPlug {

namespace {
// Fixed fields before the essence container label batch.
constexpr uint64_t kFixedFieldBytes = 80;
constexpr uint64_t kBatchHeaderBytes = 8;
}  // namespace

PartitionPack::PartitionPack() = default;
PartitionPack::PartitionPack(const KLVPacket& packet) : KLVPacket(packet) {}
PartitionPack::~PartitionPack() = default;

bool PartitionPack::isImportable() const {
    const uint32_t type = PacketType();
    return type == kMxfKeyHeaderPartition || type == kMxfKeyBodyPartition || type == kMxfKeyFooterPartition;
}

void PartitionPack::Reset() {
    m_MajorVersion = m_MinorVersion = 0;
    m_KAGSize = 0;
    m_ThisPartition = m_PreviousPartition = m_FooterPartition = 0;
    m_HeaderByteCount = m_IndexByteCount = 0;
    m_IndexSID = m_BodySID = 0;
    m_BodyOffset = 0;
    m_OperationalPattern = nullptr;
    m_EssenceContainers = nullptr;
    m_FileLength = 0;
    m_Imported = false;
}

uint32_t PartitionPack::Import(const CUSharedPtr<CUStream>& stream, uint64_t offset) {
    Reset();
    if (!stream) return kMxfErrInvalidArgument;
    CUSharedPtr<ParseMetaData> reader;
    try {
        reader = CUSharedPtr<ParseMetaData>(new ParseMetaData(stream));
    } catch (const std::bad_alloc&) {
        return kMxfErrAuxiliaryObject;
    }
    if (offset > static_cast<uint64_t>(INT64_MAX) || !reader->SetOffset(static_cast<int64_t>(offset), 0))
        return kMxfErrFormat;
    // A keyed pack bounds its label batch; the fixed fields must fit in it.
    uint64_t batchBytes = UINT64_MAX;
    if (m_Length != 0) {
        if (m_Length < kFixedFieldBytes + kBatchHeaderBytes) return kMxfErrFormat;
        batchBytes = m_Length - kFixedFieldBytes;
    }
    const bool ok = reader->GetUInt16(m_MajorVersion) && reader->GetUInt16(m_MinorVersion) &&
                    reader->GetUInt32(m_KAGSize) && reader->GetUInt64(m_ThisPartition) &&
                    reader->GetUInt64(m_PreviousPartition) && reader->GetUInt64(m_FooterPartition) &&
                    reader->GetUInt64(m_HeaderByteCount) && reader->GetUInt64(m_IndexByteCount) &&
                    reader->GetUInt32(m_IndexSID) && reader->GetUInt64(m_BodyOffset) &&
                    reader->GetUInt32(m_BodySID);
    if (!ok) {
        Reset();
        return kMxfErrFormat;
    }
    m_OperationalPattern = reader->GetUUID();
    if (m_OperationalPattern) m_EssenceContainers = reader->GetUUIDArray(batchBytes);
    if (!m_OperationalPattern || !m_EssenceContainers) {
        Reset();
        return kMxfErrFormat;
    }
    m_FileLength = stream->Length();
    m_Imported = true;
    return 0;
}

CUSharedPtr<MxfUUID> PartitionPack::OperationalPattern() const {
    return m_OperationalPattern;
}

uint32_t PartitionPack::EssenceCount() const {
    return m_EssenceContainers ? static_cast<uint32_t>(m_EssenceContainers->Count()) : 0;
}

CUSharedPtr<MxfUUID> PartitionPack::EssenceAtIndex(uint32_t index) const {
    if (!m_EssenceContainers) return nullptr;
    return m_EssenceContainers->ObjectAtIndex(index);
}

uint64_t PartitionPack::RegionBase() const {
    // The pack and its fill take whole KAGs: the header metadata starts at
    // the end of the pack's KLV rounded up to the KAG grid that starts at the
    // pack. A pack not read through its key has no known size: one KAG.
    const uint64_t klvEnd = NextOffset();
    uint64_t advance = m_KAGSize;
    if (klvEnd > m_Offset) {
        const uint64_t klvSize = klvEnd - m_Offset;
        advance = klvSize;
        if (m_KAGSize > 1) advance = (klvSize + m_KAGSize - 1) / m_KAGSize * m_KAGSize;
    }
    if (m_ThisPartition > UINT64_MAX - advance) return kNoOffset;
    return m_ThisPartition + advance;
}

uint64_t PartitionPack::CheckedEnd(uint64_t base, uint64_t a, uint64_t b) const {
    if (base == kNoOffset) return kNoOffset;
    if (a > UINT64_MAX - base) return kNoOffset;
    uint64_t end = base + a;
    if (b > UINT64_MAX - end) return kNoOffset;
    end += b;
    if (m_Imported && end > m_FileLength) return kNoOffset;
    return end;
}

uint64_t PartitionPack::HeaderOffset() const {
    if (m_HeaderByteCount == 0) return kNoOffset;
    const uint64_t base = RegionBase();
    if (CheckedEnd(base, m_HeaderByteCount, 0) == kNoOffset) return kNoOffset;
    return base;
}

uint64_t PartitionPack::IndexOffset() const {
    if (m_IndexByteCount == 0) return kNoOffset;
    const uint64_t base = RegionBase();
    if (CheckedEnd(base, m_HeaderByteCount, m_IndexByteCount) == kNoOffset) return kNoOffset;
    return CheckedEnd(base, m_HeaderByteCount, 0);
}

uint64_t PartitionPack::ContentOffset() const {
    return CheckedEnd(RegionBase(), m_HeaderByteCount, m_IndexByteCount);
}

CUSharedPtr<CUStringMac> PartitionPack::Description() const {
    char text[512];
    CUSharedPtr<CUStringMac> op = m_OperationalPattern ? m_OperationalPattern->Description() : nullptr;
    std::snprintf(text, sizeof text,
                  "PartitionPack type = %08X, version = %u.%u, KAGSize = %u, ThisPartition = %016llX, "
                  "PreviousPartition = %016llX, FooterPartition = %016llX, HeaderByteCount = %llu, "
                  "IndexByteCount = %llu, IndexSID = %u, BodyOffset = %llu, BodySID = %u, "
                  "OperationalPattern = %s, EssenceContainers = %u",
                  PacketType(), m_MajorVersion, m_MinorVersion, m_KAGSize,
                  static_cast<unsigned long long>(m_ThisPartition),
                  static_cast<unsigned long long>(m_PreviousPartition),
                  static_cast<unsigned long long>(m_FooterPartition),
                  static_cast<unsigned long long>(m_HeaderByteCount),
                  static_cast<unsigned long long>(m_IndexByteCount), m_IndexSID,
                  static_cast<unsigned long long>(m_BodyOffset), m_BodySID,
                  op ? static_cast<const char*>(*op) : "<NULL>", EssenceCount());
    return CUStringMac::Create(text);
}

}  // namespace ComVantoVantoQZ64RADPlug
