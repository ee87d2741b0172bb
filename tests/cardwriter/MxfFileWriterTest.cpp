// Checks the MXF files the card writer produces against ffprobe/ffmpeg, and
// its fault switches and refusals. Their structure is checked by every reader
// test that opens a written file, and their decode order end to end by the
// plug-in's interop tests.
#include "AudioFramePattern.h"
#include "CardTestSupport.h"
#include "MxfFileWriter.h"
#include "MxfKlvWalk.h"
#include "ToneGenerator.h"

#include <gtest/gtest.h>

#include <functional>

namespace ComVantoVantoQZ64RADPlug::CardWriter {
namespace {

using namespace cardwriter_test;
using namespace mxftest;

std::string Tmp(const ScratchFolder& folder, const std::string& name) {
    return folder.Path() + "/" + name;
}

MxfFileDescription Small(int num, int den, bool interlaced, int width, int height, uint32_t frames) {
    MxfFileDescription d;
    // Top field first, CBR, closed GOPs of 15 with 2 B pictures: the defaults.
    d.video = {width, height, num, den, interlaced, true, 25000000, true, 15, 2, true};
    d.frameCount = frames;
    return d;
}

// ---------------------------------------------------------------------------
// Independent peers: ffprobe and ffmpeg.

struct RateCase {
    const char* name;
    int num, den;
    bool interlaced;
    int width, height;
    uint16_t base;
    bool dropFrame;
    const char* rate;
    const char* timecode;  // 01:00:00:00 in the file's timecode
};

class MxfFileWriterRateTest : public ::testing::TestWithParam<RateCase> {};

TEST_P(MxfFileWriterRateTest, FfprobeAndFfmpegReadWhatIsWritten) {
    QZ_REQUIRE_TOOL("ffprobe");
    QZ_REQUIRE_TOOL("ffmpeg");
    const RateCase& c = GetParam();
    ScratchFolder folder;
    MxfFileDescription d = Small(c.num, c.den, c.interlaced, c.width, c.height, 18);
    d.audioChannels = 2;
    d.video.closedGop = !c.interlaced;  // the interlaced cases use open GOPs
    d.roundedTimecodeBase = c.base;
    d.dropFrame = c.dropFrame;
    // 01:00:00:00 as a frame count in the base.
    d.startTimecode = int64_t{3600} * c.base - (c.dropFrame ? 108 * (c.base / 30) : 0);
    const std::string path = Tmp(folder, "R.MXF");
    WriteMxfFile(d, path);

    const CommandResult probe =
        RunPeer("ffprobe -v error -count_frames -show_streams -show_format " + ShellQuote(path));
    ASSERT_EQ(probe.exitCode, 0) << probe.output;
    const std::string& out = probe.output;
    EXPECT_EQ(ProbeValue(out, "codec_name"), "mpeg2video");
    EXPECT_EQ(ProbeValue(out, "profile"), "4:2:2");
    EXPECT_EQ(ProbeValue(out, "width"), std::to_string(c.width));
    EXPECT_EQ(ProbeValue(out, "height"), std::to_string(c.height));
    EXPECT_EQ(ProbeValue(out, "r_frame_rate"), c.rate);
    EXPECT_EQ(ProbeValue(out, "field_order"), c.interlaced ? "tt" : "progressive");
    EXPECT_EQ(ProbeValue(out, "nb_read_frames"), "18");
    EXPECT_EQ(ProbeValue(out, "TAG:timecode"), c.timecode);
    // Two mono 16-bit 48 kHz tracks.
    const CommandResult audio = RunPeer(
        "ffprobe -v error -select_streams a -show_entries stream=codec_name,sample_rate,channels -of "
        "csv=p=0 " +
        ShellQuote(path));
    EXPECT_EQ(audio.output, "pcm_s16le,48000,1\npcm_s16le,48000,1\n");

    // Decoding reports nothing.
    const CommandResult decode = RunPeer("ffmpeg -nostdin -v error -i " + ShellQuote(path) + " -f null -");
    EXPECT_EQ(decode.exitCode, 0);
    EXPECT_EQ(decode.output, "");

    // The copied video stream is exactly the picture elements, in file order.
    const std::string es = Tmp(folder, "v.m2v");
    ASSERT_EQ(RunPeer("ffmpeg -nostdin -v error -i " + ShellQuote(path) +
                      " -map 0:v -c copy -f mpeg2video -y " + ShellQuote(es))
                  .exitCode,
              0);
    const ParsedFile pf = Parse(path);
    std::vector<uint8_t> pictures;
    for (const Klv& k : pf.klvs)
        if (IsPicture(k.key))
            pictures.insert(pictures.end(), pf.bytes.begin() + static_cast<long>(k.valueOffset),
                            pf.bytes.begin() + static_cast<long>(k.End()));
    EXPECT_TRUE(ReadFile(es) == pictures) << "stream copy differs from the picture elements";
}

INSTANTIATE_TEST_SUITE_P(
    Rates, MxfFileWriterRateTest,
    ::testing::Values(
        RateCase{"i5994", 30000, 1001, true, 1920, 1080, 30, true, "30000/1001", "01:00:00;00"},
        RateCase{"i50", 25, 1, true, 1920, 1080, 25, false, "25/1", "01:00:00:00"},
        RateCase{"p2997", 30000, 1001, false, 1920, 1080, 30, false, "30000/1001", "01:00:00:00"},
        RateCase{"p25", 25, 1, false, 1440, 1080, 25, false, "25/1", "01:00:00:00"},
        RateCase{"p23976", 24000, 1001, false, 1920, 1080, 24, false, "24000/1001", "01:00:00:00"},
        RateCase{"p24", 24, 1, false, 1920, 1080, 24, false, "24/1", "01:00:00:00"},
        RateCase{"p5994", 60000, 1001, false, 1280, 720, 60, true, "60000/1001", "01:00:00;00"},
        RateCase{"p50", 50, 1, false, 1280, 720, 50, false, "50/1", "01:00:00:00"}),
    [](const ::testing::TestParamInfo<RateCase>& rate) { return std::string(rate.param.name); });

TEST(MxfFileWriterTest, ExtractedAudioIsTheToneSampleForSample) {
    QZ_REQUIRE_TOOL("ffmpeg");
    ScratchFolder folder;
    // A second file of a spanned clip: the tone and the 1602/1601 pattern
    // continue from clip frame 7.
    MxfFileDescription d = Small(30000, 1001, true, 1920, 1080, 23);
    d.audioChannels = 2;
    d.firstFrame = 7;
    const std::string path = Tmp(folder, "S.MXF");
    WriteMxfFile(d, path);
    const int64_t first = AudioFramePattern::FirstSampleOfFrame(30000, 1001, 7);
    const int64_t count = AudioFramePattern::FirstSampleOfFrame(30000, 1001, 30) - first;
    for (int channel = 0; channel < 2; ++channel) {
        const std::string raw = Tmp(folder, "a" + std::to_string(channel) + ".raw");
        ASSERT_EQ(RunPeer("ffmpeg -nostdin -v error -i " + ShellQuote(path) +
                          " -map 0:a:" + std::to_string(channel) + " -f s16le -y " + ShellQuote(raw))
                      .exitCode,
                  0);
        const std::vector<uint8_t> pcm = ReadFile(raw);
        ASSERT_EQ(pcm.size(), static_cast<size_t>(count) * 2);
        int mismatches = 0;
        for (int64_t i = 0; i < count; ++i) {
            const int16_t got = static_cast<int16_t>(pcm[2 * i] | (pcm[2 * i + 1] << 8));
            if (got != ToneGenerator::Sample(channel, first + i, 16) && ++mismatches < 5)
                ADD_FAILURE() << "channel " << channel << " sample " << i;
        }
        EXPECT_EQ(mismatches, 0);
    }
}

// ---------------------------------------------------------------------------

TEST(MxfFileWriterTest, FaultsBreakWhatTheySay) {
    ScratchFolder folder;
    const std::string path = Tmp(folder, "F.MXF");
    MxfFileDescription base = Small(25, 1, true, 1920, 1080, 30);
    base.audioChannels = 2;
    // Writes the base file with the faults `change` sets and reads it back.
    MxfFileLayout layout;
    auto faulty = [&](const std::function<void(MxfFaults&)>& change) {
        MxfFileDescription d = base;
        change(d.faults);
        layout = WriteMxfFile(d, path);
        return Parse(path);
    };
    ParsedFile pf = faulty([](auto& x) { x.omitRandomIndexPack = true; });
    EXPECT_EQ(layout.randomIndexPack, 0u);
    EXPECT_EQ(PartitionKind(pf.partitions.back().klv.key), 4);
    EXPECT_FALSE(
        std::equal(kRandomIndexKey.begin(), kRandomIndexKey.begin() + 14, pf.klvs.back().key.begin()));

    pf = faulty([](auto& x) { x.sequenceInfoOffsetShift = 40; });
    EXPECT_EQ(KeyAt(pf.bytes, 6724 + 40)[9], 0x15);
    EXPECT_NE(KeyAt(pf.bytes, 6724)[9], 0x15);
    pf = faulty([](auto& x) { x.sequenceInfoOffsetShift = 40, x.omitSequenceInfo = true; });
    EXPECT_EQ(layout.sequenceInfo, 0u);
    for (const Klv& k : pf.klvs) EXPECT_FALSE(k.key[8] == 0x0E && k.key[9] == 0x15);

    pf = faulty([](auto& x) { x.bodySid = 3, x.badIndexEntryLength = true; });
    for (const Partition& p : pf.partitions)
        if (p.kind == 3) {
            EXPECT_EQ(p.bodySid, 3u);
        }
    for (const Klv& k : pf.klvs)
        if (IsIndexSegment(k.key)) {
            EXPECT_EQ(BE(pf.bytes, Items(pf.bytes, k).at(0x3F0A).first + 4, 4), 16u);  // entry length
        }

    pf = faulty([](auto& x) { x.omitIndexTables = true, x.omitTimecodeTrack = true; });
    for (const Partition& p : pf.partitions) EXPECT_EQ(p.indexBytes, 0u);
    for (const Klv& k : pf.klvs) {
        EXPECT_FALSE(IsIndexSegment(k.key));
        EXPECT_FALSE(IsSet(k.key, 0x14)) << "no timecode component";
    }

    pf = faulty([](auto& x) { x.omitPrimerMpegItems = true; });
    Klv primer;
    ASSERT_TRUE(ReadKlv(pf.bytes, 512, primer));
    for (uint64_t at = primer.valueOffset + 8; at + 18 <= primer.End(); at += 18)
        EXPECT_FALSE(pf.bytes[at + 2 + 8] == 0x04 && pf.bytes[at + 2 + 10] == 0x06 &&
                     pf.bytes[at + 2 + 11] == 0x02)
            << "MPEG item label in the primer";

    MxfFileDescription d = base;
    d.faults.truncateToBytes = 100000;
    EXPECT_EQ(WriteMxfFile(d, path).fileSize, 100000u);
    EXPECT_EQ(std::filesystem::file_size(path), 100000u);
}

TEST(MxfFileWriterTest, RefusesDescriptionsItCannotWrite) {
    ScratchFolder folder;
    const std::string path = Tmp(folder, "E.MXF");
    const std::function<void(MxfFileDescription&)> breaks[] = {
        [](auto& d) { d.frameCount = 0; }, [](auto& d) { d.audioBitsPerSample = 20; },
        [](auto& d) { d.dropFrame = true; },  // no drop frame at 25
        [](auto& d) { d.audioChannels = 17; }};
    for (const auto& change : breaks) {
        MxfFileDescription d = Small(25, 1, true, 1920, 1080, 5);
        change(d);
        EXPECT_THROW(WriteMxfFile(d, path), MxfWriterError);
    }
    const MxfFileDescription d = Small(25, 1, true, 1920, 1080, 5);
    EXPECT_THROW(WriteMxfFile(d, folder.Path() + "/missing/dir/X.MXF"), MxfWriterError);
}

TEST(MxfFileWriterTest, SameDescriptionGivesTheSameBytesAnd24BitAudioIsDeclared) {
    ScratchFolder folder;
    MxfFileDescription d = Small(25, 1, false, 1280, 720, 6);
    d.audioBitsPerSample = 24;
    WriteMxfFile(d, Tmp(folder, "1.mxf"));
    WriteMxfFile(d, Tmp(folder, "2.mxf"));
    const std::vector<uint8_t> first = ReadFile(Tmp(folder, "1.mxf"));
    EXPECT_TRUE(first == ReadFile(Tmp(folder, "2.mxf")));
    // Each 25p frame carries 1920 samples of 3 bytes per channel.
    for (const Klv& k : WalkAll(first))
        if (IsSound(k.key)) {
            EXPECT_EQ(k.length, 1920u * 3);
        }
    if (qztest::ShouldRunPeerCheck("ffprobe")) {
        const CommandResult probe =
            RunPeer("ffprobe -v error -select_streams a:0 -show_streams " + ShellQuote(Tmp(folder, "1.mxf")));
        EXPECT_EQ(ProbeValue(probe.output, "codec_name"), "pcm_s24le");
    }
}

}  // namespace
}  // namespace ComVantoVantoQZ64RADPlug::CardWriter
