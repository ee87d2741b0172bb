// The host sample model over written clips: sample tables and time mappings,
// video and audio buffers and the three descriptions against the card
// writer and ffmpeg, malformed elements, missing files, eight threads.
#include "ClipTimecode.h"
#include "ConcurrentReads.h"
#include "ExternalTool.h"
#include "FfprobePackets.h"
#include "PluginTestSupport.h"

#include "CFNumber.h"
#include "CVImageBuffer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

using namespace ComVantoVantoQZ64RADPlug;
using namespace plugin_test;
using qztest::ScratchFolder;

namespace {

int64_t NumberValue(CFTypeRef number) {
    int64_t value = -1;
    auto n = CFCast<CFNumber>(number);
    EXPECT_TRUE(n && CFNumberGetValue(n, kCFNumberSInt64Type, &value));
    return value;
}

}  // namespace

// The audio mappings on a time base, as the clip clock gives them: both
// directions agree wherever the rates come from, and a time base they cannot
// use (a sample lasting more than one unit, a rate of 0) maps nothing.
TEST(FBCMovieSampleForFCPXTest, AudioSampleMappingsOfAnyTimeBase) {
    // Rates not written in their lowest terms or without a pattern of their
    // own: each sample still lies in the frame whose samples hold it.
    for (const FBCHostTimeBase& base :
         {FBCHostTimeBase{100, 2997, 1, 48000}, FBCHostTimeBase{100, 5994, 1, 48000},
          FBCHostTimeBase{1000, 29970, 1, 48000}, FBCHostTimeBase{1001, 120000, 1, 48000}}) {
        int64_t mismatches = 0;
        for (int64_t f = 0; f < 100000; ++f) {
            const int64_t a = FBCMovieSampleForFCPX::AudioSampleIndexAtFrame(base, f),
                          b = FBCMovieSampleForFCPX::AudioSampleIndexAtFrame(base, f + 1);
            mismatches += FBCMovieSampleForFCPX::FrameAtAudioSampleIndex(base, a) != f ||
                          (b > a && FBCMovieSampleForFCPX::FrameAtAudioSampleIndex(base, b - 1) != f);
        }
        EXPECT_EQ(mismatches, 0) << base.mediaTimescale << "/" << base.frameDuration;
    }
    // The day's end at 25 fps is 86400 s of 48 kHz.
    EXPECT_EQ(FBCMovieSampleForFCPX::AudioSampleIndexAtFrame({1, 25, 1, 48000}, 2160000), 4147200000);
    const FBCHostTimeBase unusable[] = {
        {0, 25, 1, 48000}, {1, 0, 1, 48000}, {1, 25, 2, 48000}, {1, 25, 1, 0}};
    for (const FBCHostTimeBase& base : unusable) {
        EXPECT_EQ(FBCMovieSampleForFCPX::AudioSampleIndexAtFrame(base, 1), -1);
        EXPECT_EQ(FBCMovieSampleForFCPX::FrameAtAudioSampleIndex(base, 1), -1);
    }
    EXPECT_EQ(FBCMovieSampleForFCPX::AudioSampleIndexAtFrame({1, 25, 1, 48000}, -1), -1);
    EXPECT_EQ(FBCMovieSampleForFCPX::FrameAtAudioSampleIndex({1, 25, 1, 48000}, -1), -1);
}

