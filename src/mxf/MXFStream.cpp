#include "MXFStream.h"

#include "BodyPartitionArray.h"
#include "CUArray.h"
#include "CUAutoLock.h"
#include "CUMutableArray.h"
#include "CUStream.h"
#include "CUStringMac.h"
#include "CacheFileStream.h"
#include "FileRegionStream.h"
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
#include <string>
#include <utility>
#include <vector>

namespace ComVantoVantoQZ64RADPlug {

namespace {
// The search for the partition of an edit unit gives up after this many
// neighbouring partitions.
constexpr int kMaxIndexSearchSteps = 100;
// A KLV key and the longest BER length.
constexpr uint64_t kKeyAndLengthBytes = 16 + 9;
// A pack (partition pack, random index pack) is held in memory when it is no
// longer than one block of the cache, which would read as much.
constexpr uint64_t kMaxHeldPacketBytes = 0x10000;

bool IsStructuralSet(uint32_t keyType) {
    return (keyType & 0xFFFF0000u) == kMxfKeyStructuralSet;
}

// Positions the reader at an absolute file offset.
bool SeekTo(ParseMetaData& reader, uint64_t offset) {
    return offset <= static_cast<uint64_t>(INT64_MAX) && reader.SetOffset(static_cast<int64_t>(offset), 0);
}

std::string At(uint64_t offset) {
    return std::to_string(offset);
}

// Why a whole packet (`what`, e.g. "footer partition pack") could not be
// read at `at`: looks again, step by step, with `probe`.
std::string PacketFailure(ParseMetaData& reader, uint64_t fileLength, uint64_t at, KLVPacket& probe,
                          const std::string& what) {
    if (at >= fileLength || !SeekTo(reader, at))
        return what + " at byte " + At(at) + " lies beyond the end of the file (" + At(fileLength) +
               " bytes)";
    if (!reader.ParseKeyAndLength(&probe))
        return what + " at byte " + At(at) + ": no KLV key and length there";
    if (!probe.isImportable()) return what + " at byte " + At(at) + ": the key there is of another kind";
    if (probe.NextOffset() > fileLength)
        return what + " at byte " + At(at) + " is truncated: its value ends at byte " +
               At(probe.NextOffset()) + ", past the end of the file";
    return what + " at byte " + At(at) + " does not parse";
}
}  // namespace

namespace {
const char* const kInitError = "MXFStream init error";
}  // namespace

MXFStream::MXFStream(const CUSharedPtr<CUStringMac>& path) {
    if (!path) throw CUError(CUFailure(kMxfErrInvalidArgument, "MXF stream without a path"), kInitError);
    m_FileName = path->Utf8();
    CUSharedPtr<CacheFileStream> file = CacheFileStream::Create(path);
    if (!file)
        throw CUError(CUFailure(kMxfErrInvalidArgument, "file cannot be opened", m_FileName), kInitError);
    InitWithStream(CUSharedPtr<CUStream>(file));
}

MXFStream::MXFStream(const CUSharedPtr<CUStream>& stream) {
    if (!stream) throw CUError(CUFailure(kMxfErrInvalidArgument, "MXF stream without a stream"), kInitError);
    InitWithStream(stream);
}

void MXFStream::InitWithStream(const CUSharedPtr<CUStream>& stream) {
    try {
        m_FileStream = stream;
        m_Reader = CUSharedPtr<ParseMetaData>(new ParseMetaData(stream));
        m_BodyPartitions = CUSharedPtr<BodyPartitionArray>(new BodyPartitionArray());
        m_Packet = CUSharedPtr<KLVPacket>(new KLVPacket());
        m_HeaderMetadata = CUSharedPtr<HeaderMetadata>(new HeaderMetadata());
    } catch (const CUError& e) {
        throw CUError(CUFailure(e.Failure()).Within("MXF stream objects").InFile(m_FileName), kInitError);
    } catch (const std::bad_alloc&) {
        throw CUError(CUFailure(kMxfErrAuxiliaryObject, "MXF stream objects cannot be created", m_FileName),
                      kInitError);
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

CUFailure MXFStream::LastFailure() const {
    CUAutoLock guard(static_cast<CULockAbstract*>(m_Reader.get()));
    return m_LastFailure;
}

uint32_t MXFStream::Fail(uint32_t code, std::string what, uint64_t offset) {
    m_LastFailure = CUFailure(
        code, std::move(what), m_FileName,
        offset > static_cast<uint64_t>(INT64_MAX) ? CUFailure::kNoOffset : static_cast<int64_t>(offset));
    return code;
}

uint32_t MXFStream::Fail(uint32_t code, std::string what) {
    m_LastFailure = CUFailure(code, std::move(what), m_FileName);
    return code;
}

uint32_t MXFStream::Parse() {
    CUAutoLock guard(static_cast<CULockAbstract*>(m_Reader.get()));
    // The file is read once: callers that share one stream (the relay
    // package UID read and the clip's header values) ask in turn.
    if (!m_Parsed) {
        m_ParseResult = ParseFile();
        m_ParseFailure = m_LastFailure;
        m_Parsed = true;
    }
    m_LastFailure = m_ParseFailure;
    return m_ParseResult;
}

uint32_t MXFStream::ParseFile() {
    m_EssenceBodySID = kCameraBodySID;
    m_LastFailure = CUFailure();
    // A file without a readable random index pack is read by walking its
    // partitions instead: that failure is no failure of the parse.
    const bool haveRIP = ReadRandomIndexPack() == 0;
    m_LastFailure = CUFailure();
    if (haveRIP) {
        const uint32_t result = m_BodyPartitions->SetFromRandomIndexPack(m_RandomIndexPack, kCameraBodySID);
        if (result != 0) return Fail(result, "random index pack gives no body partition table");
    }
    if (uint32_t result = ReadHeaderPartitionPack(); result != 0) return result;
    // The walk's failure is told once the header metadata has been read, so
    // that a file broken in both places names the first break.
    CUFailure walk;
    if (!haveRIP && ConstructBodyPartitionArrayFromStream(kCameraBodySID) != 0) walk = m_LastFailure;
    if (uint32_t result = ParseHeaderPartition(); result != 0) return result;
    if (walk.Failed()) {
        m_LastFailure = walk.Within("partition chain");
        return walk.Code();
    }

    // Other writers put their essence under another BodySID (ffmpeg uses 1):
    // take the one the first essence container data set names.
    if (m_BodyPartitions->Count() == 0) {
        CUSharedPtr<MDValue> sid =
            CUDynamicCast<MDValue>(m_HeaderMetadata->EssenceContainerDataForTag(kLocalTag_BodySID, 0));
        uint32_t bodySID = 0;
        try {
            if (sid) bodySID = static_cast<unsigned int>(*sid);
        } catch (const CUError&) {
            bodySID = 0;  // a BodySID of another type names no partitions
        }
        if (bodySID != 0 && bodySID != kCameraBodySID) {
            m_EssenceBodySID = bodySID;
            if (uint32_t result = FillBodyPartitions(bodySID); result != 0) {
                m_LastFailure.Within("partitions of BodySID " + std::to_string(bodySID));
                return result;
            }
        }
    }

    CUSharedPtr<STTrack> track = m_HeaderMetadata->TrackForIndex(0, 0);
    if (!track) {
        std::string what = "the first material package has no track with a sequence duration";
        if (m_SkippedSetOffset != PartitionPack::kNoOffset)
            what +=
                " (the metadata set at byte " + At(m_SkippedSetOffset) + " does not parse and was left out)";
        return Fail(kMxfErrFormat, what);
    }
    m_Duration = track->Duration();
    return 0;
}

uint32_t MXFStream::FillBodyPartitions(uint32_t bodySID) {
    m_BodyPartitions->Clear();
    if (m_RandomIndexPack) {
        if (uint32_t result = m_BodyPartitions->SetFromRandomIndexPack(m_RandomIndexPack, bodySID);
            result != 0)
            return Fail(result, "random index pack gives no body partition table");
        return 0;
    }
    return ConstructBodyPartitionArrayFromStream(bodySID);
}

void MXFStream::HoldFileRegion(uint64_t start, uint64_t end) {
    CUSharedPtr<FileRegionStream> held = CUDynamicCast<FileRegionStream>(m_Reader->Stream());
    if (held && held->HeldStart() <= start && end <= held->HeldEnd()) return;
    CUSharedPtr<FileRegionStream> region = FileRegionStream::Create(m_FileStream, start, end, held.get());
    if (region) m_Reader->SetStream(CUSharedPtr<CUStream>(region));
}

void MXFStream::HoldPacketAt(uint64_t at) {
    const uint64_t length = m_FileStream->Length();
    if (at >= length) return;
    HoldFileRegion(at, at + std::min<uint64_t>(kKeyAndLengthBytes, length - at));
    if (SeekTo(*m_Reader, at) && m_Reader->ParseKeyAndLength(m_Packet.get()) &&
        m_Packet->NextOffset() - at <= kMaxHeldPacketBytes)
        HoldFileRegion(at, m_Packet->NextOffset());
}

uint32_t MXFStream::ReadRandomIndexPack() {
    CUAutoLock guard(static_cast<CULockAbstract*>(m_Reader.get()));
    m_RandomIndexPack = nullptr;
    CUSharedPtr<RandomIndexPack> pack(new (std::nothrow) RandomIndexPack());
    if (!pack) return Fail(kMxfErrAuxiliaryObject, "random index pack cannot be created");
    const uint64_t length = m_FileStream->Length();
    if (length >= 4) HoldFileRegion(length - 4, length);
    uint32_t overall = 0;
    if (!m_Reader->SetOffset(-4, 2) || !m_Reader->GetUInt32(overall))
        return Fail(kMxfErrFormat, "file too short for a random index pack length", 0);
    // Only the pack is read; a length no pack could have (a file cut short)
    // is left to the reads below.
    if (overall <= length && overall <= kMaxHeldPacketBytes) HoldFileRegion(length - overall, length);
    if (!m_Reader->SetOffset(-static_cast<int64_t>(overall), 2))
        return Fail(kMxfErrFormat,
                    "random index pack length " + std::to_string(overall) + " is longer than the file",
                    length - 4);
    const uint64_t start = m_Reader->offset();
    if (!m_Reader->ParsePacket(pack.get()))
        return Fail(kMxfErrFormat, PacketFailure(*m_Reader, length, start, *m_Packet, "random index pack"),
                    start);
    m_RandomIndexPack = pack;
    return 0;
}

uint32_t MXFStream::ReadHeaderPartitionPack() {
    CUAutoLock guard(static_cast<CULockAbstract*>(m_Reader.get()));
    m_HeaderPartition = nullptr;
    CUSharedPtr<PartitionPack> pack(new (std::nothrow) PartitionPack());
    if (!pack) return Fail(kMxfErrAuxiliaryObject, "header partition pack cannot be created");
    uint64_t first = 0;
    if (m_RandomIndexPack && m_RandomIndexPack->Count() > 0 && m_RandomIndexPack->GetOffsetAtIndex(0, first))
        HoldPacketAt(first);
    if (m_RandomIndexPack && m_RandomIndexPack->Count() > 0 &&
        m_RandomIndexPack->GetOffsetAtIndex(0, first) && SeekTo(*m_Reader, first) &&
        m_Reader->ParsePacket(pack.get()) && pack->PacketType() == kMxfKeyHeaderPartition) {
        m_HeaderPartition = pack;
        return 0;
    }
    // Scan the file from its start for the header partition pack.
    const std::string notFound = "no header partition pack: ";
    if (!m_Reader->SetOffset(0, 0)) return Fail(kMxfErrFormat, notFound + "the file is empty", 0);
    for (;;) {
        const uint64_t at = m_Reader->offset();
        if (!m_Reader->ParseKeyAndLength(m_Packet.get()))
            return Fail(kMxfErrFormat, notFound + "no KLV key and length at byte " + At(at), at);
        const uint32_t type = m_Packet->PacketType();
        if (type == kMxfKeyHeaderPartition) break;
        if (type == kMxfKeyNone)
            return Fail(kMxfErrFormat, notFound + "the key at byte " + At(at) + " is not a SMPTE key", at);
        if (!SeekTo(*m_Reader, m_Packet->NextOffset()))
            return Fail(kMxfErrFormat,
                        notFound + "the KLV packet at byte " + At(at) + " runs past the end of the file", at);
    }
    const uint64_t at = m_Packet->ValueOffset();
    CUSharedPtr<PartitionPack> found(new (std::nothrow) PartitionPack(*m_Packet));
    if (!found) return Fail(kMxfErrAuxiliaryObject, "header partition pack cannot be created");
    if (!m_Reader->ParsePacketValue(found.get()))
        return Fail(kMxfErrFormat, "header partition pack value does not parse", at);
    m_HeaderPartition = found;
    return 0;
}

uint32_t MXFStream::ConstructBodyPartitionArrayFromStream(uint32_t bodySID) {
    CUAutoLock guard(static_cast<CULockAbstract*>(m_Reader.get()));
    return WalkBackFromFooter([&](uint64_t at, uint32_t sid) {
        if (sid == bodySID) m_BodyPartitions->AddFront(at);
    });
}

uint32_t MXFStream::PartitionChain(std::vector<uint64_t>& offsets) {
    CUAutoLock guard(static_cast<CULockAbstract*>(m_Reader.get()));
    offsets.clear();
    if (m_RandomIndexPack) {
        for (uint32_t i = 0; i < m_RandomIndexPack->Count(); ++i) {
            uint64_t at = 0;
            if (m_RandomIndexPack->GetOffsetAtIndex(i, at)) offsets.push_back(at);
        }
        return 0;
    }
    if (!m_HeaderPartition)
        return Fail(kMxfErrFormat, "no header partition pack to start the partition walk");
    std::vector<uint64_t> back;
    const uint32_t result = WalkBackFromFooter([&](uint64_t at, uint32_t) { back.push_back(at); });
    offsets.push_back(m_HeaderPartition->ThisPartition());
    for (auto it = back.rbegin(); it != back.rend(); ++it)
        if (*it != m_HeaderPartition->ThisPartition()) offsets.push_back(*it);
    return result;
}

template <class Found>
uint32_t MXFStream::WalkBackFromFooter(Found found) {
    if (!m_HeaderPartition)
        return Fail(kMxfErrFormat, "no header partition pack to start the partition walk");
    uint64_t at = m_HeaderPartition->FooterPartition();
    const uint64_t length = m_FileStream->Length();
    const char* role = "footer partition pack";
    for (;;) {
        CUSharedPtr<PartitionPack> pack(new (std::nothrow) PartitionPack());
        if (!pack) return Fail(kMxfErrAuxiliaryObject, "partition pack cannot be created");
        if (!SeekTo(*m_Reader, at) || !m_Reader->ParsePacket(pack.get()))
            return Fail(kMxfErrFormat, PacketFailure(*m_Reader, length, at, *m_Packet, role), at);
        found(at, pack->BodySID());
        const uint64_t previous = pack->PreviousPartition();
        if (previous == 0) return 0;
        // Every link must lead strictly backwards, else the walk would never end.
        if (previous >= at)
            return Fail(kMxfErrFormat,
                        "partition pack at byte " + At(at) + " names byte " + At(previous) +
                            " as its previous partition, which is not before it",
                        at);
        at = previous;
        role = "previous partition pack";
    }
}

uint32_t MXFStream::ReadBodyPartitionInfo(uint32_t record) {
    CUAutoLock guard(static_cast<CULockAbstract*>(m_Reader.get()));
    uint64_t at = 0;
    if (!m_BodyPartitions->FileOffsetAtIndex(record, at))
        return Fail(kMxfErrFormat, "no body partition record " + std::to_string(record));
    CUSharedPtr<PartitionPack> pack(new (std::nothrow) PartitionPack());
    if (!pack) return Fail(kMxfErrAuxiliaryObject, "partition pack cannot be created");
    if (!SeekTo(*m_Reader, at) || !m_Reader->ParsePacket(pack.get()))
        return Fail(kMxfErrFormat,
                    PacketFailure(*m_Reader, m_FileStream->Length(), at, *m_Packet, "body partition pack"),
                    at);
    if (uint32_t result = m_BodyPartitions->SetBodyPartitionData(record, pack); result != 0)
        return Fail(result, "body partition pack at byte " + At(at) + " locates no essence in the file", at);
    return 0;
}

uint32_t MXFStream::ParseHeaderPartition() {
    CUAutoLock guard(static_cast<CULockAbstract*>(m_Reader.get()));
    m_SkippedSetOffset = PartitionPack::kNoOffset;
    if (!m_HeaderPartition) return Fail(kMxfErrFormat, "no header partition pack");
    const uint64_t packAt = m_HeaderPartition->ThisPartition();
    if (m_HeaderPartition->HeaderByteCount() == 0)
        return Fail(kMxfErrFormat, "header partition holds no header metadata (HeaderByteCount 0)", packAt);
    const uint64_t start = m_HeaderPartition->HeaderOffset();
    const uint64_t count = m_HeaderPartition->HeaderByteCount();
    if (start == PartitionPack::kNoOffset)
        return Fail(kMxfErrFormat,
                    "header metadata of " + std::to_string(count) +
                        " bytes (HeaderByteCount) runs past the end of the file (" +
                        At(m_FileStream->Length()) + " bytes)",
                    packAt);
    if (count > UINT64_MAX - start)
        return Fail(kMxfErrFormat, "header metadata byte count " + std::to_string(count) + " wraps around",
                    packAt);
    const uint64_t end = start + count;
    // The whole header partition, from its pack to the end of its metadata,
    // in one read: the walk below then reads memory.
    HoldFileRegion(std::min(start, m_HeaderPartition->Offset()), end);
    if (!SeekTo(*m_Reader, start))
        return Fail(kMxfErrFormat,
                    "header metadata at byte " + At(start) + " lies beyond the end of the file", start);

    while (m_Reader->offset() < end) {
        const uint64_t at = m_Reader->offset();
        if (!m_Reader->ParseKeyAndLength(m_Packet.get()))
            return Fail(kMxfErrFormat, "header metadata: no KLV key and length at byte " + At(at), at);
        // A KLV running past the header metadata region is malformed: stop
        // before copying anything of it.
        if (m_Packet->NextOffset() > end)
            return Fail(kMxfErrFormat,
                        "header metadata: the KLV packet at byte " + At(at) + " ends at byte " +
                            At(m_Packet->NextOffset()) + ", past the end of the header metadata at byte " +
                            At(end),
                        at);
        const uint32_t type = m_Packet->PacketType();
        bool skip = true;
        if (IsStructuralSet(type)) {
            CUSharedPtr<STMetadataSets> set;
            try {
                set = CUSharedPtr<STMetadataSets>(new STMetadataSets(*m_Packet));
            } catch (const CUError& e) {
                m_LastFailure =
                    CUFailure(e.Failure()).Within("metadata set at byte " + At(at)).InFile(m_FileName);
                return e.Code();
            } catch (const std::bad_alloc&) {
                return Fail(kMxfErrAuxiliaryObject, "metadata set cannot be created", at);
            }
            // A set that does not parse is left out; the read goes on. The
            // first one is named if the file then lacks what it held.
            if (m_Reader->ParsePacketValue(set.get())) {
                m_HeaderMetadata->AddMetadata(set);
                skip = false;
            } else if (m_SkippedSetOffset == PartitionPack::kNoOffset) {
                m_SkippedSetOffset = at;
            }
        } else if (type == kMxfKeyPrimerPack) {
            CUSharedPtr<PrimerPack> primer(new (std::nothrow) PrimerPack(*m_Packet));
            if (!primer) return Fail(kMxfErrAuxiliaryObject, "primer pack cannot be created", at);
            if (!m_Reader->ParsePacketValue(primer.get()))
                return Fail(kMxfErrFormat, "primer pack at byte " + At(at) + " does not parse", at);
            m_HeaderMetadata->SetPrimerPack(primer);
            skip = false;
        } else if (type == kMxfKeySequenceInfoElement) {
            CUSharedPtr<StreamFileSequenceInfo> info(new (std::nothrow) StreamFileSequenceInfo(*m_Packet));
            if (info && m_Reader->ParsePacketValue(info.get())) {
                m_SequenceInfo = info;
                skip = false;
            }
        }
        if (skip && !SeekTo(*m_Reader, m_Packet->NextOffset()))
            return Fail(
                kMxfErrFormat,
                "header metadata: the KLV packet at byte " + At(at) + " runs past the end of the file", at);
    }
    if (uint32_t result = m_HeaderMetadata->Analyze(); result != 0)
        return Fail(result, "header metadata: the preface names no identifications or no content storage");
    return 0;
}

CUSharedPtr<CUArray> MXFStream::GetIndexFromPartition(uint64_t offset) {
    CUAutoLock guard(static_cast<CULockAbstract*>(m_Reader.get()));
    CUSharedPtr<PartitionPack> pack(new (std::nothrow) PartitionPack());
    if (!pack) {
        Fail(kMxfErrAuxiliaryObject, "partition pack cannot be created");
        return CUSharedPtr<CUArray>();
    }
    if (!SeekTo(*m_Reader, offset) || !m_Reader->ParsePacket(pack.get())) {
        Fail(kMxfErrFormat,
             PacketFailure(*m_Reader, m_FileStream->Length(), offset, *m_Packet, "index partition pack"),
             offset);
        return CUSharedPtr<CUArray>();
    }
    CUSharedPtr<CUMutableArray> segments(new (std::nothrow) CUMutableArray());
    if (!segments) return CUSharedPtr<CUArray>();
    if (pack->IndexByteCount() == 0) return CUSharedPtr<CUArray>(segments);
    const uint64_t start = pack->IndexOffset();
    const uint64_t count = pack->IndexByteCount();
    if (start == PartitionPack::kNoOffset || count > UINT64_MAX - start || !SeekTo(*m_Reader, start)) {
        Fail(kMxfErrFormat,
             "index table of " + std::to_string(count) + " bytes (IndexByteCount) of the partition at byte " +
                 At(offset) + " runs past the end of the file",
             offset);
        return CUSharedPtr<CUArray>();
    }
    const uint64_t end = start + count;
    while (m_Reader->offset() < end) {
        const uint64_t at = m_Reader->offset();
        if (!m_Reader->ParseKeyAndLength(m_Packet.get())) break;
        const uint32_t type = m_Packet->PacketType();
        if (type == kMxfKeyNone) break;
        // A KLV passing the end of the index region: the region is malformed.
        if (m_Packet->NextOffset() > end) {
            Fail(kMxfErrFormat,
                 "index table: the KLV packet at byte " + At(at) +
                     " ends past the index region's end at byte " + At(end),
                 at);
            return CUSharedPtr<CUArray>();
        }
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
    auto name = [record] { return "body partition record " + std::to_string(record); };
    if (record >= m_BodyPartitions->Count()) return Fail(kMxfErrFormat, "no " + name());
    // The index describing a body partition's essence sits in the partition
    // that follows it.
    uint64_t following = 0;
    if (record + 1 < m_BodyPartitions->Count()) {
        if (!m_BodyPartitions->FileOffsetAtIndex(record + 1, following))
            return Fail(kMxfErrFormat, "no " + name());
    } else {
        if (!m_HeaderPartition) return Fail(kMxfErrFormat, "no header partition pack names the footer");
        following = m_HeaderPartition->FooterPartition();
    }
    uint8_t flags = 0;
    if (!m_BodyPartitions->InfoFlagAtIndex(record, flags)) return Fail(kMxfErrFormat, "no " + name());
    const uint8_t packBits = kBodyPartitionPackRead | kBodyPartitionEssenceOffsetKnown;
    if ((flags & packBits) != packBits && ReadBodyPartitionInfo(record) != 0) return kMxfErrFormat;
    CUSharedPtr<CUArray> segments = GetIndexFromPartition(following);
    if (!segments) return kMxfErrFormat;  // GetIndexFromPartition told why
    CUSharedPtr<IndexTableSegment> last =
        segments->Count() ? CUDynamicCast<IndexTableSegment>(segments->LastObject()) : nullptr;
    if (!last)
        return Fail(kMxfErrFormat,
                    "the partition at byte " + At(following) + " holds no index table segment for " + name(),
                    following);
    m_BodyPartitions->SetIndexTableSegment(record, last);
    return 0;
}

uint32_t MXFStream::ReadIndexTable(int64_t editUnit) {
    CUAutoLock guard(static_cast<CULockAbstract*>(m_Reader.get()));
    const uint32_t records = m_BodyPartitions->Count();
    if (records == 0) return Fail(kMxfErrFormat, "the file has no body partitions to index");
    if (editUnit < 0 || m_Duration <= 0)
        return Fail(kMxfErrFormat, "edit unit " + std::to_string(editUnit) + " lies outside the file");
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
        if (count <= 0 || start == INT64_MAX)
            return Fail(kMxfErrFormat, "the index segment of body partition record " +
                                           std::to_string(record) + " covers no edit units");
        const __int128 end = static_cast<__int128>(start) + count;
        if (start <= editUnit && editUnit < end) return 0;
        i += (editUnit >= end) ? 1 : -1;
    }
    // Not found within the allowed number of steps.
    return Fail(kMxfErrFormat, "no index segment covers edit unit " + std::to_string(editUnit));
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
    if (editUnit < 0 || editUnit >= m_Duration)
        return Fail(kMxfErrFormat, "edit unit " + std::to_string(editUnit) + " lies outside the file");
    if (m_BodyPartitions->GetStreamOffset(editUnit, element, fileOffset)) return 0;
    // The index read tells its own failure.
    if (ReadIndexTable(editUnit) != 0) return kMxfErrFormat;
    if (m_BodyPartitions->GetStreamOffset(editUnit, element, fileOffset)) return 0;
    return Fail(kMxfErrFormat, "the index locates no element " + std::to_string(element) + " of edit unit " +
                                   std::to_string(editUnit));
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

MXFEssenceRange MXFStream::PeekEssenceRange(int64_t editUnit, uint32_t element) {
    const MXFEssenceRange none(kNoEssenceOffset, 0);
    CUAutoLock guard(static_cast<CULockAbstract*>(m_Reader.get()));
    if (editUnit < 0 || editUnit >= m_Duration) return none;
    uint64_t at = 0;
    if (GetEssenceOffset(editUnit, element, at) != 0) return none;
    CacheFileStream* file = CUDynamicCast<CacheFileStream>(m_FileStream).get();
    if (!file) return RangeEssenceData(editUnit, element);
    // A 16-byte key and a BER length of at most 9 bytes.
    unsigned char head[25];
    const uint64_t got = file->ReadUncached(head, sizeof head, at);
    uint32_t length = 0;
    uint64_t valueStart = 0;
    if (!ParseMetaData::DecodeKeyAndLength(head, got, length, valueStart) ||
        ULKey(head).GetKeyKind() != kMxfKeyEssenceElement || length > file->Length() - (at + valueStart))
        return none;
    return MXFEssenceRange(at + valueStart, length);
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

uint32_t MXFStream::ReadEssenceElements(int64_t editUnit, uint32_t first, uint32_t count,
                                        unsigned char* buffer, uint32_t size, MXFEssenceRange* values,
                                        bool pastCache) {
    // Between two values lie the next key and length and, in files aligned
    // to a KAG, a fill item: read along with the values, never more than this.
    constexpr uint64_t kMaxGap = 1024;
    CUAutoLock guard(static_cast<CULockAbstract*>(m_Reader.get()));
    if (!buffer || !values || count == 0) return 0;
    CacheFileStream* file = pastCache ? CUDynamicCast<CacheFileStream>(m_FileStream).get() : nullptr;
    uint64_t start = 0, end = 0;
    for (uint32_t k = 0; k < count; ++k) {
        const MXFEssenceRange range =
            file ? PeekEssenceRange(editUnit, first + k) : RangeEssenceData(editUnit, first + k);
        if (range.first == kNoEssenceOffset) return 0;
        if (k == 0) {
            start = range.first;
        } else if (range.first < end || range.first - end > kMaxGap) {
            return 0;
        }
        if (range.second > uint64_t{size} || range.first - start > uint64_t{size} - range.second) return 0;
        values[k] = MXFEssenceRange(range.first - start, range.second);
        end = range.first + range.second;
    }
    const uint64_t total = end - start;
    if (file) return file->ReadUncached(buffer, total, start) == total ? static_cast<uint32_t>(total) : 0;
    if (!SeekTo(*m_Reader, start) || !m_Reader->GetBytes(buffer, total)) return 0;
    return static_cast<uint32_t>(total);
}

void MXFStream::AdviseSequentialReading() {
    if (CacheFileStream* file = CUDynamicCast<CacheFileStream>(m_FileStream).get()) file->AdviseSequential();
}

void MXFStream::ReleaseBlockCache() {
    if (CacheFileStream* file = CUDynamicCast<CacheFileStream>(m_FileStream).get()) file->ReleaseCache();
}

CUSharedPtr<StreamFileSequenceInfo> MXFStream::GetStreamFileSequenceInfoAtOffset(uint64_t offset) {
    CUAutoLock guard(static_cast<CULockAbstract*>(m_Reader.get()));
    CUSharedPtr<StreamFileSequenceInfo> info(new (std::nothrow) StreamFileSequenceInfo());
    if (!info || !SeekTo(*m_Reader, offset) || !m_Reader->ParsePacket(info.get()))
        return CUSharedPtr<StreamFileSequenceInfo>();
    return info;
}

}  // namespace ComVantoVantoQZ64RADPlug
