// The in/out cursor over written clips: in and out points (in the first
// three GOPs, at and past the ends, not finite), imports as the host runs
// them, time stamps and counters, the audio description, eight threads.
#include "ConcurrentReads.h"
#include "FBCMovieSample.h"
#include "MovieTestSupport.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <set>
#include <vector>

using namespace ComVantoVantoQZ64RADPlug;
using namespace movie_test;

namespace {

// 200 frames of 25P in 12-picture open GOPs with two B pictures.
struct TwelvePictureGops : ::testing::Test {
    void SetUp() override {
        cw::ClipDescription description = qztest::SmallClip(cw::FrameRate::k25p, {200});
        description.gopLength = 12;
        clip = qztest::WriteClip(folder.Path(), description);
        movie = FBCMovieSample::Create(Str(clip.cifPath));
        ASSERT_TRUE(movie);
    }
    std::vector<uint32_t> Import(int64_t in, int64_t out, int64_t timescale) {
        movie->InitializeGetSample();  // the host rewinds first, then sets the points
        movie->setInPoint(in, timescale);
        movie->setOutPoint(out, timescale);
        std::vector<uint32_t> frames;
        for (; !movie->isEndOfClip() && frames.size() < 1000; movie->nextFrame())
            frames.push_back(movie->CurrentIndex());
        return frames;
    }
    ScratchFolder folder{"sample"};
    qztest::WrittenClip clip;
    CUSharedPtr<FBCMovieSample> movie;
};

std::vector<uint32_t> Range(uint32_t first, uint32_t last) {
    std::vector<uint32_t> frames;
    for (uint32_t f = first; f <= last; ++f) frames.push_back(f);
    return frames;
}

}  // namespace

TEST_F(TwelvePictureGops, InPointsStartAtTheKeyFrameOfTheGroupBefore) {
    const struct {
        int64_t value, timescale;
        uint32_t start;
    } cases[] = {
        {0, 25, 0},     {5, 25, 0},      {15, 25, 0},  // first and second GOP
        {30, 25, 12},   {100, 25, 84},                 // third GOP; 4 s
        {199, 25, 180}, {1000, 25, 180},  // last frame, past the end: the last frame's group before
        {-25, 25, 0},   {0, 0, 0},       {1, 0, 0},  // before the start; NaN; infinity
        {-1, 0, 0},
    };
    for (const auto& c : cases) {
        movie->setInPoint(c.value, c.timescale);
        EXPECT_EQ(movie->StartIndex(), c.start) << c.value << "/" << c.timescale;
        EXPECT_EQ(movie->CurrentIndex(), c.start);
    }
}

TEST_F(TwelvePictureGops, OutPointsKeepThePicturesTheyNeed) {
    auto extended = [&](uint32_t f) { return f + std::max<int8_t>(clip.frames[f].record.temporalOffset, 0); };
    const struct {
        int64_t value, timescale;
        uint32_t last;
    } cases[] = {
        {0, 25, extended(0)},
        {7, 25, extended(7)},
        {13, 25, extended(13)},
        {150, 25, extended(150)},
        {199, 25, 199},
        {1000, 25, 199},
        {0, 0, 199},
        {1, 0, 199},
        {-1, 0, 199},
    };
    for (const auto& c : cases) {
        movie->setOutPoint(c.value, c.timescale);
        EXPECT_EQ(movie->LastIndex(), c.last) << c.value << "/" << c.timescale;
    }
}

TEST_F(TwelvePictureGops, ImportsDeliverTheirRangeOnly) {
    EXPECT_EQ(Import(100, 150, 25), Range(84, 151));  // 4 s to 6 s
    EXPECT_EQ(Import(0, 50, 25), Range(0, 50));       // the next import starts at its own in point
    const std::vector<uint32_t> whole = Import(0, 0, 0);
    EXPECT_EQ(whole, Range(0, 199));

    // Time stamps count from the in point; presentation times of the whole
    // clip are 0, D, 2D, ... once each, and so are the timecode counters.
    movie->setInPoint(100, 25);
    EXPECT_EQ(movie->FrameDecodeTimeStamp(), 0);
    std::set<int64_t> presentation;
    std::set<uint32_t> counters;
    movie->setInPoint(0, 25);
    movie->setOutPoint(0, 0);
    for (; !movie->isEndOfClip(); movie->nextFrame()) {
        EXPECT_EQ(movie->FrameDecodeTimeStamp(), movie->CurrentIndex() * movie->FrameDuration());
        presentation.insert(movie->FramePresentationTimeStamp());
        counters.insert(movie->GetTimeCounter());
    }
    ASSERT_EQ(presentation.size(), 200u);
    EXPECT_EQ(*presentation.rbegin(), 199 * movie->FrameDuration());
    ASSERT_EQ(counters.size(), 200u);
    EXPECT_EQ(*counters.rbegin() - *counters.begin(), 199u);
    EXPECT_EQ(int64_t{*counters.begin()}, movie->StartTimecode());
}

