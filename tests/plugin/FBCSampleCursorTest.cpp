// The three sample cursors over whole written clips against what the card
// writer recorded (and ffprobe's timecode of card writer and ffmpeg
// files), at the track ends and from eight threads at once.
#include "ClipTimecode.h"
#include "ExternalTool.h"
#include "FBCAudioSampleCursor.h"
#include "FBCTimeCodeSampleCursor.h"
#include "FBCVideoSampleCursor.h"
#include "FfprobePackets.h"
#include "PluginTestSupport.h"

#include <deque>
#include <limits>
#include <thread>

using namespace ComVantoVantoQZ64RADPlug;
using namespace plugin_test;

namespace {

// A written clip in a scratch folder of its own, opened through a format reader.
struct OpenClip : qztest::ScratchClip {
    std::shared_ptr<FBCFormatReader> reader = FBCFormatReader::initWithMovieSample(Open(cifPath));
    OpenClip(cw::FrameRate rate, std::vector<uint32_t> members)
        : ScratchClip("cursor", qztest::SmallClip(rate, std::move(members))) {
        EXPECT_TRUE(reader);
    }
    std::shared_ptr<FBCTrackReader> Track(FourCharCode type) const { return TrackOf(*reader, type); }
};

// The indices a cursor visits stepping by `step` until it is refused, and
// that the refusal leaves it in place.
template <class Cursor, class Index, class Step>
std::vector<int64_t> Walk(Cursor& cursor, Index index, Step step) {
    std::vector<int64_t> visited{index(cursor)};
    while (step(cursor) == 0) visited.push_back(index(cursor));
    EXPECT_EQ(index(cursor), visited.back());
    return visited;
}

std::vector<int64_t> Every(int64_t from, int64_t step, int64_t count) {
    std::vector<int64_t> indices;
    for (int64_t i = from; i >= 0 && i < count; i += step) indices.push_back(i);
    return indices;
}

}  // namespace

