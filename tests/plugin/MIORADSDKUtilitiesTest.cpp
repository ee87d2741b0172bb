// The sample buffer utilities: buffers from a host's chunk cursor and from
// the plug-in's own cursors, coalesced mono buffers, and block reads and
// available lengths at the end of a file.
#include "FBCTimeCodeSampleCursor.h"
#include "FBCVideoSampleCursor.h"
#include "MIORADSDKUtilities.h"
#include "PluginTestSupport.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <limits>
#include <memory>

using namespace ComVantoVantoQZ64RADPlug;
using namespace plugin_test;

namespace {

using Layout = std::vector<AudioChannelLabel>;  // empty: tag-only layout; {0}: no layout

CFHolder<CMFormatDescriptionRef> MonoFormat(const Layout& labels, double rate = 48000) {
    const uint32_t flags = kAudioFormatFlagIsSignedInteger | kAudioFormatFlagIsPacked;
    const AudioStreamBasicDescription mono{rate, kAudioFormatLinearPCM, flags, 2, 1, 2, 1, 16, 0};
    AudioChannelLayout layout{};
    layout.mChannelLayoutTag = labels.empty() ? kAudioChannelLayoutTag_Mono : 0;
    layout.mNumberChannelDescriptions = labels.empty() ? 0 : 1;
    if (!labels.empty()) layout.mChannelDescriptions[0].mChannelLabel = labels[0];
    const bool none = labels == Layout{0};
    CMAudioFormatDescriptionRef format = nullptr;
    EXPECT_EQ(CMAudioFormatDescriptionCreate(nullptr, &mono, none ? 0 : sizeof layout,
                                             none ? nullptr : &layout, 0, nullptr, nullptr, &format),
              0);
    return CFHolder<CMFormatDescriptionRef>::Adopt(format);
}

CMFormatDescriptionRef LeftFormat() {
    static const CFHolder<CMFormatDescriptionRef> left = MonoFormat({kAudioChannelLabel_Left});
    return left.Get();
}

// What a host's cursor on a chunk of 16-bit mono samples tells: the chunk
// is one sound element of a frame in a written file, the track ends at
// `trackEnd` samples into it. Every value may be bent for a malformed case.
struct ChunkCursor : MIORADSampleCursorProtocol {
    int64_t chunkOffset = 0, chunkSize = 0, sampleCount = 0, index = 0, trackEnd = 0, sectionLength = 2;
    int64_t sectionShift = 0;  // of the sample's offset from where it lies
    bool sameSize = true, sameDuration = true, answersLocation = true, answersChunk = true;
    CMFormatDescriptionRef format = LeftFormat();

