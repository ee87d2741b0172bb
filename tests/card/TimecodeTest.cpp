// Timecode arithmetic checked against an independent count: a label that is
// advanced one frame at a time by the counting rules, compared with both
// conversions at every frame of a day.
#include "CUStringMac.h"
#include "FBC_Utl_Timecode.h"
#include "FBC_Utl_TimecodeParse.h"
#include "TimecodeInfo.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>

using namespace ComVantoVantoQZ64RADPlug;

namespace {

CUSharedPtr<TimecodeInfo> Tc(int h, int m, int s, int f, bool df = false) {
    return TimecodeInfo::Create(h, m, s, f, df);
}

std::string Text(const CUSharedPtr<TimecodeInfo>& tc) {
    return tc->Description()->Utf8();
}

// Advances a label by one frame: drop-frame counting skips frames 0 and 1 of
// every minute that is not a multiple of ten.
void Advance(TimecodeInfo& tc, unsigned base, bool drop) {
    if (++tc.frames < base) return;
    tc.frames = 0;
    if (++tc.seconds == 60) {
        tc.seconds = 0;
        if (++tc.minutes == 60) tc.minutes = 0, ++tc.hours;
        if (drop && tc.minutes % 10 != 0) tc.frames = 2;
    }
}

struct BaseCase {
    unsigned base;
    bool drop;
};

class TimecodeWalkTest : public ::testing::TestWithParam<BaseCase> {};

TEST_P(TimecodeWalkTest, BothConversionsAgreeWithFrameByFrameCountOverADay) {
    const auto [base, drop] = GetParam();
    const uint32_t flags = drop ? kTimecodeFlagDropFrame : 0;
    const int64_t framesPerDay = drop ? 24 * 6 * 17982 : int64_t{24} * 3600 * base;
    TimecodeInfo label;
    for (int64_t n = 0; n < framesPerDay; ++n) {
        auto tc = FBC_Utl_FrameFromTimecode(n, base, flags);
        ASSERT_TRUE(tc->hours == label.hours && tc->minutes == label.minutes &&
                    tc->seconds == label.seconds && tc->frames == label.frames)
            << "frame " << n << ": " << Text(tc);
        ASSERT_EQ(FBC_Utl_TimecodeFromFrame(tc, base, flags), static_cast<uint64_t>(n));
        Advance(label, base, drop);
    }
    // The day ends on 24:00:00:00, not on a wrapped 0.
    auto end = FBC_Utl_FrameFromTimecode(framesPerDay, base, flags);
    EXPECT_EQ(end->hours, 24);
    EXPECT_EQ(end->minutes, 0);
    EXPECT_EQ(end->frames, 0);
}

INSTANTIATE_TEST_SUITE_P(AllBases, TimecodeWalkTest,
                         ::testing::Values(BaseCase{24, false}, BaseCase{25, false}, BaseCase{30, false},
                                           BaseCase{30, true}, BaseCase{50, false}, BaseCase{60, false}),
                         [](const auto& param_info) {
                             return std::to_string(param_info.param.base) +
                                    (param_info.param.drop ? "DF" : "ND");
                         });

TEST(TimecodeTest, DropFrameFlagIgnoredOutsideBase30) {
    for (unsigned base : {24u, 25u, 50u, 60u}) {
        for (int64_t n : {0, 1799, 1800, 17982, 107892}) {
            auto withFlag = FBC_Utl_FrameFromTimecode(n, base, kTimecodeFlagDropFrame);
            auto without = FBC_Utl_FrameFromTimecode(n, base, 0);
            // The same label, marked as drop-frame.
            EXPECT_EQ(Text(withFlag), Text(without) + " DF") << base << " " << n;
            EXPECT_EQ(withFlag->dropFrame, 1);
        }
    }
}

TEST(TimecodeTest, DropFrameCountsAndSkippedLabels) {
    EXPECT_EQ(FBC_Utl_CalculateDropFrameCount(Tc(0, 10, 0, 0), 30), 18u);
    EXPECT_EQ(FBC_Utl_CalculateDropFrameCount(Tc(0, 1, 0, 0), 30), 2u);
    EXPECT_EQ(FBC_Utl_CalculateDropFrameCount(Tc(1, 0, 0, 0), 30), 108u);
    EXPECT_EQ(FBC_Utl_CalculateDropFrameCount(Tc(1, 0, 0, 0), 25), 0u);
    EXPECT_EQ(FBC_Utl_CalculateDropFrameCount(nullptr, 30), 0u);
    // A skipped label lands on the frame before it.
    EXPECT_EQ(FBC_Utl_TimecodeFromFrame(Tc(0, 1, 0, 0), 30, kTimecodeFlagDropFrame), 1798u);
    EXPECT_EQ(FBC_Utl_TimecodeFromFrame(nullptr, 30, 0), 0u);
    EXPECT_EQ(FBC_Utl_TimecodeFromFrame(Tc(1, 2, 3, 4), 0, 0), 0u);
}

// Frame counts to labels, every field compared. The hours field is 8 bits
// wide and counts on past 24: counts beyond 255 hours keep its low 8 bits.
// The expected labels were worked out by hand from the counting rules.
TEST(TimecodeTest, FrameCountsToExactLabels) {
    constexpr uint32_t DF = kTimecodeFlagDropFrame, ABS = kTimecodeFlagAbsolute;
    struct Case {
        int64_t count;
        uint32_t base, flags;
        const char* text;
    } const cases[] = {
        {12345, 0, 0, "0:0:0:0"},  // no base, no label
        {1800, 30, 0, "0:1:0:0"},
        {1800, 30, DF, "0:1:0:2 DF"},
        {17982, 30, DF, "0:10:0:0 DF"},
        {24 * 6 * 17982 - 1, 30, DF, "23:59:59:29 DF"},
        {24 * 6 * 17982, 30, DF, "24:0:0:0 DF"},
        {int64_t{24} * 3600 * 25, 25, 0, "24:0:0:0"},
        {int64_t{255} * 3600 * 25, 25, 0, "255:0:0:0"},
        {int64_t{256} * 3600 * 25 - 1, 25, 0, "255:59:59:24"},
        {int64_t{256} * 3600 * 25, 25, 0, "0:0:0:0"},  // hours 256: low 8 bits
        {-30, 30, ABS, "0:0:1:0"},
        {-30, 30, ABS | DF, "0:0:1:0 DF"},
        // Without the absolute flag a negative count is taken as unsigned:
        // 2^64 - 1 frames at 30 are 170803185867681 hours, 161 in 8 bits.
        {-1, 30, 0, "161:2:0:15"},
        {-1, 30, DF, "60:44:31:29 DF"},
        {-1, 25, 0, "193:14:24:15"},
        {-1, 24, 0, "137:17:30:15"},
        {INT64_MAX, 60, 0, "232:15:30:7"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Text(FBC_Utl_FrameFromTimecode(c.count, c.base, c.flags)), c.text)
            << c.count << " at " << c.base << " flags " << c.flags;
    }
}

TEST(TimecodeTest, BasesOfEveryFrameRate) {
    const unsigned rounded[] = {0, 30, 25, 30, 25, 24, 60, 50, 24, 24, 0};
    const unsigned recorded[] = {0, 30, 25, 30, 25, 24, 30, 25, 24, 24, 0};
    for (int r = 0; r <= 10; ++r) {
        EXPECT_EQ(FBC_Utl_RoundedTimecodeBase(static_cast<_Frame_Rate>(r)), rounded[r]) << r;
        EXPECT_EQ(FBC_Utl_RecordedTimecodeBase(static_cast<_Frame_Rate>(r)), recorded[r]) << r;
    }
}

TEST(TimecodeTest, DifferenceBorrowsAtTheRecordedBase) {
    EXPECT_EQ(Text(FBC_Utl_ReductionTimecode(Tc(0, 0, 59, 29), Tc(0, 1, 0, 0), kFrameRate2997P)), "0:0:0:1");
    // 59.94P counts its recorded timecode at 30.
    EXPECT_EQ(Text(FBC_Utl_ReductionTimecode(Tc(0, 0, 0, 29), Tc(1, 0, 0, 0), kFrameRate5994P)), "0:59:59:1");
    EXPECT_EQ(Text(FBC_Utl_ReductionTimecode(Tc(0, 0, 0, 24), Tc(0, 0, 1, 0), kFrameRate50P)), "0:0:0:1");
    EXPECT_EQ(Text(FBC_Utl_ReductionTimecode(Tc(1, 2, 3, 4), Tc(1, 2, 3, 4), kFrameRate25P)), "0:0:0:0");
    EXPECT_EQ(Text(FBC_Utl_ReductionTimecode(Tc(2, 0, 0, 0), Tc(1, 0, 0, 0), kFrameRate25P)), "0:0:0:0");
    // The result never carries the drop-frame mark.
    EXPECT_EQ(
        FBC_Utl_ReductionTimecode(Tc(0, 0, 0, 0, true), Tc(0, 1, 0, 2, true), kFrameRate5994i)->dropFrame, 0);
    // An unknown rate has no base to borrow frames from: nothing underflows.
    auto unknown = FBC_Utl_ReductionTimecode(Tc(0, 0, 0, 5), Tc(0, 0, 1, 0), kFrameRateUnknown);
    EXPECT_EQ(Text(unknown), "0:0:0:0");
}

TEST(TimecodeTest, SumCarriesAtTheRecordedBase) {
    EXPECT_EQ(Text(FBC_Utl_AddTimecode(Tc(0, 59, 59, 20), Tc(0, 0, 0, 5), kFrameRate25P, true)), "1:0:0:0");
    EXPECT_EQ(Text(FBC_Utl_AddTimecode(Tc(0, 0, 0, 20), Tc(0, 0, 0, 5), kFrameRate25P, false)), "0:0:0:0");
    EXPECT_EQ(Text(FBC_Utl_AddTimecode(Tc(0, 0, 30, 29), Tc(0, 0, 30, 1), kFrameRate5994P, true)), "0:1:1:0");
    EXPECT_EQ(Text(FBC_Utl_AddTimecode(Tc(250, 0, 0, 0), Tc(10, 0, 0, 0), kFrameRate24P, true)), "4:0:0:0");
}

// Order ignores the drop-frame flag; equality does not.
TEST(TimecodeTest, DescriptionOrderAndEquality) {
    EXPECT_EQ(Text(Tc(1, 2, 3, 4, true)), "1:2:3:4 DF");
    EXPECT_TRUE(*Tc(0, 0, 0, 29) < *Tc(0, 0, 1, 0));
    EXPECT_FALSE(*Tc(0, 0, 1, 0, true) < *Tc(0, 0, 1, 0, false));
    EXPECT_FALSE(*Tc(0, 0, 1, 0, false) < *Tc(0, 0, 1, 0, true));
    EXPECT_TRUE(*Tc(0, 0, 1, 0) == *Tc(0, 0, 1, 0));
    EXPECT_FALSE(*Tc(0, 0, 1, 0, true) == *Tc(0, 0, 1, 0, false));
}

}  // namespace

