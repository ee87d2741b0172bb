#include "MxfFileInfo.h"

#include "BodyPartitionArray.h"
#include "CUArray.h"
#include "CUFailure.h"
#include "CUNumber.h"
#include "CUStream.h"
#include "CUStringMac.h"
#include "CUVector.h"
#include "HeaderMetadata.h"
#include "ImportError.h"
#include "IndexTableSegment.h"
#include "MDValue.h"
#include "MXFStream.h"
#include "MXFUtilities.h"
#include "MxfLabels.h"
#include "MxfUUID.h"
#include "ParseMetaData.h"
#include "PartitionPack.h"
#include "QzcardVersion.h"
#include "RandomIndexPack.h"
#include "STMetadataSets.h"
#include "STTrack.h"
#include "StreamFileSequenceInfo.h"
#include "UMID.h"

#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qzimport {

using namespace ComVantoVantoQZ64RADPlug;
using nlohmann::ordered_json;

namespace {

std::string Text(const CUSharedPtr<CUStringMac>& s) {
    return s ? s->Utf8() : std::string();
}

std::string PartitionKind(uint32_t type) {
    switch (type) {
        case kMxfKeyHeaderPartition:
            return "header";
        case kMxfKeyBodyPartition:
            return "body";
        case kMxfKeyFooterPartition:
            return "footer";
        default:
            return "unknown";
    }
}

std::string PartitionStatus(unsigned char b) {
    switch (b) {
        case 1:
            return "open incomplete";
        case 2:
            return "closed incomplete";
        case 3:
            return "open complete";
        case 4:
            return "closed complete";
        default:
            return "unknown";
    }
}

std::string ElementKind(uint32_t type) {
    if (type == kMxfKeyPictureElement) return "picture";
    if (type == kMxfKeySoundElement) return "sound";
    if ((type & 0xFF000000u) == kMxfKeyEssenceElement) return "essence";
    if (type == kMxfKeySystemMetadataPack) return "system";
    return "other";
}

std::string PictureType(uint8_t flags) {
    // Prediction bits of the index entry flags: none for I, forward only for
    // P, backward (with or without forward) for B.
    switch (flags & 0x30) {
        case 0x00:
            return "I";
        case 0x20:
            return "P";
        default:
            return "B";
    }
}

std::string Rational(const _Rational& r) {
    return std::to_string(r.numerator) + "/" + std::to_string(r.denominator);
}

// An MDValue item as JSON (number, "n/d" rational, or absent).
std::optional<ordered_json> MdValueJson(const CUSharedPtr<CUObject>& object) {
    CUSharedPtr<MDValue> v = CUDynamicCast<MDValue>(object);
    if (!v) return std::nullopt;
    try {
        switch (v->ValueType()) {
            case kMDValueUInt8:
                return ordered_json(static_cast<unsigned>(static_cast<unsigned char>(*v)));
            case kMDValueUInt16:
                return ordered_json(static_cast<unsigned>(static_cast<unsigned short>(*v)));
            case kMDValueUInt32:
                return ordered_json(static_cast<unsigned int>(*v));
            case kMDValueUInt64:
                return ordered_json(static_cast<unsigned long long>(*v));
            case kMDValueSInt8:
                return ordered_json(static_cast<int>(static_cast<signed char>(*v)));
            case kMDValueSInt16:
                return ordered_json(static_cast<int>(static_cast<short>(*v)));
            case kMDValueSInt32:
                return ordered_json(static_cast<int>(*v));
            case kMDValueSInt64:
                return ordered_json(static_cast<long long>(*v));
            case kMDValueRational:
                return ordered_json(Rational(static_cast<_Rational>(*v)));
            default:
                return ordered_json(Text(v->Description()));
        }
    } catch (const CUError&) {
        return std::nullopt;
    }
}

std::string Timecode(int64_t frames, unsigned base, bool drop) {
    if (base == 0) return std::to_string(frames);
    int64_t f = frames;
    if (drop && base % 30 == 0) {
        // Drop-frame: 2 (per 30 of the base) frame numbers skipped each
        // minute except every tenth.
        const int64_t dropPerMinute = 2 * (base / 30);
        const int64_t perMinute = 60 * base - dropPerMinute;
        const int64_t perTenMinutes = 10 * perMinute + dropPerMinute;
        const int64_t tens = f / perTenMinutes;
        int64_t rest = f % perTenMinutes;
        f += 9 * dropPerMinute * tens;
        if (rest > dropPerMinute) f += dropPerMinute * ((rest - dropPerMinute) / perMinute);
    }
    const int64_t ff = f % base, ss = (f / base) % 60, mm = (f / base / 60) % 60, hh = f / base / 3600;
    char text[96];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld%c%02lld", static_cast<long long>(hh),
                  static_cast<long long>(mm), static_cast<long long>(ss), drop ? ';' : ':',
                  static_cast<long long>(ff));
    return text;
}

