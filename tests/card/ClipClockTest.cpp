// The clip clock at every rate a card records: timecode bases and labels,
// frame <-> timecode round trips at drop-frame minutes and the day's end,
// and sound samples per picture summing exactly over each rate's cycle.
#include "CUStringMac.h"
#include "ClipClock.h"
#include "FBC_Utl_Timecode.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

using namespace ComVantoVantoQZ64RADPlug;

namespace {

std::string Text(const CUSharedPtr<TimecodeInfo>& tc) {
    return tc ? tc->Description()->Utf8() : "null";
}

struct RateCase {
    const char* name;
    _Frame_Rate rate;
    bool drop;
    int64_t timescale, duration;  // pictures per second
    uint32_t rounded, perLabel;
    int64_t framesPerDay;
    std::vector<int64_t> samples;  // per picture at 48 kHz, one cycle
    // Labels 1799, 1800 (the first of minute 1) and 17982 (ten minutes in
    // drop-frame counting).
    const char* labels[3];
};

const RateCase kRates[] = {
    {"59.94i DF",
     kFrameRate5994i,
     true,
     30000,
     1001,
     30,
     1,
     2589408,
     {1602, 1601, 1602, 1601, 1602},
     {"0:0:59:29 DF", "0:1:0:2 DF", "0:10:0:0 DF"}},
    {"59.94i NDF",
     kFrameRate5994i,
     false,
     30000,
     1001,
     30,
     1,
     2592000,
     {1602, 1601, 1602, 1601, 1602},
     {"0:0:59:29", "0:1:0:0", "0:9:59:12"}},
    {"29.97P DF",
     kFrameRate2997P,
     true,
     30000,
     1001,
     30,
     1,
     2589408,
     {1602, 1601, 1602, 1601, 1602},
     {"0:0:59:29 DF", "0:1:0:2 DF", "0:10:0:0 DF"}},
    {"29.97P NDF",
     kFrameRate2997P,
     false,
     30000,
     1001,
     30,
     1,
     2592000,
     {1602, 1601, 1602, 1601, 1602},
     {"0:0:59:29", "0:1:0:0", "0:9:59:12"}},
    {"50i", kFrameRate50i, false, 25, 1, 25, 1, 2160000, {1920}, {"0:1:11:24", "0:1:12:0", "0:11:59:7"}},
    {"25P", kFrameRate25P, false, 25, 1, 25, 1, 2160000, {1920}, {"0:1:11:24", "0:1:12:0", "0:11:59:7"}},
    {"23.98P",
     kFrameRate2398P,
     false,
     24000,
     1001,
     24,
     1,
     2073600,
     {2002},
     {"0:1:14:23", "0:1:15:0", "0:12:29:6"}},
    {"23.98PsF",
     kFrameRate2398PsF,
     false,
     24000,
     1001,
     24,
     1,
     2073600,
     {2002},
     {"0:1:14:23", "0:1:15:0", "0:12:29:6"}},
    {"24P", kFrameRate24P, false, 24, 1, 24, 1, 2073600, {2000}, {"0:1:14:23", "0:1:15:0", "0:12:29:6"}},
    {"59.94P DF",
     kFrameRate5994P,
     true,
     60000,
     1001,
     60,
     2,
     5178816,
     {800, 801, 801, 801, 801},
     {"0:0:59:29 DF", "0:1:0:2 DF", "0:10:0:0 DF"}},
    {"59.94P NDF",
     kFrameRate5994P,
     false,
     60000,
     1001,
     60,
     2,
     5184000,
     {800, 801, 801, 801, 801},
     {"0:0:59:29", "0:1:0:0", "0:9:59:12"}},
    {"50P", kFrameRate50P, false, 50, 1, 50, 2, 4320000, {960}, {"0:1:11:24", "0:1:12:0", "0:11:59:7"}},
};

// The first sample of frame `frame` by the rate's cycle.
int64_t CycleStart(const RateCase& c, int64_t frame) {
    int64_t sum = 0, cycle = 0;
    for (size_t k = 0; k < c.samples.size(); ++k) {
        cycle += c.samples[k];
        if (int64_t(k) < frame % int64_t(c.samples.size())) sum += c.samples[k];
    }
    return frame / int64_t(c.samples.size()) * cycle + sum;
}

}  // namespace