// Sample and time mappings of written clips, with their ends. A time belongs
// to the frame whose span holds it (the floor), at one tick per frame (25P)
// and at 1001 ticks per frame (29.97P).
TEST(FBCMovieSampleForFCPXTest, SamplesAndTimesLandOnTheFrameThatHoldsThem) {
    ScratchFolder folder("plugin");
    auto ten =
        Open(qztest::WriteClip(folder.Path() + "/a", qztest::SmallClip(cw::FrameRate::k25p, {250})).cifPath);
    auto three =
        Open(qztest::WriteClip(folder.Path() + "/b", qztest::SmallClip(cw::FrameRate::k25p, {3})).cifPath);
    auto ntsc =
        Open(qztest::WriteClip(folder.Path() + "/c", qztest::SmallClip(cw::FrameRate::k29_97p, {6})).cifPath);
    ASSERT_TRUE(ten && three && ntsc);
    const int64_t starts[] = {0, 1602, 3203, 4805, 6406, 8008};
    for (int64_t f = 0; f <= 5; ++f) EXPECT_EQ(ntsc->audioSampleIndexAtFrameIndex(f), starts[f]);
    EXPECT_EQ(ntsc->audioSampleIndexAtFrameIndex(6), 9610);  // the end index is allowed
    EXPECT_EQ(ntsc->audioSampleIndexAtFrameIndex(7), -1);
    EXPECT_EQ(ntsc->audioSampleCountAtFrameIndex(5), 1602);
    EXPECT_EQ(ntsc->audioSampleCountAtFrameIndex(6), -1);
    EXPECT_EQ(ntsc->audioSampleCount(), 9610);
    EXPECT_EQ(ntsc->frameIndexAtAudioSampleIndex(1601), 0u);
    EXPECT_EQ(ntsc->frameIndexAtAudioSampleIndex(1602), 1u);
    EXPECT_EQ(ntsc->frameIndexAtAudioSampleIndex(-1), 0xFFFFFFFFu);
    EXPECT_EQ(CMTimeCompare(ntsc->presentationTimeAtIndex(5), CMTimeMake(5005, 30000)), 0);
    EXPECT_TRUE(CMTIME_IS_INVALID(ntsc->presentationTimeAtIndex(6)));
    EXPECT_TRUE(CMTIME_IS_INVALID(ntsc->presentationTimeAtIndex(-1)));
    const struct {
        FBCMovieSampleForFCPX* movie;
        CMTime time;
        uint32_t frame;
    } cases[] = {
        {three.get(), CMTimeMake(0, 1), 0},           {three.get(), CMTimeMake(1, 50), 0},
        {three.get(), CMTimeMake(39, 1000), 0},       {three.get(), CMTimeMake(1, 25), 1},
        {three.get(), CMTimeMake(5, 50), 2},          {three.get(), CMTimeMake(3, 25), 3},
        {three.get(), CMTimeMake(9, 25), 3},          {three.get(), CMTimeMake(-1, 50), 0},
        {ten.get(), CMTimeMake(999, 100), 249},       {ten.get(), CMTimeMake(10, 1), 250},
        {ntsc.get(), CMTimeMake(1000, 30000), 0},     {ntsc.get(), CMTimeMake(1001, 30000), 1},
        {ntsc.get(), CMTimeMake(1, 10), 2},           {ntsc.get(), CMTimeMake(5004, 30000), 4},
        {three.get(), kCMTimeInvalid, 0xFFFFFFFF},    {three.get(), kCMTimePositiveInfinity, 0xFFFFFFFF},
        {three.get(), kCMTimeIndefinite, 0xFFFFFFFF},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.time.value) + "/" + std::to_string(c.time.timescale));
        EXPECT_EQ(c.movie->frameIndexAtCMTime(c.time), c.frame);
    }
}