TEST(FBCSampleCursorTest, VideoStepsVisitEveryPictureInBothOrders) {
    for (cw::FrameRate rate : {cw::FrameRate::k29_97p, cw::FrameRate::k59_94i}) {
        SCOPED_TRACE(cw::FrameRateName(rate));
        const OpenClip open(rate, {13, 11});
        auto track = open.Track(kMIORADMediaType_Video);
        ASSERT_TRUE(track);
        const int64_t n = int64_t(open.frames.size());
        const CMTime d = CMTimeMake(track->timeRange().duration.value / n, track->timescale());
        auto decode = [](FBCVideoSampleCursor& c) { return int64_t{c.decodeIndex()}; };
        auto display = [](FBCVideoSampleCursor& c) { return int64_t{c.presentationIndex()}; };
        for (int64_t step : {1, 7, -5, -1}) {
            SCOPED_TRACE(step);
            const int64_t from = step > 0 ? 0 : n - 1;
            auto byDecode = track->videoCursorAtDecodeIndex(from);
            auto byDisplay = track->videoCursorAtDecodeIndex(0);
            ASSERT_TRUE(byDecode && byDisplay && byDisplay->moveCursorAtPresentationIndex(from));
            EXPECT_EQ(Walk(*byDecode, decode, [&](auto& c) { return c.stepInDecodeOrder(step); }),
                      Every(from, step, n));
            EXPECT_EQ(Walk(*byDisplay, display, [&](auto& c) { return c.stepInPresentationOrder(step); }),
                      Every(from, step, n));
            const CMTime delta = CMTimeMultiply(d, int32_t(step));
            auto byTime = track->videoCursorAtDecodeIndex(from);
            ASSERT_TRUE(byTime && byTime->moveCursorAtPresentationIndex(from));
            EXPECT_EQ(Walk(*byTime, display, [&](auto& c) { return c.stepByPresentationTime(delta); }),
                      Every(from, step, n));
            byTime->moveCursorAtDecodeIndex(from);
            EXPECT_EQ(Walk(*byTime, decode, [&](auto& c) { return c.stepByDecodeTime(delta); }),
                      Every(from, step, n));
        }
        // Every stored picture against the writer's record.
        auto cursor =
            std::dynamic_pointer_cast<FBCVideoSampleCursor>(track->cursorAtFirstSampleInDecodeOrder());
        ASSERT_TRUE(cursor);
        for (int64_t i = 0; i < n; ++i, cursor->stepInDecodeOrder(1)) {
            const qztest::WrittenFrame& w = open.frames[size_t(i)];
            SCOPED_TRACE(i);
            ASSERT_EQ(cursor->decodeIndex(), i);
            EXPECT_EQ(cursor->presentationIndex(), i + w.record.displayOffset);
            EXPECT_EQ(CMTimeCompare(cursor->decodeTimeStamp(), CMTimeMultiply(d, int32_t(i))), 0);
            EXPECT_EQ(CMTimeCompare(cursor->presentationTimeStamp(),
                                    CMTimeMultiply(d, int32_t(i + w.record.displayOffset))),
                      0);
            EXPECT_EQ(cursor->sectionOffset(), int64_t(w.record.pictureOffset));
            EXPECT_EQ(cursor->mpeg2FrameType(nullptr, nullptr), w.record.type);
            bool full = false, partial = false;
            int32_t threshold = 0;
            cursor->dependencyInfo(&full, &partial, &threshold, nullptr);
            EXPECT_EQ(full, w.record.type == 'I' && w.local == 0);
            EXPECT_EQ(partial, w.record.type == 'I' && w.local != 0);
            EXPECT_EQ(threshold, 2);
        }
        auto last = track->cursorAtLastSampleInDecodeOrder();
        ASSERT_TRUE(last);
        const CMTime end = last->decodeTimeStamp();
        for (int64_t huge : {std::numeric_limits<int64_t>::max(), std::numeric_limits<int64_t>::min()}) {
            EXPECT_EQ(last->stepInDecodeOrder(huge), kMIORADSampleCursorEndOfTrackErr);
            EXPECT_EQ(last->stepInPresentationOrder(huge), kMIORADSampleCursorEndOfTrackErr);
        }
        EXPECT_EQ(last->stepByDecodeTime(CMTimeMake(std::numeric_limits<int64_t>::max(), 1)),
                  kMIORADSampleCursorEndOfTrackErr);
        EXPECT_EQ(CMTimeCompare(last->decodeTimeStamp(), end), 0);
    }
}

// Steps by times in nanoseconds, whose exact sum with a time over 30000 or
// 48000 has no 32-bit timescale: they land on the frame or sample the
// rounded time names.
TEST(FBCSampleCursorTest, StepsByTimesInAnotherTimescale) {
    const OpenClip open(cw::FrameRate::k29_97p, {13});
    auto video = open.Track(kMIORADMediaType_Video)->videoCursorAtDecodeIndex(0);
    ASSERT_TRUE(video && video->moveCursorAtPresentationIndex(9));
    EXPECT_EQ(video->stepByPresentationTime(CMTimeMake(33366667, 1000000000)), 0);
    EXPECT_EQ(video->presentationIndex(), 10);
    auto audio = open.Track(kMIORADMediaType_Audio)->audioCursorAtDecodeIndex(0);
    ASSERT_TRUE(audio);
    EXPECT_EQ(audio->stepByPresentationTime(CMTimeMake(20833333, 1000000000)), 0);
    EXPECT_EQ(audio->presentationTimeStamp().value, 1000);
}

