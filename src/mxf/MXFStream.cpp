#include "MXFStream.h"

#include "BodyPartitionArray.h"
#include "CUArray.h"
#include "CUAutoLock.h"
#include "CUMutableArray.h"
#include "CUStream.h"
#include "CUStringMac.h"
#include "CacheFileStream.h"
#include "HeaderMetadata.h"
#include "IndexTableSegment.h"
#include "KLVPacket.h"
#include "MDValue.h"
#include "ParseMetaData.h"
#include "PartitionPack.h"
#include "PrimerPack.h"
#include "RandomIndexPack.h"
#include "STMetadataSets.h"
#include "STTrack.h"
#include "StreamFileSequenceInfo.h"

#include <cstdint>
#include <new>

namespace ComVantoVantoQZ64RADPlug {

namespace {
// The search for the partition of an edit unit gives up after this many
// neighbouring partitions.
constexpr int kMaxIndexSearchSteps = 100;

bool IsStructuralSet(uint32_t keyType) {
    return (keyType & 0xFFFF0000u) == kMxfKeyStructuralSet;
}

// Positions the reader at an absolute file offset.
bool SeekTo(ParseMetaData& reader, uint64_t offset) {
    return offset <= static_cast<uint64_t>(INT64_MAX) && reader.SetOffset(static_cast<int64_t>(offset), 0);
}
}  // namespace

MXFStream::MXFStream(const CUSharedPtr<CUStringMac>& path) {
    if (!path) throw "MXFStream init error";
    CUSharedPtr<CacheFileStream> file = CacheFileStream::Create(path);
    if (!file) throw "MXFStream init error";
    InitWithStream(CUSharedPtr<CUStream>(file));
}

MXFStream::MXFStream(const CUSharedPtr<CUStream>& stream) {
    if (!stream) throw "MXFStream init error";
    InitWithStream(stream);
}

void MXFStream::InitWithStream(const CUSharedPtr<CUStream>& stream) {
    try {
        m_FileStream = stream;
        m_Reader = CUSharedPtr<ParseMetaData>(new ParseMetaData(stream));
        m_BodyPartitions = CUSharedPtr<BodyPartitionArray>(new BodyPartitionArray());
        m_Packet = CUSharedPtr<KLVPacket>(new KLVPacket());
        m_HeaderMetadata = CUSharedPtr<HeaderMetadata>(new HeaderMetadata());
    } catch (...) {
        throw "MXFStream init error";
    }
    m_Duration = 0;
}

MXFStream::~MXFStream() = default;

int64_t MXFStream::Duration() const {
    return m_Duration;
}
CUSharedPtr<HeaderMetadata> MXFStream::GetHeaderMetadata() const {
    return m_HeaderMetadata;
}
CUSharedPtr<StreamFileSequenceInfo> MXFStream::GetStreamFileSequenceInfo() const {
    return m_SequenceInfo;
}

uint32_t MXFStream::Parse() {
    CUAutoLock guard(static_cast<CULockAbstract*>(m_Reader.get()));
    m_EssenceBodySID = kCameraBodySID;
    const bool haveRIP = ReadRandomIndexPack() == 0;
    if (haveRIP) {
        const uint32_t result = m_BodyPartitions->SetFromRandomIndexPack(m_RandomIndexPack, kCameraBodySID);
        if (result != 0) return result;
    }
    if (uint32_t result = ReadHeaderPartitionPack(); result != 0) return result;
    if (!haveRIP) (void)ConstructBodyPartitionArrayFromStream(kCameraBodySID);
    if (uint32_t result = ParseHeaderPartition(); result != 0) return result;

    // Other writers put their essence under another BodySID (ffmpeg uses 1):
    // take the one the first essence container data set names.
    if (m_BodyPartitions->Count() == 0) {
        CUSharedPtr<MDValue> sid =
            CUDynamicCast<MDValue>(m_HeaderMetadata->EssenceContainerDataForTag(kLocalTag_BodySID, 0));
        uint32_t bodySID = 0;
        try {
            if (sid) bodySID = static_cast<unsigned int>(*sid);
        } catch (...) {
            bodySID = 0;
        }
        if (bodySID != 0 && bodySID != kCameraBodySID) {
            m_EssenceBodySID = bodySID;
            (void)FillBodyPartitions(bodySID);
        }
    }

    CUSharedPtr<STTrack> track = m_HeaderMetadata->TrackForIndex(0, 0);
    if (!track) return kMxfErrFormat;
    m_Duration = track->Duration();
    return 0;
}

uint32_t MXFStream::FillBodyPartitions(uint32_t bodySID) {
    m_BodyPartitions->Clear();
    if (m_RandomIndexPack) return m_BodyPartitions->SetFromRandomIndexPack(m_RandomIndexPack, bodySID);
    return ConstructBodyPartitionArrayFromStream(bodySID);
}

uint32_t MXFStream::ReadRandomIndexPack() {
    CUAutoLock guard(static_cast<CULockAbstract*>(m_Reader.get()));
    m_RandomIndexPack = nullptr;
    CUSharedPtr<RandomIndexPack> pack(new (std::nothrow) RandomIndexPack());
    if (!pack) return kMxfErrAuxiliaryObject;
    uint32_t overall = 0;
    if (!m_Reader->SetOffset(-4, 2) || !m_Reader->GetUInt32(overall)) return kMxfErrFormat;
    if (!m_Reader->SetOffset(-static_cast<int64_t>(overall), 2)) return kMxfErrFormat;
    if (!m_Reader->ParsePacket(pack.get())) return kMxfErrFormat;
    m_RandomIndexPack = pack;
    return 0;
}

uint32_t MXFStream::ReadHeaderPartitionPack() {
    CUAutoLock guard(static_cast<CULockAbstract*>(m_Reader.get()));
    m_HeaderPartition = nullptr;
    CUSharedPtr<PartitionPack> pack(new (std::nothrow) PartitionPack());
    if (!pack) return kMxfErrAuxiliaryObject;
    uint64_t first = 0;
    if (m_RandomIndexPack && m_RandomIndexPack->Count() > 0 &&
        m_RandomIndexPack->GetOffsetAtIndex(0, first) && SeekTo(*m_Reader, first) &&
        m_Reader->ParsePacket(pack.get()) && pack->PacketType() == kMxfKeyHeaderPartition) {
        m_HeaderPartition = pack;
        return 0;
    }
    // Scan the file from its start for the header partition pack.
    if (!m_Reader->SetOffset(0, 0)) return kMxfErrFormat;
    for (;;) {
        if (!m_Reader->ParseKeyAndLength(m_Packet.get())) return kMxfErrFormat;
        const uint32_t type = m_Packet->PacketType();
        if (type == kMxfKeyHeaderPartition) break;
        if (type == kMxfKeyNone) return kMxfErrFormat;
        if (!SeekTo(*m_Reader, m_Packet->NextOffset())) return kMxfErrFormat;
    }
    CUSharedPtr<PartitionPack> found(new (std::nothrow) PartitionPack(*m_Packet));
    if (!found || !m_Reader->ParsePacketValue(found.get())) return kMxfErrFormat;
    m_HeaderPartition = found;
    return 0;
}

uint32_t MXFStream::ConstructBodyPartitionArrayFromStream(uint32_t bodySID) {
    CUAutoLock guard(static_cast<CULockAbstract*>(m_Reader.get()));
    if (!m_HeaderPartition) return kMxfErrFormat;
    uint64_t at = m_HeaderPartition->FooterPartition();
    for (;;) {
        CUSharedPtr<PartitionPack> pack(new (std::nothrow) PartitionPack());
        if (!pack) return kMxfErrAuxiliaryObject;
        if (!SeekTo(*m_Reader, at) || !m_Reader->ParsePacket(pack.get())) return kMxfErrFormat;
        if (pack->BodySID() == bodySID) m_BodyPartitions->AddFront(at);
        const uint64_t previous = pack->PreviousPartition();
        if (previous == 0) return 0;
        // Every link must lead strictly backwards, else the walk would never end.
        if (previous >= at) return kMxfErrFormat;
        at = previous;
    }
}

uint32_t MXFStream::ReadBodyPartitionInfo(uint32_t record) {
    CUAutoLock guard(static_cast<CULockAbstract*>(m_Reader.get()));
    uint64_t at = 0;
    if (!m_BodyPartitions->FileOffsetAtIndex(record, at)) return kMxfErrFormat;
    CUSharedPtr<PartitionPack> pack(new (std::nothrow) PartitionPack());
    if (!pack) return kMxfErrAuxiliaryObject;
    if (!SeekTo(*m_Reader, at) || !m_Reader->ParsePacket(pack.get())) return kMxfErrFormat;
    return m_BodyPartitions->SetBodyPartitionData(record, pack);
}

uint32_t MXFStream::ParseHeaderPartition() {
    CUAutoLock guard(static_cast<CULockAbstract*>(m_Reader.get()));
    if (!m_HeaderPartition || m_HeaderPartition->HeaderByteCount() == 0) return kMxfErrFormat;
    const uint64_t start = m_HeaderPartition->HeaderOffset();
    if (start == PartitionPack::kNoOffset) return kMxfErrFormat;
    const uint64_t count = m_HeaderPartition->HeaderByteCount();
    if (count > UINT64_MAX - start) return kMxfErrFormat;
    const uint64_t end = start + count;
    if (!SeekTo(*m_Reader, start)) return kMxfErrFormat;

    while (m_Reader->offset() < end) {
        if (!m_Reader->ParseKeyAndLength(m_Packet.get())) return kMxfErrFormat;
        // A KLV running past the header metadata region is malformed: stop
        // before copying anything of it.
        if (m_Packet->NextOffset() > end) return kMxfErrFormat;
        const uint32_t type = m_Packet->PacketType();
        bool skip = true;
        if (IsStructuralSet(type)) {
            CUSharedPtr<STMetadataSets> set;
            try {
                set = CUSharedPtr<STMetadataSets>(new STMetadataSets(*m_Packet));
            } catch (...) {
                return kMxfErrAuxiliaryObject;
            }
            // A set that does not parse is left out; the read goes on.
            if (m_Reader->ParsePacketValue(set.get())) {
                m_HeaderMetadata->AddMetadata(set);
                skip = false;
            }
        } else if (type == kMxfKeyPrimerPack) {
            CUSharedPtr<PrimerPack> primer(new (std::nothrow) PrimerPack(*m_Packet));
            if (!primer || !m_Reader->ParsePacketValue(primer.get())) return kMxfErrFormat;
            m_HeaderMetadata->SetPrimerPack(primer);
            skip = false;
        } else if (type == kMxfKeySequenceInfoElement) {
            CUSharedPtr<StreamFileSequenceInfo> info(new (std::nothrow) StreamFileSequenceInfo(*m_Packet));
            if (info && m_Reader->ParsePacketValue(info.get())) {
                m_SequenceInfo = info;
                skip = false;
            }
        }
        if (skip && !SeekTo(*m_Reader, m_Packet->NextOffset())) return kMxfErrFormat;
    }
    return m_HeaderMetadata->Analyze();
}

CUSharedPtr<CUArray> MXFStream::GetIndexFromPartition(uint64_t offset) {
    CUAutoLock guard(static_cast<CULockAbstract*>(m_Reader.get()));
    CUSharedPtr<PartitionPack> pack(new (std::nothrow) PartitionPack());
    if (!pack || !SeekTo(*m_Reader, offset) || !m_Reader->ParsePacket(pack.get()))
        return CUSharedPtr<CUArray>();
    CUSharedPtr<CUMutableArray> segments(new (std::nothrow) CUMutableArray());
    if (!segments) return CUSharedPtr<CUArray>();
    if (pack->IndexByteCount() == 0) return CUSharedPtr<CUArray>(segments);
    const uint64_t start = pack->IndexOffset();
    const uint64_t count = pack->IndexByteCount();
    if (start == PartitionPack::kNoOffset || count > UINT64_MAX - start) return CUSharedPtr<CUArray>();
    const uint64_t end = start + count;
    if (!SeekTo(*m_Reader, start)) return CUSharedPtr<CUArray>();
    while (m_Reader->offset() < end) {
        if (!m_Reader->ParseKeyAndLength(m_Packet.get())) break;
        const uint32_t type = m_Packet->PacketType();
        if (type == kMxfKeyNone) break;
        // A KLV passing the end of the index region: the region is malformed.
        if (m_Packet->NextOffset() > end) return CUSharedPtr<CUArray>();
        bool skip = true;
        if (type == kMxfKeyIndexTableSegment) {
            CUSharedPtr<IndexTableSegment> segment(new (std::nothrow) IndexTableSegment(*m_Packet));
            if (segment && m_Reader->ParsePacketValue(segment.get())) {
                segments->AddObject(CUSharedPtr<CUObject>(segment));
                skip = false;
            }
        }
        if (skip && !SeekTo(*m_Reader, m_Packet->NextOffset())) break;
    }
    return CUSharedPtr<CUArray>(segments);
}

uint32_t MXFStream::ReadIndexTableAtPartition(uint32_t record) {
    CUAutoLock guard(static_cast<CULockAbstract*>(m_Reader.get()));
    if (record >= m_BodyPartitions->Count()) return kMxfErrFormat;
    // The index describing a body partition's essence sits in the partition
    // that follows it.
    uint64_t following = 0;
    if (record + 1 < m_BodyPartitions->Count()) {
        if (!m_BodyPartitions->FileOffsetAtIndex(record + 1, following)) return kMxfErrFormat;
    } else {
        if (!m_HeaderPartition) return kMxfErrFormat;
        following = m_HeaderPartition->FooterPartition();
    }
    uint8_t flags = 0;
    if (!m_BodyPartitions->InfoFlagAtIndex(record, flags)) return kMxfErrFormat;
    const uint8_t packBits = kBodyPartitionPackRead | kBodyPartitionEssenceOffsetKnown;
    if ((flags & packBits) != packBits && ReadBodyPartitionInfo(record) != 0) return kMxfErrFormat;
    CUSharedPtr<CUArray> segments = GetIndexFromPartition(following);
    if (!segments || segments->Count() == 0) return kMxfErrFormat;
    CUSharedPtr<IndexTableSegment> last = CUDynamicCast<IndexTableSegment>(segments->LastObject());
    if (!last) return kMxfErrFormat;
    m_BodyPartitions->SetIndexTableSegment(record, last);
    return 0;
}

uint32_t MXFStream::ReadIndexTable(int64_t editUnit) {
    CUAutoLock guard(static_cast<CULockAbstract*>(m_Reader.get()));
    const uint32_t records = m_BodyPartitions->Count();
    if (records == 0 || editUnit < 0 || m_Duration <= 0) return kMxfErrFormat;
    const int64_t span = (m_Duration + records - 1) / records;
    if (span <= 0) return kMxfErrFormat;
    int64_t i = editUnit / span;
    for (int step = 0; step < kMaxIndexSearchSteps; ++step) {
        if (i < 0 || i >= static_cast<int64_t>(records)) return kMxfErrFormat;
        const uint32_t record = static_cast<uint32_t>(i);
        uint8_t flags = 0;
        // A record keeps its segment once loaded.
        if (!m_BodyPartitions->InfoFlagAtIndex(record, flags) || flags != kBodyPartitionComplete) {
            if (uint32_t result = ReadIndexTableAtPartition(record); result != 0) return result;
        }
        int64_t start = 0, count = 0;
        m_BodyPartitions->EditUnitRangeAtIndex(record, start, count);
        if (count <= 0 || start == INT64_MAX) return kMxfErrFormat;
        const __int128 end = static_cast<__int128>(start) + count;
        if (start <= editUnit && editUnit < end) return 0;
        i += (editUnit >= end) ? 1 : -1;
    }
    // Not found within the allowed number of steps.
    return kMxfErrFormat;
}

bool MXFStream::GetTemporalOffsetAtIndex(int64_t editUnit, int8_t& value) {
    CUAutoLock guard(static_cast<CULockAbstract*>(m_Reader.get()));
    if (editUnit < 0 || editUnit >= m_Duration) return false;
    if (m_BodyPartitions->GetTemporalOffset(editUnit, value)) return true;
    return ReadIndexTable(editUnit) == 0 && m_BodyPartitions->GetTemporalOffset(editUnit, value);
}

bool MXFStream::GetKeyOffsetAtIndex(int64_t editUnit, int8_t& value) {
    CUAutoLock guard(static_cast<CULockAbstract*>(m_Reader.get()));
    if (editUnit < 0 || editUnit >= m_Duration) return false;
    if (m_BodyPartitions->GetKeyFrameOffset(editUnit, value)) return true;
    return ReadIndexTable(editUnit) == 0 && m_BodyPartitions->GetKeyFrameOffset(editUnit, value);
}

bool MXFStream::GetFlagsAtIndex(int64_t editUnit, uint8_t& flags) {
    CUAutoLock guard(static_cast<CULockAbstract*>(m_Reader.get()));
    if (editUnit < 0 || editUnit >= m_Duration) return false;
    if (m_BodyPartitions->GetFlags(editUnit, flags)) return true;
    return ReadIndexTable(editUnit) == 0 && m_BodyPartitions->GetFlags(editUnit, flags);
}

uint32_t MXFStream::GetEssenceOffset(int64_t editUnit, uint32_t element, uint64_t& fileOffset) {
    CUAutoLock guard(static_cast<CULockAbstract*>(m_Reader.get()));
    if (editUnit < 0 || editUnit >= m_Duration) return kMxfErrFormat;
    if (m_BodyPartitions->GetStreamOffset(editUnit, element, fileOffset)) return 0;
    if (ReadIndexTable(editUnit) == 0 && m_BodyPartitions->GetStreamOffset(editUnit, element, fileOffset))
        return 0;
    return kMxfErrFormat;
}

MXFEssenceRange MXFStream::RangeEssenceData(int64_t editUnit, uint32_t element) {
    const MXFEssenceRange none(kNoEssenceOffset, 0);
    CUAutoLock guard(static_cast<CULockAbstract*>(m_Reader.get()));
    if (editUnit < 0 || editUnit >= m_Duration) return none;
    uint64_t at = 0;
    if (GetEssenceOffset(editUnit, element, at) != 0) return none;
    if (!SeekTo(*m_Reader, at) || !m_Reader->ParseKeyAndLength(m_Packet.get())) return none;
    if (m_Packet->Key().GetKeyKind() != kMxfKeyEssenceElement) return none;
    return MXFEssenceRange(m_Packet->ValueOffset(), m_Packet->Length());
}

uint32_t MXFStream::ReadEssenceData(int64_t editUnit, uint32_t element, unsigned char* buffer,
                                    uint32_t size) {
    CUAutoLock guard(static_cast<CULockAbstract*>(m_Reader.get()));
    if (!buffer || editUnit < 0 || editUnit >= m_Duration) return 0;
    uint64_t at = 0;
    if (GetEssenceOffset(editUnit, element, at) != 0) return 0;
    if (!SeekTo(*m_Reader, at) || !m_Reader->ParseKeyAndLength(m_Packet.get())) return 0;
    const uint32_t type = m_Packet->PacketType();
    const bool essence = (type & 0xFF000000u) == kMxfKeyEssenceElement;
    if (!essence && type != kMxfKeySystemMetadataPack) return 0;
    const uint64_t n = m_Packet->Length();
    if (n > size) return 0;
    if (!m_Reader->GetBytes(buffer, n)) return 0;
    if (essence) return static_cast<uint32_t>(n);
    // A system item: its package metadata set follows the pack.
    if (!m_Reader->ParseKeyAndLength(m_Packet.get())) return static_cast<uint32_t>(n);
    if (m_Packet->PacketType() != kMxfKeyPackageMetadataSet) return static_cast<uint32_t>(n);
    const uint64_t m = m_Packet->Length();
    if (m > size - n) return static_cast<uint32_t>(n);
    if (!m_Reader->GetBytes(buffer + n, m)) return static_cast<uint32_t>(n);
    return static_cast<uint32_t>(n + m);
}

CUSharedPtr<StreamFileSequenceInfo> MXFStream::GetStreamFileSequenceInfoAtOffset(uint64_t offset) {
    CUAutoLock guard(static_cast<CULockAbstract*>(m_Reader.get()));
    CUSharedPtr<StreamFileSequenceInfo> info(new (std::nothrow) StreamFileSequenceInfo());
    if (!info || !SeekTo(*m_Reader, offset) || !m_Reader->ParsePacket(info.get()))
        return CUSharedPtr<StreamFileSequenceInfo>();
    return info;
}

}  // namespace ComVantoVantoQZ64RADPlug