// Every frame of clips of several rates, spanned and with open or closed
// groups: the picture element's bytes, exact decode and presentation
// times, and the dependency attachments of its picture type. Against
// ffmpeg reading each member file: its pictures are the bytes of ffmpeg's
// stream copy, their presentation times step as ffprobe's packet times do,
// and its stereo is ffmpeg's first two audio streams merged as 16-bit
// little-endian.
TEST(FBCMovieSampleForFCPXTest, VideoBuffersOfEveryFrameAndFfmpegsReadingOfEachFile) {
    const struct {
        cw::FrameRate rate;
        std::vector<uint32_t> members;
        bool closedGop;
        uint32_t channels;
    } cases[] = {
        {cw::FrameRate::k25p, {13, 11}, false, 4}, {cw::FrameRate::k29_97p, {14}, true, 2},
        {cw::FrameRate::k50i, {12}, false, 2},     {cw::FrameRate::k59_94p, {9, 10}, false, 2},
        {cw::FrameRate::k23_98p, {8}, false, 2},   {cw::FrameRate::k59_94i, {12}, false, 4},
    };
    const bool peers = qztest::ShouldRunPeerCheck("ffmpeg") && qztest::ShouldRunPeerCheck("ffprobe");
    for (const auto& c : cases) {
        SCOPED_TRACE(cw::FrameRateName(c.rate));
        const qztest::ScratchClip clip("plugin",
                                       qztest::SmallClip(c.rate, c.members, c.closedGop, c.channels));
        auto movie = Open(clip.cifPath);
        ASSERT_TRUE(movie);
        ASSERT_EQ(movie->FrameCountInClip(), clip.frames.size());
        const cw::FrameRateTraits traits = cw::TraitsOf(c.rate);
        const int64_t d = traits.editRateDenominator;
        const int32_t scale = static_cast<int32_t>(traits.editRateNumerator);
        std::vector<std::vector<uint8_t>> files;
        for (const std::string& path : clip.mxfPaths) files.push_back(qztest::ReadFile(path));
        // Per member file: its pictures, its stereo and its presentation positions.
        std::vector<std::string> video(files.size()), audio(files.size());
        std::vector<std::vector<int64_t>> positions(files.size());
        for (uint32_t f = 0; f < clip.frames.size(); ++f) {
            SCOPED_TRACE(f);
            const qztest::WrittenFrame& w = clip.frames[f];
            SampleHolder sample = SampleHolder::Adopt(movie->createVideoSampleBufferAtIndex(f));
            SampleHolder sound = FrameAudio(*movie, f);
            ASSERT_TRUE(sample && sound);
            ASSERT_LE(w.record.pictureOffset + w.record.pictureSize, files[w.member].size());
            const auto picture = files[w.member].begin() + static_cast<long>(w.record.pictureOffset);
            const std::vector<uint8_t> bytes = BytesOf(sample.Get()), stereo = BytesOf(sound.Get());
            EXPECT_EQ(bytes, std::vector<uint8_t>(picture, picture + w.record.pictureSize));
            video[w.member].append(bytes.begin(), bytes.end());
            audio[w.member].append(stereo.begin(), stereo.end());
            positions[w.member].push_back(int64_t{f} + w.record.displayOffset);
            EXPECT_EQ(CMSampleBufferGetNumSamples(sample.Get()), 1);
            EXPECT_EQ(CMSampleBufferGetSampleSize(sample.Get(), 0), w.record.pictureSize);
            EXPECT_EQ(CMSampleBufferGetFormatDescription(sample.Get()), movie->videoFormatDescription());
            EXPECT_EQ(CMTimeCompare(CMSampleBufferGetDecodeTimeStamp(sample.Get()), CMTimeMake(f * d, scale)),
                      0);
            EXPECT_EQ(CMTimeCompare(CMSampleBufferGetPresentationTimeStamp(sample.Get()),
                                    CMTimeMake(positions[w.member].back() * d, scale)),
                      0);
            EXPECT_EQ(CMTimeCompare(CMSampleBufferGetDuration(sample.Get()), CMTimeMake(d, scale)), 0);
            const bool opensFile = w.local == 0;
            const char type = w.record.type;
            EXPECT_EQ(BooleanAttachment(sample.Get(), kCMSampleAttachmentKey_NotSync),
                      !(type == 'I' && opensFile));
            EXPECT_EQ(BooleanAttachment(sample.Get(), kCMSampleAttachmentKey_PartialSync),
                      type == 'I' && !opensFile);
            EXPECT_EQ(BooleanAttachment(sample.Get(), kCMSampleAttachmentKey_EarlierDisplayTimesAllowed),
                      type != 'B');
            EXPECT_EQ(BooleanAttachment(sample.Get(), kCMSampleAttachmentKey_IsDependedOnByOthers),
                      type != 'B');
        }
        EXPECT_FALSE(movie->createVideoSampleBufferAtIndex(clip.frames.size()));
        EXPECT_FALSE(movie->createVideoSampleBufferAtIndex(-1));
        for (size_t m = 0; peers && m < files.size(); ++m) {
            SCOPED_TRACE(clip.mxfPaths[m]);
            const std::string copy = qztest::FfmpegVideoCopy(clip.mxfPaths[m]);
            EXPECT_TRUE(copy == video[m]) << "ffmpeg " << copy.size() << " bytes, ours " << video[m].size();
            const std::string stereo = qztest::FfmpegStereo(clip.mxfPaths[m]);
            EXPECT_TRUE(stereo == audio[m])
                << "ffmpeg " << stereo.size() << " bytes, ours " << audio[m].size();
            const std::vector<qztest::ProbedPacket> packets = qztest::ProbePackets(clip.mxfPaths[m]);
            ASSERT_EQ(packets.size(), positions[m].size());
            const int64_t ours0 = *std::min_element(positions[m].begin(), positions[m].end());
            long theirs0 = packets[0].pts;
            for (const qztest::ProbedPacket& p : packets) theirs0 = std::min(theirs0, p.pts);
            for (size_t i = 0; i < packets.size(); ++i)
                EXPECT_EQ(positions[m][i] - ours0, packets[i].pts - theirs0) << i;
        }
    }
}