TEST(ClipClockTest, EveryRateOfTheCard) {
    for (const RateCase& c : kRates) {
        SCOPED_TRACE(c.name);
        const ClipClock clock = ClipClock::OfFrameRate(c.rate, c.drop);
        EXPECT_EQ(clock.Timescale(), c.timescale);
        EXPECT_EQ(clock.DurationPerFrame(), c.duration);
        EXPECT_EQ(clock.RoundedTimecodeBase(), c.rounded);
        EXPECT_EQ(clock.PicturesPerLabel(), c.perLabel);
        // The label rate is the rate the recorded timecode counts at.
        EXPECT_EQ(clock.TimecodeBase(), FBC_Utl_RecordedTimecodeBase(c.rate));
        EXPECT_EQ(clock.FramesPerDay(), c.framesPerDay);

        // Frames and timecodes: each label stands for its pictures, and a
        // timecode read back names the first of them.
        const int64_t labels[] = {1799, 1800, 17982};
        for (size_t k = 0; k < 3; ++k) {
            EXPECT_EQ(Text(clock.TimecodeOfFrames(labels[k] * c.perLabel)), c.labels[k]);
            EXPECT_EQ(Text(clock.TimecodeOfFrames(labels[k] * c.perLabel + c.perLabel - 1)), c.labels[k]);
        }
        for (int64_t f :
             {int64_t{0}, int64_t{1}, int64_t{1799}, int64_t{1800}, int64_t{3597}, int64_t{3598},
              int64_t{35963}, int64_t{35964}, c.framesPerDay - 1, c.framesPerDay, 2 * c.framesPerDay})
            EXPECT_EQ(clock.FramesOfTimecode(clock.TimecodeOfFrames(f)), f - f % c.perLabel) << f;
        // Past midnight the hours count on; past the 8-bit hours field, no timecode.
        EXPECT_EQ(Text(clock.TimecodeOfFrames(c.framesPerDay)), c.drop ? "24:0:0:0 DF" : "24:0:0:0");
        EXPECT_EQ(clock.TimecodeOfFrames(c.framesPerDay / 24 * 256), nullptr);
        EXPECT_EQ(clock.TimecodeOfFrames(-1), nullptr);

        // Sound: each picture's samples follow the rate's cycle (whose sum
        // is the exact count: 8008 over five pictures at 29.97), at the
        // day's start and end; a sample lies in the picture whose samples
        // hold it.
        int64_t mismatches = 0;
        for (int64_t from : {int64_t{0}, c.framesPerDay - 20000})
            for (int64_t f = from; f <= from + 20000 && mismatches < 5; ++f) {
                const int64_t first = CycleStart(c, f), next = CycleStart(c, f + 1);
                if (clock.SampleAtFrame(f) != first || clock.SamplesOfFrame(f) != next - first ||
                    clock.FrameAtSample(first) != f || clock.FrameAtSample(next - 1) != f) {
                    ADD_FAILURE() << "frame " << f << " starts at sample "
                                  << clock.SampleAtFrame(f).value_or(-1) << ", expected " << first;
                    ++mismatches;
                }
            }
        const int64_t cycle = CycleStart(c, int64_t(c.samples.size()));
        EXPECT_EQ(cycle * c.timescale, int64_t(c.samples.size()) * c.duration * ClipClock::kSoundRate);
        EXPECT_EQ(clock.SampleAtFrame(c.framesPerDay / c.perLabel * c.perLabel),
                  CycleStart(c, c.framesPerDay));
    }
}

TEST(ClipClockTest, SkippedLabelsAndEditRatesOfMovies) {
    const ClipClock df = ClipClock::OfFrameRate(kFrameRate2997P, true);
    // 00:01:00;00 is a label drop-frame counting skips: the frame before it.
    EXPECT_EQ(df.FramesOfTimecode(TimecodeInfo::Create(0, 1, 0, 0, true)), 1798);
    EXPECT_EQ(df.FramesOfTimecode(nullptr), std::nullopt);
    // A movie's edit rate, kept reduced: 60000/2002 is 29.97 and rounds as it.
    const ClipClock movie(60000, 2002, 30, false);
    EXPECT_EQ(movie.Timescale(), 30000);
    EXPECT_EQ(movie.SampleAtFrame(1), 1602);
    // Edit rates a file may name beside the card's: 60/1 labels every
    // second picture, 2997/100 has no cycle of its own (toward zero).
    const ClipClock sixty(60, 1, 60, false);
    EXPECT_EQ(sixty.PicturesPerLabel(), 2u);
    EXPECT_EQ(sixty.SamplesOfFrame(7), 800);
    const ClipClock odd(2997, 100, 30, false);
    EXPECT_EQ(odd.SampleAtFrame(3), 4804);  // 3 x 100 x 48000 / 2997 = 4804.8
    EXPECT_EQ(odd.FrameAtSample(4804), 3);
    EXPECT_EQ(odd.FrameAtSample(4803), 2);
}

TEST(ClipClockTest, RatesAndCountsNoClockCanHold) {
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
    const ClipClock clocks[] = {ClipClock(),
                                ClipClock::OfFrameRate(kFrameRateUnknown, false),
                                ClipClock(0, 1, 25, false),
                                ClipClock(25, 0, 25, false),
                                ClipClock(int64_t{1} << 31, 1, 25, false),
                                ClipClock(25, 1, 25, false, 0)};
    for (const ClipClock& clock : clocks) {
        EXPECT_EQ(clock.SampleAtFrame(1), std::nullopt);
        EXPECT_EQ(clock.FrameAtSample(1), std::nullopt);
    }
    EXPECT_FALSE(ClipClock().HasTimecode());
    EXPECT_EQ(ClipClock().TimecodeOfFrames(0), nullptr);
    EXPECT_EQ(ClipClock().FramesPerDay(), 0);
    // The largest rates and counts stay exact or say they cannot.
    const ClipClock wide(std::numeric_limits<int32_t>::max(), 1, 0, false,
                         std::numeric_limits<int32_t>::max());
    EXPECT_EQ(wide.SampleAtFrame(kMax), kMax);
    EXPECT_EQ(wide.FrameAtSample(kMax), kMax);
    EXPECT_EQ(wide.SamplesOfFrame(kMax), std::nullopt);
    const ClipClock slow(1, std::numeric_limits<int32_t>::max(), 0, false, 48000);
    EXPECT_EQ(slow.SampleAtFrame(kMax), std::nullopt);
    EXPECT_EQ(slow.FrameAtSample(kMax), kMax / (int64_t{std::numeric_limits<int32_t>::max()} * 48000));
    EXPECT_EQ(ClipClock(25, 1, 25, false).SampleAtFrame(-1), std::nullopt);
}
