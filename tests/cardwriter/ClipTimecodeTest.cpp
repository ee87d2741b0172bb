// The writer's timecode arithmetic at its boundaries: drop-frame minutes at
// bases 30 and 60, the day and beyond, base 0, and malformed texts.
#include "ClipTimecode.h"

#include <gtest/gtest.h>

using namespace ComVantoVantoQZ64RADPlug::CardWriter;

namespace {

TEST(ClipTimecodeTest, FrameCountsAndLabelsBothWays) {
    struct Case {
        uint64_t count;
        uint32_t base;
        bool drop;
        const char* text;
    } const cases[] = {
        {0, 30, true, "00:00:00;00"},
        {1799, 30, true, "00:00:59;29"},
        {1800, 30, true, "00:01:00;02"},  // 00:01:00;00 and ;01 are skipped
        {17981, 30, true, "00:09:59;29"},
        {17982, 30, true, "00:10:00;00"},  // every tenth minute keeps its labels
        {107892, 30, true, "01:00:00;00"},
        {3599, 60, true, "00:00:59;59"},
        {3600, 60, true, "00:01:00;04"},  // four labels skipped at 60
        {1800, 30, false, "00:01:00:00"},
        {2160000, 25, false, "24:00:00:00"},  // not wrapped at 24 hours
        {1440 * 99, 24, false, "01:39:00:00"},
    };
    for (const Case& c : cases) {
        const Timecode tc = FrameCountToTimecode(c.count, c.base, c.drop);
        EXPECT_EQ(TimecodeText(tc, c.drop), c.text) << c.count << " at " << c.base;
        EXPECT_EQ(TimecodeToFrameCount(tc, c.base, c.drop), c.count) << c.text;
    }
    // Drop frame exists only at 30 and 60; base 0 has no frames.
    EXPECT_EQ(DropFramesPerMinute(25), 0u);
    EXPECT_EQ(TimecodeText(FrameCountToTimecode(1500, 25, true), false), "00:01:00:00");
    EXPECT_EQ(TimecodeText(FrameCountToTimecode(12345, 0, false), false), "00:00:00:00");
    EXPECT_EQ(TimecodeToFrameCount(Timecode{1, 0, 0, 0}, 0, false), 0u);
    // A skipped label counts as the frame it would have been, never below 0.
    EXPECT_EQ(TimecodeToFrameCount(Timecode{0, 0, 0, 0}, 30, true), 0u);
}

TEST(ClipTimecodeTest, ParseAcceptsOnlyWellFormedTexts) {
    Timecode tc;
    bool drop = false;
    ASSERT_TRUE(ParseTimecode("01:02:03;04", tc, drop));
    EXPECT_EQ(tc, (Timecode{1, 2, 3, 4}));
    EXPECT_TRUE(drop);
    ASSERT_TRUE(ParseTimecode("23:59:59:29", tc, drop));
    EXPECT_FALSE(drop);
    for (const char* bad : {"", "1:2:3", "01:60:00:00", "01:00:60:00", "01:00:00.00", "01:00:00:00 ",
                            "001:00:00:00", "aa:bb:cc:dd", "01:00:00:000"}) {
        EXPECT_FALSE(ParseTimecode(bad, tc, drop)) << '"' << bad << '"';
    }
}

}  // namespace
