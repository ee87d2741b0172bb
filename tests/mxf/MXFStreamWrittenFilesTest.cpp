// MXFStream on whole files from independent writers: the card writer (every
// frame rate, its fault switches) and ffmpeg (essence under BodySID 1, a
// system item per frame), and many threads reading shared files at once.
#include "MXFStream.h"

#include "BodyPartitionArray.h"
#include "CUStringMac.h"
#include "HeaderMetadata.h"
#include "MDValue.h"
#include "MXFUtilities.h"
#include "MxfTestSupport.h"
#include "STMetadataSets.h"
#include "STTrack.h"
#include "UMID.h"

#include "AudioFramePattern.h"
#include "ClipFrameRate.h"
#include "Mpeg2Encoder.h"
#include "MxfFileWriter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <sstream>
#include <thread>
#include <vector>

using namespace ComVantoVantoQZ64RADPlug;

namespace {

CUSharedPtr<MXFStream> Open(const std::string& path) {
    return CUSharedPtr<MXFStream>(new MXFStream(CUStringMac::Create(path.c_str())));
}

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

// What one edit unit reads as: ranges and bytes of its first elements.
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

UnitRead ReadUnit(MXFStream& mxf, int64_t e, uint32_t pictureElement, uint32_t elements,
                  std::vector<uint8_t>& scratch) {
    UnitRead u;
    for (uint32_t k = 0; k < elements; ++k) u.ranges.push_back(mxf.RangeEssenceData(e, k));
    const uint32_t n = mxf.ReadEssenceData(e, pictureElement, scratch.data(), uint32_t(scratch.size()));
    u.picture.assign(scratch.begin(), scratch.begin() + n);
    mxf.GetTemporalOffsetAtIndex(e, u.temporal);
    mxf.GetKeyOffsetAtIndex(e, u.key);
    mxf.GetFlagsAtIndex(e, u.flags);
    return u;
}

// 8 threads read every edit unit of the shared streams in different orders;
// every result equals the single-threaded one.
void ExpectConcurrentReadsMatch(const std::vector<CUSharedPtr<MXFStream>>& files, uint32_t pictureElement,
                                uint32_t elements) {
    std::vector<std::vector<UnitRead>> expected(files.size());
    std::vector<uint8_t> scratch(4 << 20);
    for (size_t f = 0; f < files.size(); ++f)
        for (int64_t e = 0; e < files[f]->Duration(); ++e)
            expected[f].push_back(ReadUnit(*files[f], e, pictureElement, elements, scratch));
    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            std::vector<uint8_t> buffer(4 << 20);
            for (size_t round = 0; round < files.size(); ++round) {
                const size_t f = (round + size_t(t)) % files.size();
                const int64_t n = files[f]->Duration();
                for (int64_t i = 0; i < n; ++i) {
                    const int64_t e = (t % 2) ? n - 1 - i : (i * 7 + t) % n;
                    if (!(ReadUnit(*files[f], e, pictureElement, elements, buffer) == expected[f][size_t(e)]))
                        ++mismatches;
                }
            }
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(mismatches.load(), 0);
}

namespace cw = ComVantoVantoQZ64RADPlug::CardWriter;

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

TEST_F(CardWriterFilesTest, EveryFrameRateReadsAsWritten) {
    for (cw::FrameRate rate : cw::kAllFrameRates) {
        SCOPED_TRACE(cw::FrameRateName(rate));
        cw::MxfFileDescription d = Description(rate, 31);
        if (rate == cw::FrameRate::k25p) d.soundWrapping = cw::MxfSoundWrapping::kWave;
        const std::string path = dir_ + "/rate" + std::to_string(int(rate)) + ".mxf";
        const cw::MxfFileLayout layout = cw::WriteMxfFile(d, path);
        auto mxf = Open(path);
        ASSERT_EQ(mxf->Parse(), 0u);
        ASSERT_EQ(mxf->GetBodyPartitions()->Count(), layout.bodyPartitions.size());
        for (uint32_t i = 0; i < layout.bodyPartitions.size(); ++i) {
            uint64_t at = 0;
            ASSERT_TRUE(mxf->GetBodyPartitions()->FileOffsetAtIndex(i, at));
            EXPECT_EQ(at, layout.bodyPartitions[i]);
        }
        ExpectFileMatchesWriter(*mxf, d);

        // Tracks and descriptors.
        CUSharedPtr<HeaderMetadata> h = mxf->GetHeaderMetadata();
        bool sawPicture = false;
        uint32_t sounds = 0;
        for (uint32_t t = 0; t < h->TrackCount(0); ++t) {
            CUSharedPtr<STTrack> track = h->TrackForIndex(t, 0);
            ASSERT_TRUE(track);
            EXPECT_EQ(track->EditRate().numerator, d.video.rateNumerator);
            EXPECT_EQ(track->EditRate().denominator, d.video.rateDenominator);
            EXPECT_EQ(track->Duration(), int64_t(d.frameCount));
            unsigned int width = 0, height = 0, bits = 0;
            if (Value(track->ValueForTag(kLocalTag_StoredWidth, 0), width)) {
                sawPicture = true;
                EXPECT_EQ(int(width), d.video.width);
                ASSERT_TRUE(Value(track->ValueForTag(kLocalTag_DisplayHeight, 0), height) ||
                            Value(track->ValueForTag(kLocalTag_StoredHeight, 0), height));
            }
            if (Value(track->ValueForTag(kLocalTag_QuantizationBits, 0), bits)) {
                ++sounds;
                EXPECT_EQ(bits, d.audioBitsPerSample);
            }
        }
        EXPECT_TRUE(sawPicture);
        EXPECT_EQ(sounds, d.audioChannels);
        // Start timecode.
        CUSharedPtr<STTrack> tc = FBC_Utl_TimecodeTrackFromMXF(mxf);
        ASSERT_TRUE(tc);
        long long start = -1;
        ASSERT_TRUE(Value(tc->ValueForTag(kLocalTag_StartTimecode, 0), start));
        EXPECT_EQ(start, d.startTimecode);
        unsigned char drop = 2;
        ASSERT_TRUE(Value(tc->ValueForTag(kLocalTag_DropFrame, 0), drop));
        EXPECT_EQ(drop != 0, d.dropFrame);
        // The sequence information at its fixed offset and through Parse agree.
        EXPECT_EQ(layout.sequenceInfo, cw::MxfSequenceInfoOffset(d.video.height));
        auto fresh = Open(path);
        CUSharedPtr<UMID> fast = FBC_Utl_GetRelayPackageUID(fresh, d.video.height == 720 ? 2 : 1);
        CUSharedPtr<UMID> parsed = FBC_Utl_GetRelayPackageUID(fresh, 0);
        ASSERT_TRUE(fast);
        ASSERT_TRUE(parsed);
        EXPECT_TRUE(fast->isEqualToUMID(parsed));
        EXPECT_TRUE(fresh->GetStreamFileSequenceInfoAtOffset(layout.sequenceInfo));
    }
}

TEST_F(CardWriterFilesTest, FaultSwitches) {
    cw::MxfFileDescription d = Description(cw::FrameRate::k59_94i, 40);
    {
        SCOPED_TRACE("no random index pack");
        d.faults.omitRandomIndexPack = true;
        const std::string path = dir_ + "/norip.mxf";
        cw::WriteMxfFile(d, path);
        auto mxf = Open(path);
        ASSERT_EQ(mxf->Parse(), 0u);
        EXPECT_FALSE(mxf->GetRandomIndexPack());
        ExpectFileMatchesWriter(*mxf, d);
        d.faults = cw::MxfFaults();
    }
    {
        SCOPED_TRACE("essence under BodySID 1");
        d.faults.bodySid = 1;
        const std::string path = dir_ + "/sid1.mxf";
        cw::WriteMxfFile(d, path);
        auto mxf = Open(path);
        ASSERT_EQ(mxf->Parse(), 0u);
        EXPECT_EQ(mxf->EssenceBodySID(), 1u);
        ExpectFileMatchesWriter(*mxf, d);
        d.faults = cw::MxfFaults();
    }
    {
        SCOPED_TRACE("index entry length disagreeing with NSL/NPE");
        d.faults.badIndexEntryLength = true;
        const std::string path = dir_ + "/badlen.mxf";
        cw::WriteMxfFile(d, path);
        auto mxf = Open(path);
        ASSERT_EQ(mxf->Parse(), 0u);
        uint64_t at = 0;
        EXPECT_EQ(mxf->GetEssenceOffset(0, cw::kMxfPictureElement, at), 0x131001u);
        EXPECT_EQ(mxf->RangeEssenceData(5, cw::kMxfPictureElement).second, 0u);
        d.faults = cw::MxfFaults();
    }
    {
        SCOPED_TRACE("no index tables");
        d.faults.omitIndexTables = true;
        const std::string path = dir_ + "/noindex.mxf";
        cw::WriteMxfFile(d, path);
        auto mxf = Open(path);
        ASSERT_EQ(mxf->Parse(), 0u);
        int8_t t;
        EXPECT_FALSE(mxf->GetTemporalOffsetAtIndex(0, t));
        d.faults = cw::MxfFaults();
    }
}

TEST_F(CardWriterFilesTest, EightThreadsReadSharedFilesLikeOne) {
    std::vector<CUSharedPtr<MXFStream>> files;
    const cw::FrameRate rates[] = {cw::FrameRate::k59_94i, cw::FrameRate::k50i, cw::FrameRate::k23_98p};
    for (cw::FrameRate rate : rates) {
        cw::MxfFileDescription d = Description(rate, 45);
        const std::string path = dir_ + "/mt" + std::to_string(int(rate)) + ".mxf";
        cw::WriteMxfFile(d, path);
        files.push_back(Open(path));
        ASSERT_EQ(files.back()->Parse(), 0u);
    }
    ExpectConcurrentReadsMatch(files, cw::kMxfPictureElement, 4);
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

void ExpectMatchesFfmpeg(const std::string& path) {
    auto mxf = Open(path);
    ASSERT_EQ(mxf->Parse(), 0u);
    EXPECT_EQ(mxf->EssenceBodySID(), 1u);
    // The video elements, concatenated, are what ffmpeg extracts.
    const qztest::CommandResult copy =
        qztest::RunCommand("ffmpeg -nostdin -loglevel error -i " + qztest::ShellQuote(path) +
                           " -map 0:v -c copy -f mpeg2video -");
    ASSERT_EQ(copy.exitCode, 0);
    const std::string& extracted = copy.output;
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
    const std::string& packets = probe.output;
    std::istringstream lines(packets);
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
    ExpectMatchesFfmpeg(Make("ntsc.mxf", "1920x1080", "30000/1001", "-bf 2 -g 15 -flags +ildct+ilme"));
}

TEST_F(FfmpegFilesTest, Pal) {
    ExpectMatchesFfmpeg(Make("pal.mxf", "1920x1080", "25", "-bf 2 -g 12"));
}

TEST_F(FfmpegFilesTest, Hd720p5994) {
    const std::string path = Make("720p.mxf", "1280x720", "60000/1001");
    ExpectMatchesFfmpeg(path);
    // Timecode and tracks.
    auto mxf = Open(path);
    ASSERT_EQ(mxf->Parse(), 0u);
    EXPECT_TRUE(FBC_Utl_TimecodeTrackFromMXF(mxf));
    CUSharedPtr<HeaderMetadata> h = mxf->GetHeaderMetadata();
    bool sawPicture = false;
    for (uint32_t t = 0; t < h->TrackCount(0); ++t) {
        CUSharedPtr<STTrack> track = h->TrackForIndex(t, 0);
        ASSERT_TRUE(track);
        EXPECT_EQ(track->EditRate().numerator, 60000);
        EXPECT_EQ(track->EditRate().denominator, 1001);
        unsigned int width = 0;
        if (Value(track->ValueForTag(kLocalTag_StoredWidth, 0), width)) {
            sawPicture = true;
            EXPECT_EQ(width, 1280u);
        }
    }
    EXPECT_TRUE(sawPicture);
}

}  // namespace