// The interleaved stereo of every frame, end to end across a member-file
// boundary, equals tones 0 and 1 at their absolute sample indices; partial
// runs start at their offset and stop at their end time.
TEST(FBCMovieSampleForFCPXTest, AudioBuffersAreTheTonesAtTheirSampleIndex) {
    for (cw::FrameRate rate : {cw::FrameRate::k29_97p, cw::FrameRate::k59_94p, cw::FrameRate::k25p}) {
        SCOPED_TRACE(cw::FrameRateName(rate));
        const qztest::ScratchClip clip("plugin", qztest::SmallClip(rate, {7, 8}, false, 4));
        auto movie = Open(clip.cifPath);
        ASSERT_TRUE(movie);
        std::vector<uint8_t> run;
        for (uint32_t f = 0; f < movie->FrameCountInClip(); ++f) {
            SampleHolder sample = FrameAudio(*movie, f);
            ASSERT_TRUE(sample) << f;
            const int64_t a = movie->audioSampleIndexAtFrameIndex(f);
            EXPECT_EQ(CMSampleBufferGetNumSamples(sample.Get()), movie->audioSampleCountAtFrameIndex(f));
            EXPECT_EQ(
                CMTimeCompare(CMSampleBufferGetPresentationTimeStamp(sample.Get()), CMTimeMake(a, 48000)), 0);
            const std::vector<uint8_t> bytes = BytesOf(sample.Get());
            run.insert(run.end(), bytes.begin(), bytes.end());
        }
        EXPECT_EQ(run, Tones(0, movie->audioSampleCount()));

        const int64_t f = 9;  // in the second file
        const int64_t a = movie->audioSampleIndexAtFrameIndex(f);
        const int64_t n = movie->audioSampleCountAtFrameIndex(f);
        const struct {
            int32_t offset;
            CMTime end;
            int64_t samples;  // -1: no buffer
        } runs[] = {
            {100, CMTimeMake(a + 150, 48000), 50},
            {100, CMTimeMake(a + 50, 48000), -1},
            {100, CMTimeMake(a + 100, 48000), 0},
            {100, kCMTimePositiveInfinity, n - 100},
            {0, CMTimeMake(a + n + 500, 48000), n},        // at most the frame's end
            {7, CMTimeMake(2 * (a + 20) + 1, 96000), 14},  // a half sample rounds away from zero
            {int32_t(n), kCMTimePositiveInfinity, 0},
            {int32_t(n) + 1, kCMTimePositiveInfinity, -1},
            {-1, kCMTimePositiveInfinity, -1},
            {0, kCMTimeInvalid, -1},
        };
        for (const auto& r : runs) {
            SCOPED_TRACE(r.offset);
            SampleHolder sample =
                SampleHolder::Adopt(movie->createAudioSampleBufferAtIndex(f, r.offset, r.end));
            ASSERT_EQ(bool(sample), r.samples >= 0);
            if (!sample) continue;
            EXPECT_EQ(CMSampleBufferGetNumSamples(sample.Get()), r.samples);
            EXPECT_EQ(BytesOf(sample.Get()), Tones(a + r.offset, r.samples));
            EXPECT_EQ(CMTimeCompare(CMSampleBufferGetPresentationTimeStamp(sample.Get()),
                                    CMTimeMake(a + r.offset, 48000)),
                      0);
        }
        EXPECT_FALSE(
            movie->createAudioSampleBufferAtIndex(movie->FrameCountInClip(), 0, kCMTimePositiveInfinity));
    }
}

