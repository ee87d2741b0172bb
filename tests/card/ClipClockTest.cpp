// The clip clock at every rate a card records: timecode labels, frame <->
// timecode round trips at drop-frame minutes and the day's end, and sound
// samples per picture following each rate's cycle, whose sum is exact.
#include "CUStringMac.h"
#include "ClipClock.h"
#include "FBC_Utl_Timecode.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

using namespace ComVantoVantoQZ64RADPlug;

namespace {

std::string Text(const CUSharedPtr<TimecodeInfo>& tc) {
    return tc ? tc->Description()->Utf8() : "null";
}

// Labels 1799, 1800 (minute 1's first) and 17982 (ten drop-frame minutes).
const char* const k30Df[] = {"0:0:59:29 DF", "0:1:0:2 DF", "0:10:0:0 DF"};
const char* const k30[] = {"0:0:59:29", "0:1:0:0", "0:9:59:12"};
const char* const k25[] = {"0:1:11:24", "0:1:12:0", "0:11:59:7"};
const char* const k24[] = {"0:1:14:23", "0:1:15:0", "0:12:29:6"};
const std::vector<int64_t> k2997{1602, 1601, 1602, 1601, 1602}, k5994{800, 801, 801, 801, 801};

struct RateCase {
    _Frame_Rate rate;
    bool drop;
    int64_t timescale, duration;  // pictures per second
    uint32_t perLabel;
    int64_t framesPerDay;
    std::vector<int64_t> samples;  // of each picture at 48 kHz, one cycle
    const char* const* labels;
};

// clang-format off
const RateCase kRates[] = {
    {kFrameRate5994i, true, 30000, 1001, 1, 2589408, k2997, k30Df}, {kFrameRate5994i, false, 30000, 1001, 1, 2592000, k2997, k30},
    {kFrameRate2997P, true, 30000, 1001, 1, 2589408, k2997, k30Df}, {kFrameRate2997P, false, 30000, 1001, 1, 2592000, k2997, k30},
    {kFrameRate5994P, true, 60000, 1001, 2, 5178816, k5994, k30Df}, {kFrameRate5994P, false, 60000, 1001, 2, 5184000, k5994, k30},
    {kFrameRate50i, false, 25, 1, 1, 2160000, {1920}, k25},         {kFrameRate25P, false, 25, 1, 1, 2160000, {1920}, k25},
    {kFrameRate50P, false, 50, 1, 2, 4320000, {960}, k25},          {kFrameRate24P, false, 24, 1, 1, 2073600, {2000}, k24},
    {kFrameRate2398P, false, 24000, 1001, 1, 2073600, {2002}, k24}, {kFrameRate2398PsF, false, 24000, 1001, 1, 2073600, {2002}, k24},
};
// clang-format on

// The first sample of `frame` by the rate's cycle.
int64_t CycleStart(const RateCase& c, int64_t frame) {
    const int64_t n = int64_t(c.samples.size());
    int64_t start = 0;
    for (int64_t k = 0; k < n; ++k) start += c.samples[k] * (frame / n + (k < frame % n ? 1 : 0));
    return start;
}

}  // namespace

TEST(ClipClockTest, EveryRateOfTheCard) {
    for (const RateCase& c : kRates) {
        SCOPED_TRACE(std::to_string(c.rate) + (c.drop ? " DF" : ""));
        const ClipClock clock = ClipClock::OfFrameRate(c.rate, c.drop);
        EXPECT_TRUE(clock.Timescale() == c.timescale && clock.DurationPerFrame() == c.duration &&
                    clock.RoundedTimecodeBase() == FBC_Utl_RoundedTimecodeBase(c.rate) &&
                    clock.PicturesPerLabel() == c.perLabel && clock.FramesPerDay() == c.framesPerDay &&
                    clock.TimecodeBase() == FBC_Utl_RecordedTimecodeBase(c.rate));
        // A label stands for its pictures; read back it names the first.
        const int64_t labels[] = {1799, 1800, 17982};
        for (size_t k = 0; k < 3; ++k)
            for (uint32_t p = 0; p < c.perLabel; ++p)
                EXPECT_EQ(Text(clock.TimecodeOfFrames(labels[k] * c.perLabel + p)), c.labels[k]);
        for (int64_t f : {int64_t{0}, int64_t{1}, int64_t{3597}, int64_t{3598}, int64_t{35964},
                          c.framesPerDay - 1, c.framesPerDay, 2 * c.framesPerDay})
            EXPECT_EQ(clock.FramesOfTimecode(clock.TimecodeOfFrames(f)), f - f % c.perLabel) << f;
        // Past midnight the hours count on; past the 8-bit hours, no timecode.
        EXPECT_EQ(Text(clock.TimecodeOfFrames(c.framesPerDay)), c.drop ? "24:0:0:0 DF" : "24:0:0:0");
        EXPECT_EQ(clock.TimecodeOfFrames(c.framesPerDay / 24 * 256), nullptr);
        EXPECT_EQ(clock.TimecodeOfFrames(-1), nullptr);
        // Each picture's sound at the day's start and end, in the picture
        // whose samples hold it; a cycle sums exactly (8008 over 5 at 29.97).
        int64_t mismatches = 0;
        for (int64_t from : {int64_t{0}, c.framesPerDay - 20000})
            for (int64_t f = from; f <= from + 20000; ++f) {
                const int64_t first = CycleStart(c, f), next = CycleStart(c, f + 1);
                mismatches += clock.SampleAtFrame(f) != first || clock.SamplesOfFrame(f) != next - first ||
                              clock.FrameAtSample(first) != f || clock.FrameAtSample(next - 1) != f;
            }
        EXPECT_EQ(mismatches, 0);
        EXPECT_EQ(CycleStart(c, int64_t(c.samples.size())) * c.timescale,
                  int64_t(c.samples.size()) * c.duration * ClipClock::kSoundRate);
    }
}

TEST(ClipClockTest, SkippedLabelsOtherEditRatesAndCountsNoClockHolds) {
    // 00:01:00;00 is a label drop-frame counting skips: the frame before it.
    EXPECT_EQ(
        ClipClock::OfFrameRate(kFrameRate2997P, true).FramesOfTimecode(TimecodeInfo::Create(0, 1, 0, 0)),
        1798);
    EXPECT_EQ(ClipClock(60000, 2002, 30, false).SampleAtFrame(1), 1602);  // kept reduced: 29.97
    EXPECT_EQ(ClipClock(2997, 100, 30, false).SampleAtFrame(3), 4804);    // 4804.8: no cycle, toward zero
    for (const ClipClock& none :
         {ClipClock(), ClipClock::OfFrameRate(kFrameRateUnknown, false), ClipClock(0, 1, 25, false),
          ClipClock(int64_t{1} << 31, 1, 25, false), ClipClock(25, 1, 25, false, 0)})
        EXPECT_TRUE(!none.SampleAtFrame(1) && !none.FrameAtSample(1) && !none.SampleAtFrame(-1));
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
    const ClipClock wide(INT32_MAX, 1, 0, false, INT32_MAX);
    EXPECT_TRUE(wide.SampleAtFrame(kMax) == kMax && wide.FrameAtSample(kMax) == kMax);
    EXPECT_EQ(ClipClock(1, INT32_MAX, 0, false).SampleAtFrame(kMax), std::nullopt);
}
