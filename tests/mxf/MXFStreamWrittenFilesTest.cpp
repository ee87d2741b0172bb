// MXFStream on whole files from independent writers: the card writer (every
// frame rate, its fault switches, its files broken here: partition links,
// pack fields, cut files, the bounded index search) and ffmpeg (essence
// under BodySID 1, a system item per frame), and many threads reading
// shared files at once.
#include "MXFStream.h"

#include "BodyPartitionArray.h"
#include "CUFailure.h"
#include "CUFileStream.h"
#include "CUStringMac.h"
#include "CacheFileStream.h"
#include "ConcurrentReads.h"
#include "FBCMemoryCacheManager.h"
#include "FileBytes.h"
#include "HeaderMetadata.h"
#include "MDValue.h"
#include "MXFUtilities.h"
#include "MxfKlvWalk.h"
#include "MxfLabels.h"
#include "MxfTestSupport.h"
#include "ParseMetaData.h"
#include "PartitionPack.h"
#include "STTrack.h"
#include "StreamFileSequenceInfo.h"
#include "UMID.h"

#include "AudioFramePattern.h"
#include "ClipFrameRate.h"
#include "Mpeg2Encoder.h"
#include "MxfFileWriter.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <sstream>
#include <vector>

using namespace ComVantoVantoQZ64RADPlug;
using mxftest::OpenMxf;