// Reads the partition pack at `offset`; empty when it cannot be read.
CUSharedPtr<PartitionPack> ReadPartition(ParseMetaData& reader, uint64_t offset) {
    CUSharedPtr<PartitionPack> pack(new PartitionPack());
    if (offset > static_cast<uint64_t>(INT64_MAX) || !reader.SetOffset(static_cast<int64_t>(offset), 0) ||
        !reader.ParsePacket(pack.get()))
        return CUSharedPtr<PartitionPack>();
    return pack;
}

ordered_json Partitions(MXFStream& mxf, ParseMetaData& reader) {
    // The reader's own walk (random index pack, else back from the footer);
    // a broken chain has already failed the parse.
    std::vector<uint64_t> offsets;
    (void)mxf.PartitionChain(offsets);
    ordered_json list = ordered_json::array();
    for (uint64_t o : offsets) {
        ordered_json j;
        j["offset"] = o;
        CUSharedPtr<PartitionPack> p = ReadPartition(reader, o);
        if (!p) {
            j["error"] = "unreadable partition pack";
            list.push_back(j);
            continue;
        }
        j["kind"] = PartitionKind(p->PacketType());
        j["status"] = PartitionStatus(p->Key().Bytes()[14]);
        j["version"] = std::to_string(p->MajorVersion()) + "." + std::to_string(p->MinorVersion());
        j["kagSize"] = p->KAGSize();
        j["previousPartition"] = p->PreviousPartition();
        j["footerPartition"] = p->FooterPartition();
        j["headerByteCount"] = p->HeaderByteCount();
        j["indexByteCount"] = p->IndexByteCount();
        j["indexSid"] = p->IndexSID();
        j["bodySid"] = p->BodySID();
        j["bodyOffset"] = p->BodyOffset();
        list.push_back(j);
    }
    return list;
}

ordered_json TrackJson(const CUSharedPtr<STTrack>& track) {
    ordered_json j;
    std::string type = "other";
    if (CUSharedPtr<MxfUUID> dd = track->DataDefinition()) {
        if (*dd == FBC_UL_PictureEssenceTrack)
            type = "picture";
        else if (*dd == FBC_UL_SoundEssenceTrack)
            type = "sound";
        else if (*dd == FBC_UL_12MTimecodeTrack)
            type = "timecode";
    }
    j["type"] = type;
    j["trackId"] = track->TrackID();
    j["trackNumber"] = track->TrackNumber();
    j["editRate"] = Rational(track->EditRate());
    j["origin"] = track->Origin();
    j["duration"] = track->Duration();
    j["components"] = track->ComponentCount();
    auto put = [&](const char* name, uint32_t tag) {
        if (auto v = MdValueJson(track->ValueForTag(tag, 0))) j[name] = *v;
    };
    if (type == "picture") {
        put("storedWidth", kLocalTag_StoredWidth);
        put("storedHeight", kLocalTag_StoredHeight);
        put("displayWidth", kLocalTag_DisplayWidth);
        put("displayHeight", kLocalTag_DisplayHeight);
        put("frameLayout", kLocalTag_FrameLayout);
        put("sampleRate", kLocalTag_SampleRate);
        put("aspectRatio", kLocalTag_AspectRatio);
        put("componentDepth", kLocalTag_ComponentDepth);
        put("horizontalSubsampling", kLocalTag_HorizontalSubsampling);
        put("verticalSubsampling", kLocalTag_VerticalSubsampling);
        if (auto v = MdValueJson(track->ValueForUUID(FBC_UL_MER_BitRate, 0))) j["bitRate"] = *v;
        if (auto v = MdValueJson(track->ValueForUUID(FBC_UL_MER_ProfileAndLevel, 0)))
            j["profileAndLevel"] = *v;
        if (auto v = MdValueJson(track->ValueForUUID(FBC_UL_MER_MaxGOP, 0))) j["maxGop"] = *v;
        if (auto v = MdValueJson(track->ValueForUUID(FBC_UL_MER_BPictureCount, 0))) j["bPictureCount"] = *v;
        if (auto v = MdValueJson(track->ValueForUUID(FBC_UL_MER_ClosedGOP, 0))) j["closedGop"] = *v;
    } else if (type == "sound") {
        put("audioSamplingRate", kLocalTag_AudioSamplingRate);
        put("quantizationBits", kLocalTag_QuantizationBits);
        put("channelCount", kLocalTag_ChannelCount);
        put("blockAlign", kLocalTag_BlockAlign);
        put("sampleRate", kLocalTag_SampleRate);
    } else if (type == "timecode") {
        put("startTimecodeFrames", kLocalTag_StartTimecode);
        put("roundedTimecodeBase", kLocalTag_RoundedTimecodeBase);
        put("dropFrame", kLocalTag_DropFrame);
    }
    return j;
}

