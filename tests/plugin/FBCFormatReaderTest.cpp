// The tracks a format reader offers for written clips (which, their time
// ranges and sizes), the edge flags of the time factory, and cursors that
// outlive the reader, its tracks and the host's movie reference.
#include "FBCVideoSampleCursor.h"
#include "PluginTestSupport.h"

using namespace ComVantoVantoQZ64RADPlug;
using namespace plugin_test;

namespace {

CMTimeRange Range(int64_t duration, int32_t scale) {
    return CMTimeRangeMake(CMTimeMake(0, scale), CMTimeMake(duration, scale));
}

}  // namespace

TEST(FBCFormatReaderTest, TracksOnlyWhereTheMovieHasTheirDescription) {
    // The movie cannot deliver 24-bit audio: no 'soun' track of null buffers.
    const struct {
        const char* name;
        cw::FrameRate rate;
        std::vector<uint32_t> members;
        uint32_t channels, bits;
        CMTimeRange video, audio;  // no audio track when empty
    } cases[] = {
        {"25P stereo", cw::FrameRate::k25p, {10, 15}, 2, 16, Range(25, 25), Range(48000, 48000)},
        {"one sound track", cw::FrameRate::k25p, {5}, 1, 16, Range(5, 25), {}},
        {"two 24-bit tracks", cw::FrameRate::k29_97p, {6}, 2, 24, Range(6006, 30000), {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        cw::ClipDescription description = qztest::SmallClip(c.rate, c.members, false, c.channels);
        description.audioBitsPerSample = c.bits;
        const qztest::ScratchClip clip("reader", description);
        auto reader = FBCFormatReader::initWithMovieSample(Open(clip.cifPath));
        ASSERT_TRUE(reader);
        std::vector<FourCharCode> types, expectedTypes = {kMIORADMediaType_Video, kMIORADMediaType_TimeCode};
        if (CMTIME_IS_VALID(c.audio.duration)) expectedTypes.push_back(kMIORADMediaType_Audio);
        for (const auto& track : reader->trackReaders()) types.push_back(track->mediaType());
        EXPECT_EQ(types, expectedTypes);
        int64_t total = 0;
        for (const std::string& path : clip.mxfPaths) total += int64_t(std::filesystem::file_size(path));
        EXPECT_EQ(reader->locationSize(), total);
        EXPECT_EQ(CMTimeCompare(reader->duration(), c.video.duration), 0);
        for (FourCharCode type : expectedTypes) {
            auto track = TrackOf(*reader, type);
            ASSERT_TRUE(track);
            EXPECT_TRUE(track->formatDescription());
            const CMTimeRange expected = type == kMIORADMediaType_Audio ? c.audio : c.video;
            EXPECT_TRUE(CMTimeRangeEqual(track->timeRange(), expected));
            EXPECT_TRUE(CMTimeRangeEqual(track->trackEditWithIndex(7).target, expected));
            EXPECT_EQ(track->locationSize(), int64_t(std::filesystem::file_size(clip.mxfPaths[0])));
            EXPECT_EQ(track->frameCount(), int32_t(clip.frames.size()));
        }
    }
    EXPECT_FALSE(FBCFormatReader::initWithMovieSample({}));
}

TEST(FBCFormatReaderTest, TimeFactoryFlagsTheTrackEdges) {
    const qztest::ScratchClip clip("reader", qztest::SmallClip(cw::FrameRate::k25p, {12}));
    auto reader = FBCFormatReader::initWithMovieSample(Open(clip.cifPath));
    ASSERT_TRUE(reader);
    const struct {
        CMTime time;
        bool before, after, cursor;
    } cases[] = {
        {CMTimeMake(-1, 25), true, false, false},      {CMTimeMake(0, 25), false, false, true},
        {CMTimeMake(11, 25), false, false, true},      {CMTimeMake(12, 25), false, true, false},
        {kCMTimePositiveInfinity, false, true, false},
    };
    for (FourCharCode type : {kMIORADMediaType_Video, kMIORADMediaType_TimeCode, kMIORADMediaType_Audio}) {
        auto track = TrackOf(*reader, type);
        ASSERT_TRUE(track);
        for (const auto& c : cases) {
            SCOPED_TRACE(c.time.value);
            bool before = !c.before, after = !c.after;
            EXPECT_EQ(bool(track->cursorNearPresentationTimeStamp(c.time, true, &before, &after)), c.cursor);
            EXPECT_EQ(before, c.before);
            EXPECT_EQ(after, c.after);
        }
    }
}

// The host keeps only a cursor and a track reader: both still reach the
// clip's files (under asan a freed movie would be caught here).
TEST(FBCFormatReaderTest, CursorsAndTracksKeepTheMovie) {
    const qztest::ScratchClip clip("reader", qztest::SmallClip(cw::FrameRate::k29_97p, {6}));
    std::shared_ptr<MIORADSampleCursorProtocol> cursor;
    std::shared_ptr<MIORADTrackReaderProtocol> audio;
    {
        auto reader = FBCFormatReader::initWithMovieSample(Open(clip.cifPath));
        ASSERT_TRUE(reader);
        cursor = TrackOf(*reader, kMIORADMediaType_Video)->cursorAtFirstSampleInDecodeOrder();
        audio = TrackOf(*reader, kMIORADMediaType_Audio);
    }
    ASSERT_TRUE(cursor && audio);
    ASSERT_EQ(cursor->stepInDecodeOrder(5), 0);
    SampleHolder picture = SampleHolder::Adopt(cursor->createSampleBuffer(nullptr));
    ASSERT_TRUE(picture);
    EXPECT_EQ(CMSampleBufferGetTotalSampleSize(picture.Get()), clip.frames[5].record.pictureSize);
    auto last = audio->cursorAtLastSampleInDecodeOrder();
    audio.reset();
    ASSERT_TRUE(last);
    EXPECT_EQ(CMTimeCompare(last->presentationTimeStamp(), CMTimeMake(9609, 48000)), 0);
    SampleHolder sound = SampleHolder::Adopt(last->createSampleBuffer(nullptr));
    EXPECT_EQ(BytesOf(sound.Get()), Tones(9609, 1));
}