// An element holding fewer samples than the frame's pattern keeps the
// samples it holds (only the missing ones are silent); one holding more
// still fills the frame.
TEST(FBCMovieSampleForFCPXTest, SoundElementsShorterOrLongerThanThePattern) {
    const qztest::ScratchClip clip("plugin", qztest::SmallClip(cw::FrameRate::k29_97p, {6}));
    const std::vector<uint8_t> written = qztest::ReadFile(clip.mxfPaths[0]);
    const uint32_t frame = 3;
    uint64_t valueOffset = 0;
    int32_t element = -1;
    {
        auto movie = Open(clip.cifPath);
        ASSERT_TRUE(movie);
        element = movie->trackIndexFromType(kMxfTrackSound, 0);
        int64_t offset = 0;
        ASSERT_TRUE(movie->editInfoAtIndex(frame, element, &offset, nullptr));
        valueOffset = static_cast<uint64_t>(offset);
    }
    for (int64_t change : {-1, -600, +1}) {
        SCOPED_TRACE(change);
        std::vector<uint8_t> bytes = written;
        const int64_t n = 1601;  // frame 3 at 29.97
        const std::vector<uint8_t> ber = qztest::BigEndian(0x83000000u | uint32_t(2 * (n + change)), 4);
        ASSERT_EQ(bytes[valueOffset - 4], 0x83);
        std::copy(ber.begin(), ber.end(), bytes.begin() + static_cast<long>(valueOffset - 4));
        ASSERT_TRUE(qztest::WriteFile(clip.mxfPaths[0], bytes));
        auto movie = Open(clip.cifPath);
        ASSERT_TRUE(movie);
        ASSERT_EQ(movie->audioSampleCountAtFrameIndex(frame), n);
        SampleHolder sample = FrameAudio(*movie, frame);
        ASSERT_TRUE(sample);
        std::vector<uint8_t> expected = Tones(movie->audioSampleIndexAtFrameIndex(frame), n);
        for (int64_t i = n + change; i < n; ++i) expected[size_t(4 * i)] = expected[size_t(4 * i + 1)] = 0;
        EXPECT_EQ(BytesOf(sample.Get()), expected);
    }
}