TEST(FBCMovieSampleTest, ThreeFrameClipStepsThreeTimes) {
    const qztest::ScratchClip clip("sample", qztest::SmallClip(cw::FrameRate::k59_94p, {3}));
    CUSharedPtr<FBCMovieSample> movie = FBCMovieSample::Create(Str(clip.cifPath));
    ASSERT_TRUE(movie);
    movie->InitializeGetSample();
    std::vector<bool> steps;
    std::vector<bool> ends;
    for (int i = 0; i < 4; ++i) {
        steps.push_back(movie->nextFrame());
        ends.push_back(movie->isEndOfClip());
    }
    EXPECT_EQ(steps, (std::vector<bool>{true, true, true, false}));
    EXPECT_EQ(ends, (std::vector<bool>{false, false, true, true}));
    EXPECT_EQ(movie->CurrentIndex(), 3u);
    unsigned char byte = 0;
    EXPECT_EQ(movie->ReadCurrentSampleData(kMxfTrackPicture, 0, nullptr, 100), 0u);
    EXPECT_EQ(movie->ReadCurrentSampleData(kMxfTrackPicture, 0, &byte, 0), 0u);
}

TEST(FBCMovieSampleTest, AudioDescriptionCoversEverySoundTrack) {
    const struct {
        uint32_t channels, bits, bytesPerFrame;
    } cases[] = {{0, 16, 0}, {1, 16, 2}, {2, 16, 4}, {4, 16, 8}, {4, 24, 12}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.channels);
        cw::ClipDescription description = qztest::SmallClip(cw::FrameRate::k50i, {6}, true, c.channels);
        description.audioBitsPerSample = c.bits;
        const qztest::ScratchClip clip("sample", description);
        CUSharedPtr<FBCMovieSample> movie = FBCMovieSample::Create(Str(clip.cifPath));
        ASSERT_TRUE(movie);
        EXPECT_EQ(movie->FrameDuration(), 1);
        EXPECT_EQ(movie->MediaTimescale(), 25);
        const bool sound = c.channels > 0;
        EXPECT_EQ(movie->AudioTimescale(), sound ? 48000 : 0);
        EXPECT_EQ(movie->AudioDuration(), sound ? 1 : 0);
        const AudioStreamBasicDescription* audio = movie->AudioDescription();
        ASSERT_EQ(audio != nullptr, sound);
        if (!sound) continue;
        const AudioStreamBasicDescription expected{
            48000.0, kAudioFormatLinearPCM, 12, c.bytesPerFrame, 1, c.bytesPerFrame, c.channels, c.bits, 0};
        EXPECT_EQ(std::memcmp(audio, &expected, sizeof expected), 0);
        EXPECT_EQ(movie->AudioSampleRateAtIndex(c.channels - 1), 48000.0f);
    }
}

// Eight threads walk one spanned movie from different frames while one of
// them keeps closing its files; each gets what a single thread got.
TEST(FBCMovieSampleTest, EightThreadsReadWhatOneThreadReads) {
    const qztest::ScratchClip clip("sample",
                                   qztest::SmallClip(cw::FrameRate::k29_97p, {17, 20, 13}, false, 2));
    CUSharedPtr<FBCMovieSample> movie = FBCMovieSample::Create(Str(clip.cifPath));
    ASSERT_TRUE(movie);
    struct Frame {
        int8_t temporal = 0, key = 0;
        uint8_t flags = 0;
        int32_t display = 0;
        uint32_t sample = 0;
        std::vector<unsigned char> picture, sound;
        bool operator==(const Frame&) const = default;
    };
    auto read = [&](uint32_t f) {
        Frame frame;
        movie->FrameInfoAtIndex(f, &frame.temporal, &frame.key, &frame.flags);
        frame.display = movie->DisplayOffsetAtIndex(f);
        frame.sample = movie->sampleFlagAtIndex(f);
        frame.picture.resize(1 << 19);
        frame.picture.resize(
            movie->ReadSampleData(f, kMxfTrackPicture, 0, frame.picture.data(), frame.picture.size()));
        frame.sound.resize(1 << 12);
        frame.sound.resize(
            movie->ReadSampleData(f, kMxfTrackSound, 1, frame.sound.data(), frame.sound.size()));
        return frame;
    };
    const auto expected = qztest::ExpectEightThreadsReadAsOne(
        movie->FrameCountInClip(), read, [&] { movie->ReleaseMXFStream(); }, 2);
    EXPECT_FALSE(expected[0].picture.empty());
    EXPECT_FALSE(expected[0].sound.empty());
}