    bool respondsTo(Message m) const override {
        return (m == Message::sampleLocation && answersLocation) ||
               (m == Message::chunkDetails && answersChunk) || MIORADSampleCursorProtocol::respondsTo(m);
    }
    std::shared_ptr<MIORADSampleCursorProtocol> copy() const override { return nullptr; }
    CMFormatDescriptionRef formatDescription() override { return format; }
    CMTime presentationTimeStamp() override { return CMTimeMake(1000 + index, 48000); }
    CMTime decodeTimeStamp() override { return presentationTimeStamp(); }
    CMTime duration() override { return CMTimeMake(1, 48000); }
    OSStatus stepInDecodeOrder(int64_t k) override {
        if (index + k < 0 || index + k >= trackEnd) return kMIORADSampleCursorEndOfTrackErr;
        index += k;
        return 0;
    }
    OSStatus stepInPresentationOrder(int64_t k) override { return stepInDecodeOrder(k); }
    OSStatus stepByDecodeTime(CMTime) override { return kMIORADSampleCursorEndOfTrackErr; }
    OSStatus stepByPresentationTime(CMTime) override { return kMIORADSampleCursorEndOfTrackErr; }
    int compareInDecodeOrder(const MIORADSampleCursorProtocol&) override { return 0; }
    OSStatus sampleLocation(int64_t size, int64_t* count, int64_t* offsets, int64_t* lengths,
                            CFHolder<CFURLRef>*) override {
        *count = 1;
        if (size > 0) {
            offsets[0] = chunkOffset + 2 * index + sectionShift;
            lengths[0] = sectionLength;
        }
        return 0;
    }
    OSStatus chunkDetails(CFHolder<CFURLRef>*, int64_t* offset, int64_t* size, int64_t* count, int64_t* at,
                          bool* allSize, bool* allDuration, bool* allFormat) override {
        *offset = chunkOffset, *size = chunkSize, *count = sampleCount, *at = index;
        *allSize = sameSize, *allDuration = sameDuration, *allFormat = true;
        return 0;
    }
};

struct File {
    explicit File(const std::string& path) : fd(::open(path.c_str(), O_RDONLY)) { EXPECT_GE(fd, 0) << path; }
    ~File() { ::close(fd); }
    int fd;
};

class UtilitiesTest : public ::testing::Test {
protected:
    void SetUp() override {
        clip_ = qztest::WriteClip(folder_.Path(), qztest::SmallClip(cw::FrameRate::k29_97p, {6}));
        movie_ = Open(clip_.cifPath);
        ASSERT_TRUE(movie_);
        // Frame 2's element of the first sound track: 1602 samples from 3203.
        int32_t length = 0;
        ASSERT_TRUE(movie_->editInfoAtIndex(2, uint32_t(movie_->trackIndexFromType(kMxfTrackSound, 0)),
                                            &chunk_.chunkOffset, &length));
        chunk_.chunkSize = length;
        chunk_.sampleCount = chunk_.trackEnd = length / 2;
        ASSERT_EQ(chunk_.sampleCount, 1602);
        file_ = std::make_unique<File>(clip_.mxfPaths[0]);
    }
    SampleHolder Create(MIORADSampleCursorProtocol& cursor, FourCharCode type = kCMMediaType_Audio) {
        CMSampleBufferRef out = reinterpret_cast<CMSampleBufferRef>(1);
        CreateSampleBufferFromSampleCursor(&cursor, file_->fd, type, &out);
        return SampleHolder::Adopt(out);
    }
    qztest::ScratchFolder folder_{"utilities"};
    qztest::WrittenClip clip_;
    CUSharedPtr<FBCMovieSampleForFCPX> movie_;
    ChunkCursor chunk_;
    std::unique_ptr<File> file_;
};

}  // namespace

TEST_F(UtilitiesTest, ChunkFromTheCursorsOwnSample) {
    const struct {
        bool sameSize, sameDuration;
        int64_t trackEnd;  // samples of the chunk the track reaches
    } cases[] = {{true, true, 1602}, {false, false, 1602}, {false, true, 10}, {true, false, 4}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.trackEnd);
        chunk_.index = 3;
        chunk_.sameSize = c.sameSize, chunk_.sameDuration = c.sameDuration, chunk_.trackEnd = c.trackEnd;
        SampleHolder sample = Create(chunk_);
        ASSERT_TRUE(sample);
        EXPECT_EQ(chunk_.index, 3);  // put back
        EXPECT_EQ(CMSampleBufferGetNumSamples(sample.Get()), 1599);
        EXPECT_EQ(BytesOf(sample.Get()), Tones(3203 + 3, 1599, 1));
        EXPECT_EQ(CMSampleBufferGetPresentationTimeStamp(sample.Get()).value, 1003);
        CMSampleTimingInfo timing;
        ASSERT_EQ(CMSampleBufferGetSampleTimingInfo(sample.Get(), 1598, &timing), 0);
        // Past the track's end the last sample's timing stands.
        EXPECT_EQ(timing.presentationTimeStamp.value,
                  c.sameDuration ? 1003 + 1598 : 1000 + std::min<int64_t>(1601, c.trackEnd - 1));
        EXPECT_EQ(CMSampleBufferGetSampleSize(sample.Get(), 1598), 2u);
        EXPECT_EQ(sample.Get()->m_sizes.size(), c.sameSize ? 1u : 1599u);
    }
}

// A cursor on the chunk's first sample whose section starts after the
// chunk's first bytes takes the chunk whole.
TEST_F(UtilitiesTest, ChunkAtItsFirstSampleIsTakenWhole) {
    chunk_.sectionShift = 8;
    SampleHolder sample = Create(chunk_);
    EXPECT_EQ(BytesOf(sample.Get()), Tones(3203, 1602, 1));
}