// The video and timecode descriptions of each picture format and timecode
// counting.
TEST(FBCMovieSampleForFCPXTest, VideoAndTimecodeDescriptionsOfEachFormat) {
    const struct {
        cw::FrameRate rate;
        cw::PictureSize size;
        bool dropFrame;
        int32_t width, height, fields, horizontal, vertical;
        int64_t duration;  // of a timecode frame
        int32_t timescale;
        uint32_t quanta;
    } cases[] = {
        {cw::FrameRate::k25p, cw::PictureSize::k1280x720, false, 1280, 720, 1, 1, 1, 1, 25, 25},
        {cw::FrameRate::k25p, cw::PictureSize::k1920x1080, false, 1920, 1080, 1, 1, 1, 1, 25, 25},
        {cw::FrameRate::k50i, cw::PictureSize::k1440x1080, false, 1440, 1080, 2, 4, 3, 1, 25, 25},
        {cw::FrameRate::k29_97p, cw::PictureSize::k1280x720, true, 1280, 720, 1, 1, 1, 1001, 30000, 30},
    };
    CFHolder<CFStringRef> name = String("QZ 422 Long GOP");
    CFHolder<CFStringRef> frameNumber = CFHolder<CFStringRef>::Adopt(
        CFStringCreateWithCString(nullptr, "Framenumber", kCFStringEncodingASCII));
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + " at " + std::to_string(c.timescale));
        cw::ClipDescription description = qztest::SmallClip(c.rate, {3});
        description.pictureSize = c.size;
        description.dropFrame = c.dropFrame;
        description.startTimecode = {10, 1, 2, 3};
        const qztest::ScratchClip clip("plugin", description);
        auto movie = Open(clip.cifPath, name.Get(), 0x717A7A32);
        ASSERT_TRUE(movie);
        CMFormatDescriptionRef video = movie->videoFormatDescription();
        ASSERT_TRUE(video);
        EXPECT_EQ(CMFormatDescriptionGetMediaType(video), kCMMediaType_Video);
        EXPECT_EQ(CMFormatDescriptionGetMediaSubType(video), 0x717A7A32u);
        const CMVideoDimensions size = CMVideoFormatDescriptionGetDimensions(video);
        EXPECT_EQ(size.width, c.width);
        EXPECT_EQ(size.height, c.height);
        auto extension = [&](CFStringRef key) { return CMFormatDescriptionGetExtension(video, key); };
        EXPECT_TRUE(CFEqual(extension(kCMFormatDescriptionExtension_FormatName), name.Get()));
        EXPECT_EQ(NumberValue(extension(kCVImageBufferFieldCountKey)), c.fields);
        EXPECT_EQ(extension(kCVImageBufferFieldDetailKey) != nullptr, c.fields == 2);
        if (c.fields == 2) {
            EXPECT_TRUE(CFEqual(extension(kCVImageBufferFieldDetailKey),
                                kCVImageBufferFieldDetailSpatialFirstLineEarly));
        }
        auto aspect = CFCast<CFDictionary>(extension(kCVImageBufferPixelAspectRatioKey));
        ASSERT_TRUE(aspect);
        EXPECT_EQ(
            NumberValue(CFDictionaryGetValue(aspect, kCVImageBufferPixelAspectRatioHorizontalSpacingKey)),
            c.horizontal);
        EXPECT_EQ(NumberValue(CFDictionaryGetValue(aspect, kCVImageBufferPixelAspectRatioVerticalSpacingKey)),
                  c.vertical);
        EXPECT_TRUE(
            CFEqual(extension(kCVImageBufferColorPrimariesKey), kCVImageBufferColorPrimaries_ITU_R_709_2));
        EXPECT_TRUE(CFEqual(extension(kCVImageBufferTransferFunctionKey),
                            kCVImageBufferTransferFunction_ITU_R_709_2));
        EXPECT_TRUE(CFEqual(extension(kCVImageBufferYCbCrMatrixKey), kCVImageBufferYCbCrMatrix_ITU_R_709_2));
        EXPECT_EQ(CFDictionaryGetCount(CMFormatDescriptionGetExtensions(video)), c.fields == 2 ? 7 : 6);

        CMFormatDescriptionRef timecode = movie->timeCodeFormatDescription();
        ASSERT_TRUE(timecode);
        EXPECT_EQ(CMFormatDescriptionGetMediaType(timecode), kCMMediaType_TimeCode);
        EXPECT_EQ(CMFormatDescriptionGetMediaSubType(timecode), kCMTimeCodeFormatType_Counter32);
        EXPECT_EQ(CMTimeCompare(CMTimeCodeFormatDescriptionGetFrameDuration(timecode),
                                CMTimeMake(c.duration, c.timescale)),
                  0);
        EXPECT_EQ(CMTimeCodeFormatDescriptionGetFrameQuanta(timecode), c.quanta);
        EXPECT_EQ(CMTimeCodeFormatDescriptionGetTimeCodeFlags(timecode), c.dropFrame ? 1u : 0u);
        EXPECT_EQ(NumberValue(CMFormatDescriptionGetExtension(timecode, frameNumber.Get())),
                  int64_t(cw::TimecodeToFrameCount(description.startTimecode, c.quanta, c.dropFrame)));
        EXPECT_EQ(CFDictionaryGetCount(CMFormatDescriptionGetExtensions(timecode)), 1);
    }
}