// Typed timecodes: the text forms and every range rule, and in drop-frame
// exactly the labels the counting shows (17982 in ten minutes, plus the
// first minute of the next ten).
TEST(TimecodeTest, ParsedLabelsAreThoseAClockShows) {
    const struct {
        const char* text;
        uint32_t base;
        bool drop;
        const char* refusal;  // nullptr: accepted
    } cases[] = {
        {"01:02:03:04", 25, false, nullptr},
        {"1:2:3;4", 30, true, nullptr},
        {"23:59:59.29", 30, true, nullptr},
        {"24:00:00:00", 25, false, "hours must be below 24"},
        {"00:60:00:00", 25, false, "minutes"},
        {"00:00:60:00", 25, false, "seconds"},
        {"00:00:00:25", 25, false, "frames must be below 25"},
        {"00:00:00:29", 30, false, nullptr},
        {"00:01:00;01", 30, true, "skips"},
        {"00:01:00;01", 30, false, nullptr},
        {"00:10:00;00", 30, true, nullptr},
        {"00:00:00", 25, false, "not HH:MM:SS:FF"},
        {"00:00:00:000", 25, false, "not"},
        {"00;00:00:00", 25, false, "not"},
        {"00:00:00:00 ", 25, false, "not"},
        {"-1:00:00:00", 25, false, "not"},
    };
    for (const auto& c : cases) {
        std::string why;
        auto tc = FBC_Utl_ParseTimecode(c.text, c.base, c.drop, &why);
        EXPECT_EQ(tc == nullptr, c.refusal != nullptr) << c.text << ": " << why;
        if (c.refusal) {
            EXPECT_NE(why.find(c.refusal), std::string::npos) << c.text << ": " << why;
        }
    }
    EXPECT_EQ(Text(FBC_Utl_ParseTimecode("1:02:03;04", 30, true)), "1:2:3:4 DF");
    int accepted = 0;
    for (int m = 0; m <= 10; ++m)
        for (int s = 0; s < 60; ++s)
            for (int f = 0; f <= 30; ++f) {
                char text[16];
                std::snprintf(text, sizeof text, "00:%02d:%02d;%02d", m, s, f);
                accepted += FBC_Utl_ParseTimecode(text, 30, true) != nullptr;
            }
    EXPECT_EQ(accepted, 17982 + 1800);
}