// Every frame boundary: the first sample of a frame and the one before it;
// both ends of the track.
TEST(FBCSampleCursorTest, AudioCursorsAtEveryFrameBoundary) {
    for (cw::FrameRate rate : {cw::FrameRate::k29_97p, cw::FrameRate::k59_94p}) {
        SCOPED_TRACE(cw::FrameRateName(rate));
        const OpenClip open(rate, {7, 5});
        auto track = open.Track(kMIORADMediaType_Audio);
        ASSERT_TRUE(track);
        FBCMovieSampleForFCPX& movie = *track->movieSample();
        const int64_t frames = int64_t(open.frames.size());
        for (int64_t f = 0; f < frames; ++f) {
            SCOPED_TRACE(f);
            const int64_t a = movie.audioSampleIndexAtFrameIndex(f),
                          n = movie.audioSampleCountAtFrameIndex(f);
            auto cursor = track->audioCursorAtPresentationTimeStamp(CMTimeMake(a, 48000));
            ASSERT_TRUE(cursor);
            EXPECT_EQ(cursor->presentationIndex(), f);
            EXPECT_EQ(cursor->sampleIndex(), 0);
            SampleHolder rest = SampleHolder::Adopt(cursor->createSampleBuffer(cursor.get()));
            EXPECT_EQ(BytesOf(rest.Get()), Tones(a, n));
            ASSERT_EQ(cursor->stepInPresentationOrder(-1), f == 0 ? kMIORADSampleCursorEndOfTrackErr : 0);
            if (f == 0) continue;
            EXPECT_EQ(cursor->presentationIndex(), f - 1);
            EXPECT_EQ(cursor->sampleIndex(), movie.audioSampleCountAtFrameIndex(f - 1) - 1);
            EXPECT_EQ(cursor->timecodeCounter(), movie.StartTimecode() + f - 1);
        }
        // From the first sample, a run ends at the end cursor.
        auto first =
            std::dynamic_pointer_cast<FBCAudioSampleCursor>(track->cursorAtFirstSampleInDecodeOrder());
        auto end = std::dynamic_pointer_cast<FBCAudioSampleCursor>(first->copy());
        ASSERT_EQ(end->stepInDecodeOrder(300), 0);
        SampleHolder run = SampleHolder::Adopt(first->createSampleBuffer(end.get()));
        EXPECT_EQ(BytesOf(run.Get()), Tones(0, 300));
        EXPECT_EQ(first->stepByDecodeTime(CMTimeMake(-1, 48000)), kMIORADSampleCursorEndOfTrackErr);
        auto last = track->cursorAtLastSampleInDecodeOrder();
        ASSERT_TRUE(last);
        EXPECT_EQ(last->presentationTimeStamp().value, movie.audioSampleCount() - 1);
        // A time in the last fifth of the last sample is inside the clip, on that sample.
        auto late =
            track->audioCursorAtPresentationTimeStamp(CMTimeMake(5 * movie.audioSampleCount() - 1, 240000));
        ASSERT_TRUE(late);
        EXPECT_EQ(late->compareInDecodeOrder(*last), 0);
        EXPECT_EQ(late->presentationIndex(), frames - 1);
        EXPECT_EQ(last->stepInDecodeOrder(1), kMIORADSampleCursorEndOfTrackErr);
        EXPECT_EQ(first->compareInDecodeOrder(*last), -1);
        EXPECT_EQ(last->compareInDecodeOrder(*last->copy()), 0);
    }
}