TEST_F(UtilitiesTest, ChunkDetailsThatDoNotHoldTogetherGiveNoBuffer) {
    const struct {
        const char* name;
        void (*bend)(ChunkCursor&);
    } cases[] = {
        {"index at the count", [](ChunkCursor& c) { c.index = c.sampleCount; }},
        {"negative index", [](ChunkCursor& c) { c.index = -1; }},
        {"no samples", [](ChunkCursor& c) { c.sampleCount = 0; }},
        {"section past the chunk end", [](ChunkCursor& c) { c.chunkSize = 4, c.index = 3; }},
        {"section before the chunk", [](ChunkCursor& c) { c.sectionShift = -2; }},
        {"negative chunk size", [](ChunkCursor& c) { c.chunkSize = -2; }},
        {"overflowing chunk",
         [](ChunkCursor& c) { c.chunkOffset = std::numeric_limits<int64_t>::max() - 4; }},
        {"more samples than bytes", [](ChunkCursor& c) { c.sampleCount = c.chunkSize + 1; }},
        {"negative section length", [](ChunkCursor& c) { c.sectionLength = -1; }},
        {"no location", [](ChunkCursor& c) { c.answersLocation = false; }},
        {"chunk past the file end", [](ChunkCursor& c) { c.chunkSize = int64_t(1) << 40; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ChunkCursor cursor = chunk_;
        c.bend(cursor);
        EXPECT_FALSE(Create(cursor));
    }
}

// The plug-in's video cursor tells no location: no buffer, and no message
// it does not answer. The timecode cursor's location is its frame's
// picture, read from the frame's own file.
TEST_F(UtilitiesTest, PluginCursorsThroughTheSectionPath) {
    auto video = FBCVideoSampleCursor::sampleCursorWithMovieSample(movie_);
    video->setTimeRange(CMTimeRangeMake(kCMTimeZero, CMTimeMake(6006, 30000)));
    ASSERT_TRUE(video->moveCursorAtDecodeIndex(4));
    EXPECT_FALSE(Create(*video, kCMMediaType_Video));
    auto timecode = FBCTimeCodeSampleCursor::sampleCursorWithMovieSample(movie_);
    timecode->setTimeRange(video->timeRange());
    ASSERT_TRUE(timecode->moveCursorAtDecodeIndex(4));
    SampleHolder picture = Create(*timecode, kCMMediaType_Video);
    SampleHolder own = SampleHolder::Adopt(movie_->createVideoSampleBufferAtIndex(4));
    ASSERT_TRUE(picture && own);
    EXPECT_EQ(BytesOf(picture.Get()), BytesOf(own.Get()));
    EXPECT_FALSE(Create(*timecode, kCMMediaType_TimeCode));
    // Chunk details of no samples are refused, not read.
    EXPECT_FALSE(Create(*timecode, kCMMediaType_Audio));
    chunk_.answersChunk = false;
    SampleHolder one = Create(chunk_);
    ASSERT_TRUE(one);
    EXPECT_EQ(BytesOf(one.Get()), Tones(3203, 1, 1));
}

TEST(MIORADSDKUtilitiesTest, CoalescedChannelsKeepTheirOwnLabels) {
    auto mono = [](const Layout& labels, CMItemCount count, uint8_t fill, double rate = 48000) {
        CFHolder<CMFormatDescriptionRef> format = MonoFormat(labels, rate);
        CMBlockBufferRef block = nullptr;
        EXPECT_EQ(CMBlockBufferCreateWithMemoryBlock(nullptr, nullptr, size_t(count) * 2, kCFAllocatorDefault,
                                                     nullptr, 0, size_t(count) * 2, 0, &block),
                  0);
        CMBlockBufferFillDataBytes(char(fill), block, 0, 0);
        CMSampleTimingInfo timing{CMTimeMake(1, 48000), CMTimeMake(1602, 48000), CMTimeMake(1602, 48000)};
        CMSampleBufferRef sample = nullptr;
        EXPECT_EQ(CMSampleBufferCreate(nullptr, block, true, nullptr, nullptr, format.Get(), count, 1,
                                       &timing, 0, nullptr, &sample),
                  0);
        CFRelease(block);
        return sample;
    };
    const struct {
        const char* name;
        std::vector<CMSampleBufferRef> buffers;
        Layout labels;  // empty: no result
    } cases[] = {
        {"left and right", {mono({1}, 1602, 0x11), mono({2}, 1602, 0x22)}, {1, 2}},
        {"tag only and none",
         {mono({}, 4, 1), mono({0}, 4, 2), mono({2}, 4, 3)},
         {kAudioChannelLabel_Discrete_0, kAudioChannelLabel_Discrete_0 + 1, 2}},
        {"empty array", {}, {}},
        {"two 29.97 frames", {mono({1}, 1602, 1), mono({2}, 1601, 2)}, {}},
        {"another rate", {mono({1}, 1602, 1), mono({2}, 1602, 2, 44100)}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CFHolder<CFArrayRef> array = CFHolder<CFArrayRef>::Adopt(
            CFArrayCreate(nullptr, reinterpret_cast<const CFTypeRef*>(c.buffers.data()),
                          CFIndex(c.buffers.size()), nullptr));
        for (CMSampleBufferRef buffer : c.buffers) CFRelease(buffer);
        CMSampleBufferRef out = reinterpret_cast<CMSampleBufferRef>(1);
        CoalesceAudioSampleBuffers(array.Get(), &out);
        SampleHolder result = SampleHolder::Adopt(out);
        ASSERT_EQ(bool(result), !c.labels.empty());
        if (!result) continue;
        CMFormatDescriptionRef format = CMSampleBufferGetFormatDescription(result.Get());
        const AudioStreamBasicDescription* stream = CMAudioFormatDescriptionGetStreamBasicDescription(format);
        EXPECT_EQ(stream->mChannelsPerFrame, c.labels.size());
        EXPECT_TRUE(stream->mFormatFlags & kAudioFormatFlagIsNonInterleaved);
        size_t size = 0;
        const AudioChannelLayout* layout = CMAudioFormatDescriptionGetChannelLayout(format, &size);
        ASSERT_EQ(layout->mNumberChannelDescriptions, c.labels.size());
        for (size_t k = 0; k < c.labels.size(); ++k)
            EXPECT_EQ(layout->mChannelDescriptions[k].mChannelLabel, c.labels[k]) << k;
        const CMItemCount samples = CMSampleBufferGetNumSamples(result.Get());
        const std::vector<uint8_t> bytes = BytesOf(result.Get());
        ASSERT_EQ(bytes.size(), size_t(samples) * 2 * c.labels.size());
        EXPECT_EQ(bytes.back(), BytesOf(c.buffers.back()).back());
        EXPECT_EQ(CMSampleBufferGetPresentationTimeStamp(result.Get()).value, 1602);
    }
}

TEST(MIORADSDKUtilitiesTest, BlockReadsAndAvailableLengthsAtTheFileEnd) {
    qztest::ScratchFolder folder("utilities");
    const std::string path = folder.Path() + "/f.bin";
    std::vector<uint8_t> bytes(1000);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(i * 7);
    ASSERT_TRUE(qztest::WriteFile(path, bytes));
    File file(path);
    const struct {
        int64_t length, offset;
        OSStatus status;
        int64_t read;
    } reads[] = {
        {100, 0, 0, 100},
        {100, 900, 0, 100},
        {100, 960, kMIORADEndOfFileErr, 40},
        {10, 2000, kMIORADEndOfFileErr, 0},
        {int64_t(1) << 40, 0, kMIORADEndOfFileErr, 1000},
        {-1, 0, kMIORADParameterErr, 0},
        {1, -1, kMIORADParameterErr, 0},
    };
    for (const auto& r : reads) {
        SCOPED_TRACE(r.offset);
        CMBlockBufferRef block = reinterpret_cast<CMBlockBufferRef>(1);
        int64_t read = -7;
        EXPECT_EQ(ReadAndCreateBlockBuffer(file.fd, r.length, r.offset, &block, &read), r.status);
        EXPECT_EQ(read, r.read);
        EXPECT_EQ(bool(block), r.status == 0);
        if (!block) continue;
        std::vector<uint8_t> got(size_t(r.length));
        CMBlockBufferCopyDataBytes(block, 0, got.size(), got.data());
        EXPECT_TRUE(std::equal(got.begin(), got.end(), bytes.begin() + r.offset));
        CFRelease(block);
    }
    for (const auto& [offset, available] :
         {std::pair<int64_t, int64_t>{0, 1000}, {600, 400}, {1500, 0}, {-5, 0}}) {
        int64_t length = -1;
        EXPECT_EQ(GetAvailableLengthAtOffset(file.fd, offset, &length), 0);
        EXPECT_EQ(length, available) << offset;
        EXPECT_EQ(::lseek(file.fd, 0, SEEK_CUR), 1000);
    }
    int64_t length = -1;
    EXPECT_EQ(GetAvailableLengthAtOffset(-1, 0, &length), 0);
    EXPECT_EQ(length, 0);
}