// The last index segment of the partition following body record i.
CUSharedPtr<IndexTableSegment> SegmentOfRecord(MXFStream& mxf, uint32_t record) {
    CUSharedPtr<BodyPartitionArray> table = mxf.GetBodyPartitions();
    uint64_t following = 0;
    if (record + 1 < table->Count()) {
        if (!table->FileOffsetAtIndex(record + 1, following)) return CUSharedPtr<IndexTableSegment>();
    } else if (mxf.GetHeaderPartitionPack()) {
        following = mxf.GetHeaderPartitionPack()->FooterPartition();
    }
    CUSharedPtr<CUArray> segments = mxf.GetIndexFromPartition(following);
    if (!segments || segments->Count() == 0) return CUSharedPtr<IndexTableSegment>();
    return CUDynamicCast<IndexTableSegment>(segments->LastObject());
}

}  // namespace

MxfFileInfo GatherMxfFileInfo(const std::string& path, bool units) {
    MxfFileInfo gathered;
    gathered.path = path;
    gathered.units = units;
    std::error_code error;
    if (std::filesystem::is_directory(path, error))
        throw ImportError(path + " is a folder; give one MXF file", CUFailureKind::kUsage);
    CUSharedPtr<MXFStream> mxf;
    try {
        mxf = CUSharedPtr<MXFStream>(new MXFStream(CUStringMac::Create(path.c_str())));
    } catch (const CUError& e) {
        throw ImportError("cannot open " + path + ": " + e.Failure().Describe(), CUFailureKind::kUsage);
    }
    if (mxf->Parse() != 0)
        throw ImportError(path + " is not a readable MXF file: " + mxf->LastFailure().Describe(),
                          CUFailureKind::kProblems);
    ParseMetaData reader(mxf->GetFileStream());
    CUSharedPtr<HeaderMetadata> header = mxf->GetHeaderMetadata();

    ordered_json out;
    out["file"] = path;
    out["size"] = mxf->GetFileStream()->Length();
    out["partitions"] = Partitions(*mxf, reader);
    if (CUSharedPtr<PartitionPack> hp = mxf->GetHeaderPartitionPack()) {
        out["operationalPattern"] =
            hp->OperationalPattern() ? Text(hp->OperationalPattern()->Description()) : "";
        out["op1a"] = hp->OperationalPattern() && *hp->OperationalPattern() == FBC_UL_OperationalPattern_1a;
        ordered_json ecs = ordered_json::array();
        for (uint32_t i = 0; i < hp->EssenceCount(); ++i)
            if (CUSharedPtr<MxfUUID> ec = hp->EssenceAtIndex(i)) ecs.push_back(Text(ec->Description()));
        out["essenceContainers"] = ecs;
    }
    out["essenceBodySid"] = mxf->EssenceBodySID();
    out["duration"] = mxf->Duration();

    ordered_json tracks = ordered_json::array();
    for (uint32_t t = 0; t < header->TrackCount(0); ++t)
        if (CUSharedPtr<STTrack> track = header->TrackForIndex(t, 0)) tracks.push_back(TrackJson(track));
    out["tracks"] = tracks;
    if (CUSharedPtr<STTrack> tc = FBC_Utl_TimecodeTrackFromMXF(mxf)) {
        auto frames = MdValueJson(tc->ValueForTag(kLocalTag_StartTimecode, 0));
        auto base = MdValueJson(tc->ValueForTag(kLocalTag_RoundedTimecodeBase, 0));
        auto drop = MdValueJson(tc->ValueForTag(kLocalTag_DropFrame, 0));
        if (frames && base)
            out["startTimecode"] =
                Timecode(frames->get<int64_t>(), base->get<unsigned>(), drop && drop->get<unsigned>());
    }
    if (CUSharedPtr<UMID> source = FBC_Utl_SourcePackageUID(mxf))
        out["sourcePackageUid"] = Text(source->Description());
    if (CUSharedPtr<StreamFileSequenceInfo> info = mxf->GetStreamFileSequenceInfo()) {
        ordered_json s;
        if (info->StartPosition()) s["startPosition"] = info->StartPosition()->SInt64Value();
        if (info->StartTimecode()) s["startTimecode"] = info->StartTimecode()->SInt64Value();
        if (info->PackageUID()) s["packageUid"] = Text(info->PackageUID()->Description());
        out["sequenceInfo"] = s;
    }

    // Index: one segment per body partition record, loaded now.
    CUSharedPtr<BodyPartitionArray> table = mxf->GetBodyPartitions();
    ordered_json bodies = ordered_json::array();
    uint32_t elementCount = 1;
    std::map<uint32_t, std::pair<uint64_t, uint64_t>> recordOffsets;  // essence, stream offsets
    for (uint32_t i = 0; i < table->Count(); ++i) {
        ordered_json b;
        uint64_t fileOffset = 0;
        table->FileOffsetAtIndex(i, fileOffset);
        b["fileOffset"] = fileOffset;
        const uint32_t loaded = mxf->ReadIndexTableAtPartition(i);
        if (CUSharedPtr<PartitionPack> p = ReadPartition(reader, fileOffset)) {
            b["essenceOffset"] = p->ContentOffset();
            b["streamOffset"] = p->BodyOffset();
            recordOffsets[i] = {p->ContentOffset(), p->BodyOffset()};
        }
        if (loaded == 0) {
            int64_t start = 0, count = 0;
            table->EditUnitRangeAtIndex(i, start, count);
            b["indexStart"] = start;
            b["indexDuration"] = count;
            if (CUSharedPtr<IndexTableSegment> seg = SegmentOfRecord(*mxf, i)) {
                b["indexEditRate"] = Rational(seg->IndexEditRate());
                b["indexSid"] = seg->IndexSID();
                b["bodySid"] = seg->BodySID();
                b["sliceCount"] = seg->SliceCount();
                b["deltaEntries"] = seg->DeltaEntryCount();
                b["indexEntries"] = seg->IndexEntryCount();
                if (seg->DeltaEntryCount() > elementCount) elementCount = seg->DeltaEntryCount();
            }
        } else {
            // The code alone tells a reader nothing: say what failed, and where.
            b["indexError"] = loaded;
            const std::string why = mxf->LastFailure().What();
            b["indexProblem"] =
                why.empty() ? "the index table segment of this partition cannot be read" : why;
        }
        bodies.push_back(b);
    }
    out["bodyPartitions"] = bodies;

    if (units) {
        ordered_json list = ordered_json::array();
        for (int64_t e = 0; e < mxf->Duration(); ++e) {
            ordered_json u;
            u["editUnit"] = e;
            int8_t t = 0, k = 0;
            uint8_t flags = 0;
            if (mxf->GetFlagsAtIndex(e, flags)) {
                u["flags"] = flags;
                u["pictureType"] = PictureType(flags);
            }
            if (mxf->GetTemporalOffsetAtIndex(e, t)) u["temporalOffset"] = t;
            if (mxf->GetKeyOffsetAtIndex(e, k)) u["keyFrameOffset"] = k;
            uint32_t record = 0;
            ordered_json elements = ordered_json::array();
            for (uint32_t el = 0; el < elementCount; ++el) {
                uint64_t at = 0;
                if (mxf->GetEssenceOffset(e, el, at) != 0) continue;
                ordered_json x;
                x["element"] = el;
                x["offset"] = at;
                if (el == 0 && table->GetContainIndex(e, record) && recordOffsets.count(record))
                    u["streamOffset"] = at - recordOffsets[record].first + recordOffsets[record].second;
                CUSharedPtr<KLVPacket> klv(new KLVPacket());
                if (reader.SetOffset(static_cast<int64_t>(at), 0) && reader.ParseKeyAndLength(klv.get())) {
                    x["kind"] = ElementKind(klv->PacketType());
                    x["valueOffset"] = klv->ValueOffset();
                    x["length"] = klv->Length();
                }
                elements.push_back(x);
            }
            u["elements"] = elements;
            list.push_back(u);
        }
        out["units"] = list;
    }

    gathered.info = std::move(out);
    return gathered;
}

ordered_json MxfFileInfoJson(const MxfFileInfo& gathered) {
    ordered_json out = {{"qzcardVersion", QzcardVersion()}};
    out.update(gathered.info);
    return out;
}

}  // namespace qzimport