// Counters of the picture displayed at each position run on by one, each
// member file's first one is the start ffprobe reads from that file, and
// each frame's location holds ffprobe's packet.
TEST(FBCSampleCursorTest, TimecodeCountersRunFrameByFrameAt5994And50) {
    QZ_REQUIRE_TOOL("ffmpeg");
    QZ_REQUIRE_TOOL("ffprobe");
    qztest::ScratchFolder folder("cursor");
    struct File {
        std::string path;
        int64_t firstFrame;
    };
    const struct {
        const char* name;
        cw::FrameRate rate;
        const char* ffmpegRate;
    } rates[] = {{"59.94P", cw::FrameRate::k59_94p, "60000/1001"}, {"50P", cw::FrameRate::k50p, "50"}};
    for (const auto& r : rates) {
        const OpenClip written(r.rate, {14, 12});
        const std::string ffmpegFile = folder.Path() + "/" + r.name + ".mxf";
        ASSERT_EQ(
            qztest::RunCommand("ffmpeg -nostdin -v error -f lavfi -i testsrc=size=1280x720:rate=" +
                               std::string(r.ffmpegRate) +
                               " -f lavfi -i sine=sample_rate=48000 -frames:v 30 -c:v mpeg2video "
                               "-pix_fmt yuv422p -bf 0 -g 12 -c:a pcm_s16le -timecode 10:59:59:00 -f mxf " +
                               qztest::ShellQuote(ffmpegFile))
                .exitCode,
            0);
        const struct {
            std::string kind;
            std::shared_ptr<FBCFormatReader> reader;
            std::vector<File> files;
        } clips[] = {
            {"card writer", written.reader, {{written.mxfPaths[0], 0}, {written.mxfPaths[1], 14}}},
            {"ffmpeg", FBCFormatReader::initWithMovieSample(Open(ffmpegFile)), {{ffmpegFile, 0}}},
        };
        for (const auto& c : clips) {
            SCOPED_TRACE(std::string(r.name) + " " + c.kind);
            ASSERT_TRUE(c.reader);
            auto video = TrackOf(*c.reader, kMIORADMediaType_Video);
            auto timecode = TrackOf(*c.reader, kMIORADMediaType_TimeCode);
            ASSERT_TRUE(video && timecode);
            FBCMovieSampleForFCPX& movie = *video->movieSample();
            EXPECT_EQ(movie.RoundedTimecodeBase(), r.rate == cw::FrameRate::k50p ? 50 : 60);
            auto picture = video->videoCursorAtDecodeIndex(0);
            auto counter = timecode->timeCodeCursorAtDecodeIndex(0);
            ASSERT_TRUE(picture && picture->moveCursorAtPresentationIndex(0) && counter);
            std::vector<int64_t> counters{picture->timecodeCounter()};
            std::vector<int64_t> lengths{counter->sectionLength()};
            while (picture->stepInPresentationOrder(1) == 0) {
                ASSERT_EQ(counter->stepInDecodeOrder(1), 0);
                EXPECT_EQ(picture->timecodeCounter(), counters.back() + 1);
                EXPECT_EQ(counter->timecodeCounter(), picture->timecodeCounter());
                counters.push_back(picture->timecodeCounter());
                lengths.push_back(counter->sectionLength());
            }
            EXPECT_EQ(counters.size(), movie.FrameCountInClip());
            for (const File& file : c.files) {
                const qztest::CommandResult probe = qztest::RunCommand(
                    "ffprobe -v error -show_entries format_tags=timecode -of default=nw=1:nk=1 " +
                    qztest::ShellQuote(file.path));
                cw::Timecode start;
                bool drop = false;
                ASSERT_TRUE(cw::ParseTimecode(probe.output.substr(0, 11), start, drop)) << probe.output;
                // The picture is found by its track's place, after ffmpeg's system item.
                const std::vector<qztest::ProbedPacket> packets = qztest::ProbePackets(file.path);
                for (size_t k = 0; k < packets.size(); ++k)
                    EXPECT_EQ(lengths.at(size_t(file.firstFrame) + k), int64_t(packets[k].size)) << k;
                EXPECT_EQ(counters[size_t(file.firstFrame)],
                          int64_t(cw::TimecodeToFrameCount(start, movie.RoundedTimecodeBase(), drop)))
                    << file.path;
            }
        }
    }
}