// Interleaved 16-bit stereo of the first two tracks, offered only when
// both are 16-bit mono at 48000/1 with 2-byte blocks. At 10 frames a second
// a frame would hold 4800 samples, more than one element of the camera's
// holds: video still, but no audio buffers (and nothing allocated for them).
// A clip whose picture size cannot be read cannot be created.
TEST(FBCMovieSampleForFCPXTest, AudioDescriptionAndBuffersFollowTheHeaderValues) {
    ScratchFolder folder("plugin");
    const auto clip = qztest::WriteClip(folder.Path() + "/two", qztest::SmallClip(cw::FrameRate::k50p, {3}));
    {
        auto movie = Open(clip.cifPath);
        ASSERT_TRUE(movie);
        SampleHolder sample = FrameAudio(*movie, 1);
        ASSERT_TRUE(sample);
        EXPECT_EQ(CMSampleBufferGetNumSamples(sample.Get()), 960);
        const AudioStreamBasicDescription* asbd =
            CMAudioFormatDescriptionGetStreamBasicDescription(movie->audioFormatDescription());
        ASSERT_TRUE(asbd);
        const AudioStreamBasicDescription expected{48000.0, kAudioFormatLinearPCM, 12, 4, 1, 4, 2, 16, 0};
        EXPECT_EQ(std::memcmp(asbd, &expected, sizeof expected), 0);
        size_t layoutSize = 0;
        const AudioChannelLayout* layout =
            CMAudioFormatDescriptionGetChannelLayout(movie->audioFormatDescription(), &layoutSize);
        ASSERT_TRUE(layout);
        EXPECT_EQ(layoutSize, 32u);
        EXPECT_EQ(layout->mChannelLayoutTag, 0x650002u);
        EXPECT_EQ(layout->mNumberChannelDescriptions, 0u);
        EXPECT_EQ(CMFormatDescriptionGetExtensions(movie->audioFormatDescription()), nullptr);
    }
    const std::vector<uint8_t> written = qztest::ReadFile(clip.mxfPaths[0]);
    using qztest::BigEndian;
    const struct {
        const char* name;
        uint16_t tag, length, newTag;
        std::vector<uint8_t> value;
        bool opens, described;
    } cases[] = {
        {"two channels per track", 0x3D07, 4, 0x3D07, BigEndian(2, 4), true, false},
        {"block align 4", 0x3D0A, 2, 0x3D0A, BigEndian(4, 2), true, false},
        {"rate 2^31 - 1", 0x3D03, 8, 0x3D03, BigEndian(0x7FFFFFFFull << 32 | 1, 8), true, false},
        {"rate 48000/2", 0x3D03, 8, 0x3D03, BigEndian(48000ull << 32 | 2, 8), true, false},
        {"20 bits", 0x3D01, 4, 0x3D01, BigEndian(20, 4), true, false},
        {"edit rate 10/1", 0x4B01, 8, 0x4B01, BigEndian(10ull << 32 | 1, 8), true, true},
        {"no picture size", 0x3209, 4, 0x7F09, {}, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> bytes = written;
        ASSERT_GE(qztest::PatchItems(bytes, clip.layouts[0].bodyPartitions.at(0), c.tag, c.length, c.newTag,
                                     c.value),
                  c.opens ? 2 : 1);
        ASSERT_TRUE(qztest::WriteFile(clip.mxfPaths[0], bytes));
        auto movie = Open(clip.cifPath);
        ASSERT_EQ(bool(movie), c.opens);
        if (!movie) continue;
        EXPECT_EQ(movie->audioFormatDescription() != nullptr, c.described);
        EXPECT_TRUE(SampleHolder::Adopt(movie->createVideoSampleBufferAtIndex(1)));
        EXPECT_FALSE(FrameAudio(*movie, 1));
        if (c.described) {
            EXPECT_EQ(movie->audioSampleCountAtFrameIndex(1), 4800);
        }
    }
    const struct { uint32_t channels, bits; } written_without[] = {{1, 16}, {2, 24}, {4, 24}, {0, 16}};
    for (const auto& c : written_without) {
        SCOPED_TRACE(std::to_string(c.channels) + " x " + std::to_string(c.bits));
        cw::ClipDescription description = qztest::SmallClip(cw::FrameRate::k50p, {3}, false, c.channels);
        description.audioBitsPerSample = c.bits;
        auto movie = Open(
            qztest::WriteClip(folder.Path() + "/" + std::to_string(c.channels) + "x" + std::to_string(c.bits),
                              description)
                .cifPath);
        ASSERT_TRUE(movie);
        EXPECT_FALSE(movie->audioFormatDescription());
        EXPECT_FALSE(FrameAudio(*movie, 0));
    }
}

// Element ranges are refused unless present, at most 2^31 - 1 bytes and
// inside the file; a picture refused so, or an empty one, gives no buffer.
TEST(FBCMovieSampleForFCPXTest, ElementRangesAreChecked) {
    const qztest::ScratchClip clip("plugin", qztest::SmallClip(cw::FrameRate::k25p, {6}));
    const std::vector<uint8_t> written = qztest::ReadFile(clip.mxfPaths[0]);
    const uint32_t frame = 2;
    const cw::MxfFrameRecord& record = clip.frames[frame].record;
    const struct {
        const char* name;
        uint32_t length;
        bool info;
    } cases[] = {
        {"as written", uint32_t(record.pictureSize), true},
        {"past the file's end", 0xFFFFFF, false},
        {"empty", 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> bytes = written;
        ASSERT_EQ(bytes[record.pictureOffset - 4], 0x83);
        const std::vector<uint8_t> ber = qztest::BigEndian(0x83000000u | c.length, 4);
        std::copy(ber.begin(), ber.end(), bytes.begin() + static_cast<long>(record.pictureOffset - 4));
        ASSERT_TRUE(qztest::WriteFile(clip.mxfPaths[0], bytes));
        auto movie = Open(clip.cifPath);
        ASSERT_TRUE(movie);
        const int32_t picture = movie->trackIndexFromType(kMxfTrackPicture, 0);
        int64_t offset = -1;
        int32_t length = -1;
        EXPECT_EQ(movie->editInfoAtIndex(frame, picture, &offset, &length), c.info);
        if (c.info) {
            EXPECT_EQ(offset, int64_t(record.pictureOffset));
            EXPECT_EQ(length, int32_t(c.length));
        }
        SampleHolder sample = SampleHolder::Adopt(movie->createVideoSampleBufferAtIndex(frame));
        EXPECT_EQ(bool(sample), c.length == record.pictureSize);
        EXPECT_TRUE(SampleHolder::Adopt(movie->createVideoSampleBufferAtIndex(frame + 1)));
        EXPECT_FALSE(movie->editInfoAtIndex(frame, 99, &offset, &length));  // no such element
        EXPECT_FALSE(movie->editInfoAtIndex(6, picture, &offset, &length));
    }
}

// Frames of a member file that is gone have no buffers and no element
// ranges (not silence); the other file's frames are unaffected.
TEST(FBCMovieSampleForFCPXTest, FramesOfAMissingFileHaveNoBuffers) {
    const qztest::ScratchClip clip("plugin", qztest::SmallClip(cw::FrameRate::k25p, {6, 6}));
    auto movie = Open(clip.cifPath);
    ASSERT_TRUE(movie);
    movie->ReleaseMXFStream();
    std::remove(clip.mxfPaths[1].c_str());
    for (uint32_t f = 0; f < 12; ++f) {
        SCOPED_TRACE(f);
        const bool held = f < 6;
        EXPECT_EQ(bool(SampleHolder::Adopt(movie->createVideoSampleBufferAtIndex(f))), held);
        EXPECT_EQ(bool(FrameAudio(*movie, f)), held);
        EXPECT_EQ(movie->editInfoAtIndex(f, movie->trackIndexFromType(kMxfTrackPicture, 0), nullptr, nullptr),
                  held);
        CFHolder<CFURLRef> url = CFHolder<CFURLRef>::Adopt(movie->copyUrlAtFrameIndex(f));
        ASSERT_TRUE(url);
        EXPECT_EQ(url.Get()->Path(), clip.mxfPaths[f / 6]);
        EXPECT_FALSE(url.Get()->IsDirectory());
    }
    EXPECT_FALSE(movie->copyUrlAtFrameIndex(12));
}

// Eight threads building the video and audio buffers of one spanned clip
// at once, one of them closing its files now and then, get the bytes one
// thread gets.
TEST(FBCMovieSampleForFCPXTest, EightThreadsBuildWhatOneThreadBuilds) {
    const qztest::ScratchClip clip("plugin", qztest::SmallClip(cw::FrameRate::k29_97p, {11, 13}));
    auto movie = Open(clip.cifPath);
    ASSERT_TRUE(movie);
    auto build = [&](uint32_t f) {
        SampleHolder video = SampleHolder::Adopt(movie->createVideoSampleBufferAtIndex(f));
        SampleHolder audio = FrameAudio(*movie, f);
        std::vector<uint8_t> bytes = BytesOf(video.Get());
        const std::vector<uint8_t> sound = BytesOf(audio.Get());
        bytes.insert(bytes.end(), sound.begin(), sound.end());
        const CMTime pts = video ? CMSampleBufferGetPresentationTimeStamp(video.Get()) : kCMTimeInvalid;
        bytes.push_back(static_cast<uint8_t>(pts.value));
        return bytes;
    };
    const auto expected = qztest::ExpectEightThreadsReadAsOne(movie->FrameCountInClip(), build,
                                                              [&] { movie->ReleaseMXFStream(); });
    EXPECT_GT(expected[0].size(), 1000u);
}