namespace {

template <class T>
bool Value(const CUSharedPtr<CUObject>& o, T& out) {
    CUSharedPtr<MDValue> v = CUDynamicCast<MDValue>(o);
    if (!v) return false;
    try {
        out = static_cast<T>(*v);
        return true;
    } catch (const CUError&) {
        return false;
    }
}

// The body partition table's file offsets.
std::vector<uint64_t> BodyPartitionOffsets(MXFStream& mxf) {
    std::vector<uint64_t> offsets;
    for (uint32_t i = 0; i < mxf.GetBodyPartitions()->Count(); ++i) {
        uint64_t at = 0;
        EXPECT_TRUE(mxf.GetBodyPartitions()->FileOffsetAtIndex(i, at));
        offsets.push_back(at);
    }
    return offsets;
}

// The picture width and each sound track's quantization bits of the
// material package's tracks, each checked for its edit rate and (unless
// negative) its duration; a picture track also has a height.
struct Tracks {
    unsigned width = 0;
    std::vector<unsigned> soundBits;
};
Tracks ReadTracks(MXFStream& mxf, int rateNumerator, int rateDenominator, int64_t duration = -1) {
    Tracks tracks;
    CUSharedPtr<HeaderMetadata> h = mxf.GetHeaderMetadata();
    for (uint32_t t = 0; t < h->TrackCount(0); ++t) {
        CUSharedPtr<STTrack> track = h->TrackForIndex(t, 0);
        EXPECT_TRUE(track);
        if (!track) continue;
        EXPECT_EQ(track->EditRate().numerator, rateNumerator);
        EXPECT_EQ(track->EditRate().denominator, rateDenominator);
        if (duration >= 0) {
            EXPECT_EQ(track->Duration(), duration);
        }
        unsigned int width = 0, height = 0, bits = 0;
        if (Value(track->ValueForTag(kLocalTag_StoredWidth, 0), width)) {
            EXPECT_EQ(tracks.width, 0u) << "a second picture track";
            tracks.width = width;
            EXPECT_TRUE(Value(track->ValueForTag(kLocalTag_DisplayHeight, 0), height) ||
                        Value(track->ValueForTag(kLocalTag_StoredHeight, 0), height));
        }
        if (Value(track->ValueForTag(kLocalTag_QuantizationBits, 0), bits)) tracks.soundBits.push_back(bits);
    }
    return tracks;
}

namespace cw = ComVantoVantoQZ64RADPlug::CardWriter;

// What one edit unit of a written file reads as: the ranges of its system
// item, picture and two sound elements, its picture's bytes, its index values.
struct UnitRead {
    std::vector<std::pair<uint64_t, uint64_t>> ranges;
    std::vector<uint8_t> picture;
    int8_t temporal = 0, key = 0;
    uint8_t flags = 0;
    bool operator==(const UnitRead& o) const {
        return ranges == o.ranges && picture == o.picture && temporal == o.temporal && key == o.key &&
               flags == o.flags;
    }
};

UnitRead ReadUnit(MXFStream& mxf, int64_t e) {
    thread_local std::vector<uint8_t> scratch(4 << 20);
    UnitRead u;
    for (uint32_t k = 0; k < 4; ++k) u.ranges.push_back(mxf.RangeEssenceData(e, k));
    const uint32_t n =
        mxf.ReadEssenceData(e, cw::kMxfPictureElement, scratch.data(), uint32_t(scratch.size()));
    u.picture.assign(scratch.begin(), scratch.begin() + n);
    mxf.GetTemporalOffsetAtIndex(e, u.temporal);
    mxf.GetKeyOffsetAtIndex(e, u.key);
    mxf.GetFlagsAtIndex(e, u.flags);
    return u;
}

class CardWriterFilesTest : public ::testing::Test {
protected:
    static cw::MxfFileDescription Description(cw::FrameRate rate, uint32_t frames) {
        const cw::FrameRateTraits traits = cw::TraitsOf(rate);
        cw::MxfFileDescription d;
        d.video.rateNumerator = int(traits.editRateNumerator);
        d.video.rateDenominator = int(traits.editRateDenominator);
        d.video.interlaced = traits.interlaced;
        const bool hd720 = rate == cw::FrameRate::k59_94p || rate == cw::FrameRate::k50p;
        d.video.width = hd720 ? 1280 : 1920;
        d.video.height = hd720 ? 720 : 1080;
        d.video.bitRate = 8000000;
        d.video.constantBitRate = false;
        d.frameCount = frames;
        d.audioChannels = 2;
        d.framesPerBodyPartition = 12;
        d.startTimecode = 3600 * int64_t(traits.roundedBase);
        d.dropFrame = traits.dropFrameAllowed;
        return d;
    }
    // A written file's bytes, KLVs and partitions, to be broken and saved.
    struct Written {
        cw::MxfFileLayout layout;
        mxftest::ParsedFile pf;
        // Partition pack fields by value offset: 16 Previous, 24 Footer,
        // 32 HeaderByteCount, 40 IndexByteCount.
        void PatchPack(size_t partition, size_t field, uint64_t v) {
            Set(pf.partitions[partition].klv.valueOffset + field, 8, v);
        }
        void Set(uint64_t at, int n, uint64_t v) {
            for (int i = 0; i < n; ++i) pf.bytes.at(at + i) = uint8_t(v >> (8 * (n - 1 - i)));
        }
        uint64_t Partition(size_t i) const { return pf.partitions[i].klv.offset; }
    };
    Written Write(const cw::MxfFileDescription& d, const std::string& name = "a.mxf") {
        Written w;
        w.layout = cw::WriteMxfFile(d, dir_ + "/" + name);
        w.pf = mxftest::Parse(dir_ + "/" + name);
        return w;
    }
    CUSharedPtr<MXFStream> Save(const Written& w, const std::string& name = "a.mxf") {
        EXPECT_TRUE(mxftest::WriteFile(dir_ + "/" + name, w.pf.bytes));
        return OpenMxf(dir_ + "/" + name);
    }
    qztest::ScratchFolder scratch_{"written"};
    const std::string dir_ = scratch_.Path();
};

// Every edit unit of a written file: the picture bytes are the encoder's,
// the index values are the encoder's, sound elements follow.
void ExpectFileMatchesWriter(MXFStream& mxf, const cw::MxfFileDescription& d) {
    ASSERT_EQ(mxf.Duration(), int64_t(d.frameCount));
    cw::Mpeg2Encoder encoder(d.video, d.frameCount, d.firstFrame);
    std::vector<uint8_t> buf(4 << 20);
    for (int64_t e = 0; e < int64_t(d.frameCount); ++e) {
        SCOPED_TRACE(e);
        const cw::CodedPicture pic = encoder.Picture(e);
        MXFEssenceRange r = mxf.RangeEssenceData(e, cw::kMxfPictureElement);
        ASSERT_EQ(r.second, pic.bytes.size());
        const uint32_t n = mxf.ReadEssenceData(e, cw::kMxfPictureElement, buf.data(), uint32_t(buf.size()));
        ASSERT_EQ(n, pic.bytes.size());
        EXPECT_EQ(0, std::memcmp(buf.data(), pic.bytes.data(), n));
        int8_t t = 0, k = 0;
        uint8_t flags = 0;
        ASSERT_TRUE(mxf.GetTemporalOffsetAtIndex(e, t));
        EXPECT_EQ(t, pic.temporalOffset);
        ASSERT_TRUE(mxf.GetKeyOffsetAtIndex(e, k));
        EXPECT_EQ(k, pic.keyFrameOffset);
        ASSERT_TRUE(mxf.GetFlagsAtIndex(e, flags));
        // Prediction bits: none for I, forward only for P, backward (and
        // forward) for B.
        const char type = (flags & 0x30) == 0 ? 'I' : ((flags & 0x30) == 0x20 ? 'P' : 'B');
        EXPECT_EQ(type, pic.type);
        // The system item comes first, the sound elements after the picture.
        EXPECT_EQ(mxf.RangeEssenceData(e, cw::kMxfSystemElement).second, 0u);
        EXPECT_GT(mxf.ReadEssenceData(e, cw::kMxfSystemElement, buf.data(), uint32_t(buf.size())), 0u);
        const int samples = cw::AudioFramePattern::SamplesInFrame(d.video.rateNumerator,
                                                                  d.video.rateDenominator, d.firstFrame + e);
        for (uint32_t c = 0; c < d.audioChannels; ++c) {
            MXFEssenceRange s = mxf.RangeEssenceData(e, cw::kMxfFirstSoundElement + c);
            EXPECT_GT(s.second, 0u);
            EXPECT_NE(s.first, r.first);
            if (d.soundWrapping == cw::MxfSoundWrapping::kWave) {
                EXPECT_EQ(s.second, uint64_t(samples) * (d.audioBitsPerSample / 8));
            }
        }
    }
    EXPECT_EQ(mxf.RangeEssenceData(int64_t(d.frameCount), cw::kMxfPictureElement).second, 0u);
}

// The file read by the layers under MXFStream: the random index pack found
// from the end, the header pack's regions, and from each body partition's
// content offset one content package (system item, picture, a sound element
// per channel) per frame up to the next partition.
void ExpectPartitionsReadAsWritten(const std::string& path, const cw::MxfFileDescription& d,
                                   const cw::MxfFileLayout& layout) {
    ParseMetaData reader(CUSharedPtr<CUStream>(
        new CUFileStream(CUStringMac::Create(path.c_str()), kCUStreamModeOpen, kCUStreamAccessRead, true)));
    ASSERT_EQ(reader.StreamLength(), layout.fileSize);
    uint32_t ripLength = 0;
    ASSERT_TRUE(reader.SetOffset(-4, 2) && reader.GetUInt32(ripLength));
    ASSERT_TRUE(reader.SetOffset(-static_cast<int64_t>(ripLength), 2));
    EXPECT_EQ(reader.offset(), layout.randomIndexPack);

    CUSharedPtr<PartitionPack> header = mxftest::PackAt(reader, 0);
    ASSERT_TRUE(header);
    EXPECT_EQ(header->PacketType(), kMxfKeyHeaderPartition);
    EXPECT_EQ(header->HeaderByteCount(), layout.headerByteCount);
    EXPECT_EQ(header->FooterPartition(), layout.footerPartition);
    EXPECT_EQ(header->HeaderOffset(), header->ThisPartition() + header->KAGSize());
    ASSERT_TRUE(header->OperationalPattern());
    EXPECT_EQ(*header->OperationalPattern(), FBC_UL_OperationalPattern_1a);
    bool hasMpegLabel = false;
    for (uint32_t i = 0; i < header->EssenceCount(); ++i)
        hasMpegLabel |= *header->EssenceAtIndex(i) == FBC_UL_MPEG2ES_FrameWrapping;
    EXPECT_TRUE(hasMpegLabel);

    ASSERT_EQ(layout.bodyPartitions.size(), layout.bodyFirstFrames.size());
    KLVPacket packet;
    for (size_t i = 0; i < layout.bodyPartitions.size(); ++i) {
        SCOPED_TRACE(i);
        CUSharedPtr<PartitionPack> body = mxftest::PackAt(reader, layout.bodyPartitions[i]);
        ASSERT_TRUE(body);
        EXPECT_EQ(body->PacketType(), kMxfKeyBodyPartition);
        EXPECT_EQ(body->BodySID(), 2u);
        EXPECT_EQ(body->ThisPartition(), layout.bodyPartitions[i]);
        const bool last = i + 1 == layout.bodyPartitions.size();
        const uint64_t stop = last ? layout.footerPartition : layout.bodyPartitions[i + 1];
        const uint64_t frames =
            (last ? d.frameCount : layout.bodyFirstFrames[i + 1]) - layout.bodyFirstFrames[i];
        ASSERT_NE(body->ContentOffset(), PartitionPack::kNoOffset);
        ASSERT_TRUE(reader.SetOffset(static_cast<int64_t>(body->ContentOffset()), 0));
        ASSERT_TRUE(reader.ParseKeyAndLength(&packet));
        EXPECT_EQ(packet.PacketType(), kMxfKeySystemMetadataPack);
        ASSERT_TRUE(reader.SetOffset(static_cast<int64_t>(body->ContentOffset()), 0));
        uint64_t systems = 0, pictures = 0, sounds = 0;
        while (reader.offset() < stop) {
            ASSERT_TRUE(reader.ParseKeyAndLength(&packet));
            systems += packet.PacketType() == kMxfKeySystemMetadataPack;
            pictures += packet.PacketType() == kMxfKeyPictureElement;
            sounds += packet.PacketType() == kMxfKeySoundElement;
            ASSERT_TRUE(reader.SetOffset(static_cast<int64_t>(packet.NextOffset()), 0));
        }
        EXPECT_EQ(reader.offset(), stop);
        EXPECT_EQ(systems, frames);
        EXPECT_EQ(pictures, frames);
        EXPECT_EQ(sounds, frames * d.audioChannels);
    }
    CUSharedPtr<PartitionPack> footer = mxftest::PackAt(reader, layout.footerPartition);
    ASSERT_TRUE(footer);
    EXPECT_EQ(footer->PacketType(), kMxfKeyFooterPartition);
    EXPECT_EQ(footer->PreviousPartition(), layout.bodyPartitions.back());
}

TEST_F(CardWriterFilesTest, EveryFrameRateReadsAsWritten) {
    for (cw::FrameRate rate : cw::kAllFrameRates) {
        SCOPED_TRACE(cw::FrameRateName(rate));
        cw::MxfFileDescription d = Description(rate, 31);
        if (rate == cw::FrameRate::k25p) d.soundWrapping = cw::MxfSoundWrapping::kWave;
        for (uint8_t i = 0; i < 32; ++i) {
            d.materialPackageUmid[i] = uint8_t(0x51 + i + int(rate));
            d.filePackageUmid[i] = uint8_t(0x52 + i);
        }
        const std::string path = dir_ + "/rate" + std::to_string(int(rate)) + ".mxf";
        const cw::MxfFileLayout layout = cw::WriteMxfFile(d, path);
        ExpectPartitionsReadAsWritten(path, d, layout);
        auto mxf = OpenMxf(path);
        ASSERT_EQ(mxf->Parse(), 0u);
        EXPECT_EQ(BodyPartitionOffsets(*mxf), layout.bodyPartitions);
        ExpectFileMatchesWriter(*mxf, d);

        const Tracks tracks = ReadTracks(*mxf, d.video.rateNumerator, d.video.rateDenominator, d.frameCount);
        EXPECT_EQ(tracks.width, unsigned(d.video.width));
        EXPECT_EQ(tracks.soundBits, std::vector<unsigned>(d.audioChannels, d.audioBitsPerSample));
        // Start timecode.
        CUSharedPtr<STTrack> tc = FBC_Utl_TimecodeTrackFromMXF(mxf);
        ASSERT_TRUE(tc);
        long long start = -1;
        ASSERT_TRUE(Value(tc->ValueForTag(kLocalTag_StartTimecode, 0), start));
        EXPECT_EQ(start, d.startTimecode);
        unsigned char drop = 2;
        ASSERT_TRUE(Value(tc->ValueForTag(kLocalTag_DropFrame, 0), drop));
        EXPECT_EQ(drop != 0, d.dropFrame);
        EXPECT_EQ(tc->TrackID(), 1u);
        // The material package's identity: from the sequence information at
        // its fixed offset for the file's kind, by parsing for kind 0 and for
        // the other kind (whose offset holds none).
        const auto is = [](const CUSharedPtr<UMID>& u, const cw::MxfUmid& expected) {
            return u && u->Length() == 32 && std::memcmp(u->Bytes(), expected.data(), 32) == 0;
        };
        EXPECT_EQ(layout.sequenceInfo, cw::MxfSequenceInfoOffset(d.video.height));
        auto fresh = OpenMxf(path);
        EXPECT_TRUE(
            is(FBC_Utl_GetRelayPackageUID(fresh, d.video.height == 720 ? 2 : 1), d.materialPackageUmid));
        EXPECT_TRUE(is(FBC_Utl_GetRelayPackageUID(fresh, 0), d.materialPackageUmid));
        EXPECT_TRUE(is(FBC_Utl_GetRelayPackageUID(OpenMxf(path), d.video.height == 720 ? 1 : 2),
                       d.materialPackageUmid));
        EXPECT_TRUE(is(FBC_Utl_SourcePackageUID(fresh), d.filePackageUmid));
        CUSharedPtr<StreamFileSequenceInfo> info =
            fresh->GetStreamFileSequenceInfoAtOffset(layout.sequenceInfo);
        ASSERT_TRUE(info);
        EXPECT_TRUE(is(info->PackageUID(), d.materialPackageUmid));
        ASSERT_TRUE(info->StartTimecode());
        EXPECT_EQ(info->StartTimecode()->SInt64Value(), d.startTimecode);
        EXPECT_FALSE(fresh->GetStreamFileSequenceInfoAtOffset(layout.sequenceInfo + 1));
    }
}

TEST_F(CardWriterFilesTest, FaultSwitches) {
    const auto underSid1 = [](MXFStream& mxf, const cw::MxfFileDescription& d, const cw::MxfFileLayout&) {
        EXPECT_EQ(mxf.EssenceBodySID(), 1u);
        ExpectFileMatchesWriter(mxf, d);
    };
    const struct {
        const char* name;
        std::function<void(cw::MxfFaults&)> set;
        std::function<void(MXFStream&, const cw::MxfFileDescription&, const cw::MxfFileLayout&)> check;
    } cases[] = {
        {"no random index pack", [](cw::MxfFaults& f) { f.omitRandomIndexPack = true; },
         [](MXFStream& mxf, const cw::MxfFileDescription& d, const cw::MxfFileLayout& layout) {
             EXPECT_FALSE(mxf.GetRandomIndexPack());
             // Walked back from the footer, the table is still in file order.
             EXPECT_EQ(BodyPartitionOffsets(mxf), layout.bodyPartitions);
             ExpectFileMatchesWriter(mxf, d);
         }},
        {"essence under BodySID 1", [](cw::MxfFaults& f) { f.bodySid = 1; }, underSid1},
        {"essence under BodySID 1, no random index pack",
         [](cw::MxfFaults& f) {
             f.bodySid = 1;
             f.omitRandomIndexPack = true;
         },
         underSid1},
        {"index entry length disagreeing with NSL/NPE",
         [](cw::MxfFaults& f) { f.badIndexEntryLength = true; },
         [](MXFStream& mxf, const cw::MxfFileDescription&, const cw::MxfFileLayout&) {
             uint64_t at = 0;
             EXPECT_EQ(mxf.GetEssenceOffset(0, cw::kMxfPictureElement, at), 0x131001u);
             EXPECT_EQ(mxf.RangeEssenceData(5, cw::kMxfPictureElement).second, 0u);
         }},
        {"no index tables", [](cw::MxfFaults& f) { f.omitIndexTables = true; },
         [](MXFStream& mxf, const cw::MxfFileDescription&, const cw::MxfFileLayout&) {
             int8_t t;
             EXPECT_FALSE(mxf.GetTemporalOffsetAtIndex(0, t));
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        cw::MxfFileDescription d = Description(cw::FrameRate::k59_94i, 40);
        c.set(d.faults);
        const std::string path = dir_ + "/fault.mxf";
        const cw::MxfFileLayout layout = cw::WriteMxfFile(d, path);
        auto mxf = OpenMxf(path);
        ASSERT_EQ(mxf->Parse(), 0u);
        c.check(*mxf, d, layout);
    }
}

TEST_F(CardWriterFilesTest, EightThreadsReadSharedFilesLikeOne) {
    std::vector<CUSharedPtr<MXFStream>> files;
    for (cw::FrameRate rate : {cw::FrameRate::k59_94i, cw::FrameRate::k50i, cw::FrameRate::k23_98p}) {
        const std::string path = dir_ + "/mt" + std::to_string(int(rate)) + ".mxf";
        cw::WriteMxfFile(Description(rate, 45), path);
        files.push_back(OpenMxf(path));
        ASSERT_EQ(files.back()->Parse(), 0u);
    }
    // Unit u is edit unit u % 45 of file u / 45.
    qztest::ExpectEightThreadsReadAsOne(
        uint32_t(45 * files.size()), [&](uint32_t u) { return ReadUnit(*files[u / 45], u % 45); }, [] {});
}

TEST_F(CardWriterFilesTest, EditUnitsAndElementsOutsideTheFileAreRefused) {
    cw::MxfFileDescription d = Description(cw::FrameRate::k25p, 15);
    d.framesPerBodyPartition = 5;
    const std::string path = dir_ + "/a.mxf";
    const cw::MxfFileLayout layout = cw::WriteMxfFile(d, path);
    auto mxf = OpenMxf(path);
    ASSERT_EQ(mxf->Parse(), 0u);
    EXPECT_EQ(mxf->GetBodyPartitions()->Count(), 3u);
    int8_t t;
    EXPECT_FALSE(mxf->GetTemporalOffsetAtIndex(15, t));
    EXPECT_FALSE(mxf->GetTemporalOffsetAtIndex(-1, t));
    EXPECT_EQ(mxf->RangeEssenceData(15, cw::kMxfPictureElement).first, MXFStream::kNoEssenceOffset);
    uint64_t at;
    EXPECT_EQ(mxf->GetEssenceOffset(-1, cw::kMxfPictureElement, at), 0x131001u);
    // A buffer one byte too small reads nothing.
    std::vector<unsigned char> buf(layout.frames[0].pictureSize);
    EXPECT_EQ(mxf->ReadEssenceData(0, cw::kMxfPictureElement, buf.data(), uint32_t(buf.size() - 1)), 0u);
    EXPECT_EQ(mxf->ReadEssenceData(0, cw::kMxfPictureElement, buf.data(), uint32_t(buf.size())), buf.size());
    // Element 4 is beyond the delta entries (system, picture, two sounds).
    EXPECT_NE(mxf->GetEssenceOffset(0, 4, at), 0u);
}

// Broken files without a random index pack: Parse fails with the format
// code instead of giving a partial table, and LastFailure names what failed
// and the byte it concerns (for a partition link that does not lead
// backwards, the pack whose link fails).
TEST_F(CardWriterFilesTest, BrokenFilesTellWhatFailedAndWhere) {
    cw::MxfFileDescription d = Description(cw::FrameRate::k25p, 24);
    d.faults.omitRandomIndexPack = true;
    const Written good = Write(d);
    const uint64_t primer = good.pf.partitions[0].kag;
    struct Case {
        const char* name;
        std::function<void(Written&)> breakIt;
        std::string reason;
        int64_t offset;
    } const cases[] = {
        {"footer pointer beyond the file", [](Written& w) { w.PatchPack(0, 24, 1u << 30); },
         "partition chain: footer partition pack at byte 1073741824 lies beyond the end of the file",
         int64_t{1} << 30},
        {"footer pointer at the primer", [&](Written& w) { w.PatchPack(0, 24, primer); },
         "footer partition pack at byte " + std::to_string(primer) + ": the key there is of another kind",
         static_cast<int64_t>(primer)},
        {"previous link forwards", [&](Written& w) { w.PatchPack(1, 16, good.Partition(2)); },
         "partition chain: partition pack at byte " + std::to_string(good.Partition(1)),
         static_cast<int64_t>(good.Partition(1))},
        {"previous link to itself", [&](Written& w) { w.PatchPack(2, 16, good.Partition(2)); },
         "partition chain: partition pack at byte " + std::to_string(good.Partition(2)),
         static_cast<int64_t>(good.Partition(2))},
        {"cut inside the header metadata", [](Written& w) { w.pf.bytes.resize(200); },
         "runs past the end of the file (200 bytes)", 0},
        {"empty file", [](Written& w) { w.pf.bytes.clear(); },
         "no header partition pack: no KLV key and length at byte 0", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Written w = good;
        c.breakIt(w);
        auto mxf = Save(w);
        EXPECT_EQ(mxf->Parse(), 0x131001u);
        const CUFailure failure = mxf->LastFailure();
        EXPECT_EQ(failure.Code(), 0x131001u);
        EXPECT_NE(failure.What().find(c.reason), std::string::npos) << failure.What();
        EXPECT_EQ(failure.Offset(), c.offset) << failure.What();
        EXPECT_NE(failure.File().find("a.mxf"), std::string::npos);
    }
}

// Damage the reader survives or refuses without reading past what it was given.
TEST_F(CardWriterFilesTest, DamagedPacksAndSetsAreBoundedByTheirRegions) {
    const cw::MxfFileDescription d = Description(cw::FrameRate::k25p, 24);
    const Written good = Write(d);
    {
        SCOPED_TRACE("footer 0 without a random index pack: an empty table");
        cw::MxfFileDescription noRip = d;
        noRip.faults.omitRandomIndexPack = true;
        Written w = Write(noRip);
        w.PatchPack(0, 24, 0);
        auto mxf = Save(w);
        EXPECT_EQ(mxf->Parse(), 0u);
        EXPECT_EQ(mxf->GetBodyPartitions()->Count(), 0u);
        EXPECT_EQ(mxf->RangeEssenceData(0, cw::kMxfPictureElement).second, 0u);
    }
    {
        SCOPED_TRACE("random index entry pointing nowhere: partitions found by scanning");
        Written w = good;
        w.Set(w.pf.klvs.back().valueOffset + 4, 8, 12345);
        auto mxf = Save(w);
        EXPECT_EQ(mxf->Parse(), 0u);
        ExpectFileMatchesWriter(*mxf, d);
    }
    {
        SCOPED_TRACE("random index length pointing before the file: the footer walk");
        Written w = good;
        w.Set(w.pf.bytes.size() - 4, 4, 0x7FFFFFFF);
        auto mxf = Save(w);
        EXPECT_EQ(mxf->Parse(), 0u);
        EXPECT_FALSE(mxf->GetRandomIndexPack());
        ExpectFileMatchesWriter(*mxf, d);
    }
    {
        SCOPED_TRACE("header metadata KLV passing its region");
        Written w = good;
        w.PatchPack(0, 32, w.layout.headerByteCount - 600);
        auto mxf = Save(w);
        EXPECT_EQ(mxf->ParseHeaderPartition(), 0x131001u);  // no header pack yet
        EXPECT_EQ(mxf->Parse(), 0x131001u);
    }
    {
        SCOPED_TRACE("huge preface length allocates nothing");
        Written w = good;
        const auto preface = std::find_if(w.pf.klvs.begin(), w.pf.klvs.end(),
                                          [](const mxftest::Klv& k) { return mxftest::IsSet(k.key, 0x2F); });
        ASSERT_NE(preface, w.pf.klvs.end());
        ASSERT_EQ(preface->valueOffset - preface->offset, 20u);
        w.Set(preface->offset + 16, 4, 0x837FFFFF);
        EXPECT_EQ(Save(w)->Parse(), 0x131001u);
    }
    {
        SCOPED_TRACE("index KLV passing its region");
        Written w = good;
        w.PatchPack(w.pf.partitions.size() - 1, 40, 64);  // the footer's index region
        auto mxf = Save(w);
        ASSERT_EQ(mxf->Parse(), 0u);
        EXPECT_FALSE(mxf->GetIndexFromPartition(w.layout.footerPartition));
        uint64_t at;
        EXPECT_EQ(mxf->GetEssenceOffset(0, cw::kMxfPictureElement, at), 0u);  // indexed in the second
        EXPECT_EQ(mxf->GetEssenceOffset(23, cw::kMxfPictureElement, at), 0x131001u);
    }
}

TEST_F(CardWriterFilesTest, IndexSearchGivesUpAfterHundredSteps) {
    // 300 partitions of one edit unit each, but a track duration of 30000:
    // the estimate for edit unit 250 lands 248 records short of it.
    cw::MxfFileDescription d = Description(cw::FrameRate::k25p, 300);
    d.framesPerBodyPartition = 1;
    Written w = Write(d);
    EXPECT_GT(qztest::PatchItems(w.pf.bytes, w.pf.partitions[0].Content(), 0x0202, 8, 0x0202,
                                 qztest::BigEndian(30000, 8)),
              0);
    auto mxf = Save(w);
    ASSERT_EQ(mxf->Parse(), 0u);
    ASSERT_EQ(mxf->Duration(), 30000);
    EXPECT_EQ(mxf->ReadIndexTable(250), 0x131001u);
    uint64_t at = 0;
    EXPECT_EQ(mxf->GetEssenceOffset(250, cw::kMxfPictureElement, at), 0x131001u);
    // Within reach, the walk finds it.
    EXPECT_EQ(mxf->ReadIndexTable(90), 0u);
    EXPECT_EQ(mxf->RangeEssenceData(90, cw::kMxfPictureElement).first, w.layout.frames[90].pictureOffset);
}

TEST_F(CardWriterFilesTest, TruncatedFilesNeverCrashOrHang) {
    const cw::MxfFileDescription d = Description(cw::FrameRate::k25p, 8);
    const Written w = Write(d);
    const mxftest::Partition& header = w.pf.partitions[0];
    const std::vector<uint8_t>& f = w.pf.bytes;
    const size_t cuts[] = {0,
                           1,
                           16,
                           19,
                           100,
                           header.kag,
                           header.kag + 30,
                           size_t(header.Content() - 1),
                           size_t(w.layout.bodyPartitions[0] + 10),
                           size_t(w.layout.frames[2].pictureOffset + 5),
                           size_t(w.layout.footerPartition + 3),
                           f.size() - 1};
    std::vector<unsigned char> buf(4 << 20);
    for (size_t cut : cuts) {
        SCOPED_TRACE(cut);
        Written t = w;
        t.pf.bytes.resize(cut);
        auto mxf = Save(t, "cut.mxf");
        if (mxf->Parse() != 0) continue;
        for (int64_t e = 0; e < mxf->Duration(); ++e) {
            MXFEssenceRange r = mxf->RangeEssenceData(e, cw::kMxfPictureElement);
            if (r.second != 0) {
                EXPECT_LE(r.first + r.second, cut);
            }
            const uint32_t n =
                mxf->ReadEssenceData(e, cw::kMxfPictureElement, buf.data(), uint32_t(buf.size()));
            if (n != 0) {
                EXPECT_EQ(0, std::memcmp(buf.data(), f.data() + w.layout.frames[size_t(e)].pictureOffset, n));
            }
        }
    }
}

TEST(MXFStreamTest, MissingFileThrowsAtConstruction) {
    qztest::ScratchFolder scratch("mxfstream");
    const std::string missing = scratch.Path() + "/missing.mxf";
    try {
        MXFStream stream(CUStringMac::Create(missing.c_str()));
        FAIL() << "no throw";
    } catch (const CUError& error) {
        EXPECT_STREQ(error.what(), "MXFStream init error");  // the fixed text stays
        EXPECT_EQ(error.Failure().File(), missing);
        EXPECT_EQ(error.Failure().What(), "file cannot be opened");
    }
    EXPECT_THROW(MXFStream(CUSharedPtr<CUStringMac>()), CUError);
}

// ffmpeg-written OP1a: essence in BodySID 1, a system item per frame.
class FfmpegFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        QZ_REQUIRE_TOOL("ffmpeg");
        QZ_REQUIRE_TOOL("ffprobe");
    }
    // testsrc at `rate` with 48 kHz sine audio, 1 s, MPEG-2 4:2:2 and PCM.
    std::string Make(const std::string& name, const std::string& size, const std::string& rate,
                     const std::string& extra = "") {
        const std::string path = dir_ + "/" + name;
        const std::string cmd = "ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc=size=" + size +
                                ":rate=" + rate +
                                " -f lavfi -i sine=sample_rate=48000 -t 1 -c:v mpeg2video -pix_fmt yuv422p " +
                                extra + " -c:a pcm_s16le -f mxf '" + path + "'";
        EXPECT_EQ(qztest::RunCommand(cmd).exitCode, 0) << cmd;
        return path;
    }
    qztest::ScratchFolder scratch_{"ffmpeg"};
    const std::string dir_ = scratch_.Path();
};

// ffmpeg's element numbering: 0 system item, 1 picture, 2 sound.
constexpr uint32_t kFfPicture = 1;
constexpr uint32_t kFfSound = 2;

// What ffmpeg and ffprobe see of the file; its tracks at the edit rate
// given, the picture track `width` wide, and a timecode track.
void ExpectMatchesFfmpeg(const std::string& path, int rateNumerator, int rateDenominator, unsigned width) {
    auto mxf = OpenMxf(path);
    ASSERT_EQ(mxf->Parse(), 0u);
    EXPECT_EQ(mxf->EssenceBodySID(), 1u);
    EXPECT_TRUE(FBC_Utl_TimecodeTrackFromMXF(mxf));
    EXPECT_EQ(ReadTracks(*mxf, rateNumerator, rateDenominator).width, width);
    // The video elements, concatenated, are what ffmpeg extracts.
    const std::string extracted = qztest::FfmpegVideoCopy(path);
    std::string ours;
    std::vector<uint8_t> buf(4 << 20);
    for (int64_t e = 0; e < mxf->Duration(); ++e) {
        const uint32_t n = mxf->ReadEssenceData(e, kFfPicture, buf.data(), uint32_t(buf.size()));
        ASSERT_GT(n, 0u) << e;
        ours.append(reinterpret_cast<const char*>(buf.data()), n);
    }
    EXPECT_EQ(ours.size(), extracted.size());
    EXPECT_TRUE(ours == extracted);
    // Every packet ffprobe lists: position and size of the element's value.
    const qztest::CommandResult probe =
        qztest::RunCommand("ffprobe -v error -show_entries packet=stream_index,pos,size,flags -of csv=p=0 " +
                           qztest::ShellQuote(path));
    ASSERT_EQ(probe.exitCode, 0);
    std::istringstream lines(probe.output);
    std::string line;
    int64_t video = 0, audio = 0;
    while (std::getline(lines, line)) {
        int stream = -1;
        unsigned long long size = 0, pos = 0;
        char flags[8] = {};
        if (std::sscanf(line.c_str(), "%d,%llu,%llu,%7s", &stream, &size, &pos, flags) < 3) continue;
        const int64_t e = stream == 0 ? video++ : audio++;
        // ffprobe's position is the element's key; its size the value length.
        uint64_t at = 0;
        ASSERT_EQ(mxf->GetEssenceOffset(e, stream == 0 ? kFfPicture : kFfSound, at), 0u);
        EXPECT_EQ(at, pos) << "stream " << stream << " unit " << e;
        const MXFEssenceRange r = mxf->RangeEssenceData(e, stream == 0 ? kFfPicture : kFfSound);
        EXPECT_GT(r.first, pos);
        EXPECT_EQ(r.second, size) << "stream " << stream << " unit " << e;
        if (stream == 0) {
            uint8_t f = 0;
            ASSERT_TRUE(mxf->GetFlagsAtIndex(e, f));
            EXPECT_EQ(flags[0] == 'K', (f & 0x30) == 0) << e;  // key frames are I pictures
        }
    }
    EXPECT_EQ(video, mxf->Duration());
    EXPECT_EQ(audio, mxf->Duration());
}

TEST_F(FfmpegFilesTest, NtscInterlacedLongGop) {
    ExpectMatchesFfmpeg(Make("ntsc.mxf", "1920x1080", "30000/1001", "-bf 2 -g 15 -flags +ildct+ilme"), 30000,
                        1001, 1920);
}

TEST_F(FfmpegFilesTest, Pal) {
    ExpectMatchesFfmpeg(Make("pal.mxf", "1920x1080", "25", "-bf 2 -g 12"), 25, 1, 1920);
}

TEST_F(FfmpegFilesTest, Hd720p5994) {
    ExpectMatchesFfmpeg(Make("720p.mxf", "1280x720", "60000/1001"), 60000, 1001, 1280);
}

}  // namespace

TEST_F(CardWriterFilesTest, WholeElementReadsGiveWhatTheCacheGives) {
    // Pictures of 50 Mbps CBR span several cache blocks and are read
    // straight into the caller's buffer; the same ranges read in small
    // pieces come through the cache. Sound elements are also read together
    // in one call. Intact and shrunk under the open streams (cut inside a
    // picture), both ways give the same bytes or fail alike.
    cw::MxfFileDescription d = Description(cw::FrameRate::k59_94i, 30);
    d.video.bitRate = 50000000;
    d.video.constantBitRate = true;
    d.audioChannels = 4;
    const std::string path = dir_ + "/large.mxf";
    const cw::MxfFileLayout layout = cw::WriteMxfFile(d, path);
    const std::vector<uint8_t> intact = mxftest::ReadFile(path);
    std::vector<unsigned char> buf(4 << 20);
    for (uint64_t shrinkTo : {uint64_t{0}, layout.frames[20].pictureOffset + 70000}) {
        SCOPED_TRACE(shrinkTo);
        ASSERT_TRUE(mxftest::WriteFile(path, intact));
        auto direct = OpenMxf(path), cached = OpenMxf(path);
        ASSERT_EQ(direct->Parse(), 0u);
        ASSERT_EQ(cached->Parse(), 0u);
        // Index segments are loaded before the file shrinks: both streams
        // then look for every element where it was.
        for (int64_t e = 0; e < direct->Duration(); ++e) {
            ASSERT_NE(direct->RangeEssenceData(e, cw::kMxfPictureElement).second, 0u);
            ASSERT_NE(cached->RangeEssenceData(e, cw::kMxfPictureElement).second, 0u);
        }
        if (shrinkTo) {
            ASSERT_EQ(::truncate(path.c_str(), off_t(shrinkTo)), 0);
        }
        // Neither keeps blocks it read before: every byte is read anew.
        for (auto* mxf : {&direct, &cached})
            FBCMemoryCacheManager::GetInstance()->removeCache(
                CUDynamicCast<CacheFileStream>((*mxf)->GetFileStream()).get());
        size_t failed = 0;
        for (int64_t e = 0; e < direct->Duration(); ++e) {
            SCOPED_TRACE(e);
            std::vector<std::vector<uint8_t>> sounds;
            for (uint32_t k = cw::kMxfPictureElement; k < cw::kMxfFirstSoundElement + d.audioChannels; ++k) {
                const MXFEssenceRange r = cached->RangeEssenceData(e, k);
                std::vector<uint8_t> pieces;
                if (r.second != 0)
                    pieces = mxftest::ReadInPieces(*cached->GetFileStream(), r.first, r.second);
                const bool whole = r.second != 0 && pieces.size() == r.second;
                const uint32_t n = direct->ReadEssenceData(e, k, buf.data(), uint32_t(buf.size()));
                ASSERT_EQ(n, whole ? r.second : 0u) << "element " << k;
                EXPECT_TRUE(std::equal(pieces.begin(), pieces.begin() + n, buf.begin()));
                if (k == cw::kMxfPictureElement && shrinkTo == 0) {
                    EXPECT_GT(r.second, 0x10000u);  // the direct path is taken
                }
                if (k >= uint32_t(cw::kMxfFirstSoundElement))
                    sounds.push_back(whole ? pieces : std::vector<uint8_t>());
                failed += !whole;
            }
            MXFEssenceRange values[4];
            const uint32_t together = direct->ReadEssenceElements(e, cw::kMxfFirstSoundElement, 4, buf.data(),
                                                                  uint32_t(buf.size()), values);
            const bool allSounds =
                std::none_of(sounds.begin(), sounds.end(), [](auto& s) { return s.empty(); });
            ASSERT_EQ(together != 0, allSounds);
            for (size_t c = 0; together && c < 4; ++c)
                EXPECT_EQ(std::vector<uint8_t>(buf.begin() + values[c].first,
                                               buf.begin() + values[c].first + values[c].second),
                          sounds[c]);
        }
        EXPECT_EQ(failed != 0, shrinkTo != 0);
    }
}