// A spanned clip's timecode samples lie in their own member files.
TEST(FBCSampleCursorTest, TimecodeLocationsInTheFramesOwnFile) {
    const OpenClip open(cw::FrameRate::k25p, {6, 6});
    auto track = open.Track(kMIORADMediaType_TimeCode);
    ASSERT_TRUE(track);
    for (int64_t frame : {2, 9}) {
        const qztest::WrittenFrame& w = open.frames[size_t(frame)];
        auto cursor = track->timeCodeCursorAtDecodeIndex(frame);
        ASSERT_TRUE(cursor && cursor->respondsTo(MIORADSampleCursorProtocol::Message::sampleLocation));
        int64_t count = 0, offset = 0, length = 0;
        CFHolder<CFURLRef> source;
        ASSERT_EQ(cursor->sampleLocation(1, &count, &offset, &length, &source), 0);
        EXPECT_EQ(count, 1);
        EXPECT_EQ(offset, int64_t(w.record.pictureOffset));
        EXPECT_EQ(length, int64_t(w.record.pictureSize));
        ASSERT_TRUE(source);
        EXPECT_EQ(source.Get()->Path(), open.mxfPaths[w.member]);
        EXPECT_EQ(cursor->presentationIndex(), cursor->decodeIndex());

        int64_t values[4] = {7, 7, 7, 7};
        bool flags[3] = {true, true, true};
        source.Reset(CFURLCreateWithFileSystemPath(nullptr, String("/x").Get(), kCFURLPOSIXPathStyle, false));
        EXPECT_EQ(cursor->chunkDetails(&source, &values[0], &values[1], &values[2], &values[3], &flags[0],
                                       &flags[1], &flags[2]),
                  0);
        EXPECT_FALSE(source);
        for (int64_t v : values) EXPECT_EQ(v, 0);
        for (bool b : flags) EXPECT_FALSE(b);
    }
}

// What one thread reads of a clip: every picture, every frame's audio and
// every counter, through fresh cursors.
std::vector<std::vector<uint8_t>> ReadAll(const FBCFormatReader& shared) {
    auto reader = std::dynamic_pointer_cast<FBCFormatReader>(shared.copy());
    std::vector<std::vector<uint8_t>> out;
    auto video = TrackOf(*reader, kMIORADMediaType_Video)->cursorAtFirstSampleInDecodeOrder();
    do {
        out.push_back(BytesOf(SampleHolder::Adopt(video->createSampleBuffer(nullptr)).Get()));
    } while (video->stepInDecodeOrder(1) == 0);
    auto audio = TrackOf(*reader, kMIORADMediaType_Audio)->cursorAtFirstSampleInDecodeOrder();
    do {
        out.push_back(BytesOf(SampleHolder::Adopt(audio->createSampleBuffer(nullptr)).Get()));
    } while (!out.back().empty() && audio->stepInDecodeOrder(int64_t(out.back().size() / 4)) == 0);
    auto timecode = std::dynamic_pointer_cast<FBCTimeCodeSampleCursor>(
        TrackOf(*reader, kMIORADMediaType_TimeCode)->cursorAtFirstSampleInDecodeOrder());
    std::vector<uint8_t> counters;
    do {
        counters.push_back(uint8_t(timecode->timecodeCounter()));
    } while (timecode->stepInDecodeOrder(1) == 0);
    out.push_back(counters);
    return out;
}

TEST(FBCSampleCursorTest, EightThreadsOnOneClipAndOnEightReadLikeOne) {
    std::deque<OpenClip> clips;
    const cw::FrameRate rates[] = {cw::FrameRate::k29_97p, cw::FrameRate::k25p, cw::FrameRate::k59_94p,
                                   cw::FrameRate::k50p};
    for (int i = 0; i < 8; ++i) clips.emplace_back(rates[i % 4], std::vector<uint32_t>{7, uint32_t(5 + i)});
    std::vector<std::vector<std::vector<uint8_t>>> expected;
    for (const OpenClip& clip : clips) expected.push_back(ReadAll(*clip.reader));
    for (bool oneClip : {true, false}) {
        SCOPED_TRACE(oneClip ? "one clip" : "eight clips");
        std::vector<std::vector<std::vector<uint8_t>>> got(8);
        std::vector<std::thread> threads;
        for (size_t t = 0; t < 8; ++t)
            threads.emplace_back([&, t] { got[t] = ReadAll(*clips[oneClip ? 0 : t].reader); });
        for (std::thread& thread : threads) thread.join();
        for (size_t t = 0; t < 8; ++t) EXPECT_TRUE(got[t] == expected[oneClip ? 0 : t]) << t;
    }
}
