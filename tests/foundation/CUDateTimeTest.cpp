#include "CUDateTime.h"

#include "CUFailure.h"
#include "CUStringMac.h"

#include <gtest/gtest.h>

#include "FoundationTestSupport.h"

#include <cmath>
#include <limits>
#include <string>
#include <vector>

using namespace ComVantoVantoQZ64RADPlug;
using namespace foundation_test;

namespace {

// Seconds from 2001-01-01 to 2021-03-28 00:00:00 GMT (the Sunday Europe
// switches to summer time at 01:00 GMT) and to 2021-10-31 00:00:00 GMT
// (back to winter time at 01:00 GMT).
constexpr double kSpring2021 = 638582400.0;
constexpr double kAutumn2021 = 657331200.0;

// Runs the test with the system time zone set to Europe/Berlin.
class CUDateTimeBerlinTest : public ::testing::Test {
    BerlinTimeZone m_Zone;
};

}  // namespace

TEST(CUDateTimeTest, AbsoluteTimeCountsFrom2001InGmt) {
    CUDateTime epoch(0.0);
    EXPECT_EQ(epoch.GetYear(false), 2001u);

    CUDateTime half(kSpring2021 + 0.5);
    EXPECT_DOUBLE_EQ(half.GregorianDate(false).second, 0.5);
    EXPECT_EQ(half.GetSecond(false), 0u);  // truncated
    EXPECT_EQ(half.GetDay(false), 28u);

    // The current time lies after 2020.
    EXPECT_GE(CUDateTime().GetYear(false), 2020u);
}

TEST(CUDateTimeTest, AddDaysIsExactAndLeavesTheReceiver) {
    CUDateTime start(1000.25);
    CUSharedPtr<CUDateTime> later = start.AddDays(1);
    ASSERT_TRUE(later);
    EXPECT_DOUBLE_EQ(later->GetAbsoluteTime(), 1000.25 + 86400.0);
    EXPECT_DOUBLE_EQ(start.GetAbsoluteTime(), 1000.25);
    EXPECT_DOUBLE_EQ(start.AddSeconds(-0.25)->GetAbsoluteTime(), 1000.0);
    EXPECT_FALSE(start.AddSeconds(std::numeric_limits<double>::infinity()));
}

TEST(CUDateTimeTest, ExplicitGmtOffsets) {
    _DateTimeInfo summer{2010, 6, 1, 12, 0, 0, 0, 1};
    CUSharedPtr<CUDateTime> d = CUDateTime::Create(summer);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->GetHour(false), 11u);
    EXPECT_EQ(d->GetDay(false), 1u);

    // New York summer time: 20:30 EDT (offset -5 h plus the daylight flag) is
    // 00:30 GMT on the next day.
    _DateTimeInfo newYork{2010, 12, 31, 20, 30, 15, -5 * 3600, 1};
    d = CUDateTime::Create(newYork);
    ASSERT_TRUE(d);
    EXPECT_EQ((std::vector<uint32_t>{d->GetYear(false), d->GetMonth(false), d->GetDay(false),
                                     d->GetHour(false), d->GetMinute(false), d->GetSecond(false)}),
              (std::vector<uint32_t>{2011, 1, 1, 0, 30, 15}));

    // Offsets far outside any real zone are plain arithmetic, not overflow.
    _DateTimeInfo extreme{2010, 1, 1, 0, 0, 0, std::numeric_limits<int32_t>::min(), 1};
    d = CUDateTime::Create(extreme);
    ASSERT_TRUE(d);
    _DateTimeInfo plain{2010, 1, 1, 0, 0, 0, 0, 0};
    EXPECT_DOUBLE_EQ(d->GetAbsoluteTime() - CUDateTime(plain).GetAbsoluteTime(), 2147483648.0 - 3600.0);
}

TEST_F(CUDateTimeBerlinTest, SpringForwardSkipsAnHour) {
    // 01:59:59 CET and 03:00:00 CEST are one second apart.
    CUSharedPtr<CUDateTime> before = CUDateTime::Create(2021, 3, 28, 1, 59, 59);
    CUSharedPtr<CUDateTime> after = CUDateTime::Create(2021, 3, 28, 3, 0, 0);
    ASSERT_TRUE(before && after);
    EXPECT_DOUBLE_EQ(before->GetAbsoluteTime(), kSpring2021 + 3599.0);
    EXPECT_DOUBLE_EQ(after->GetAbsoluteTime() - before->GetAbsoluteTime(), 1.0);
    EXPECT_EQ(before->GetHour(false), 0u);
    EXPECT_EQ(after->GetHour(false), 1u);

    CUSharedPtr<CUDateTime> next = before->AddSeconds(1);
    EXPECT_EQ(next->GetHour(true), 3u);
    EXPECT_EQ(next->GetMinute(true), 0u);
    EXPECT_TRUE(*next == *after);

    // A day later by the clock of absolute time is 25 local hours later on
    // the wall clock the day before the switch.
    CUSharedPtr<CUDateTime> saturdayNoon = CUDateTime::Create(2021, 3, 27, 12, 0, 0);
    CUSharedPtr<CUDateTime> plusDay = saturdayNoon->AddDays(1);
    EXPECT_EQ(plusDay->GetDay(true), 28u);
    EXPECT_EQ(plusDay->GetHour(true), 13u);
}

TEST_F(CUDateTimeBerlinTest, FallBackRepeatsAnHour) {
    // 00:30 and 01:30 GMT are both 02:30 on the Berlin wall clock.
    CUDateTime first(kAutumn2021 + 1800.0);
    CUDateTime second(kAutumn2021 + 5400.0);
    EXPECT_EQ(first.GetHour(true), 2u);
    EXPECT_EQ(second.GetHour(true), 2u);
    EXPECT_EQ(first.GetMinute(true), 30u);
    EXPECT_EQ(second.GetMinute(true), 30u);
    EXPECT_TRUE(first < second);
    EXPECT_EQ(Str(first.Description()), "2021/10/31 02:30:00");
    EXPECT_EQ(Str(second.Description()), "2021/10/31 02:30:00");
    // Local calendar fields on both sides of the switch.
    CFGregorianDate g = CUDateTime(kAutumn2021 + 2 * 3600.0).GregorianDate(true);  // 02:00 GMT = 03:00 CET
    EXPECT_EQ(g.hour, 3);
    EXPECT_EQ(g.day, 31);
}

TEST_F(CUDateTimeBerlinTest, GetStringShowsLocalOrGmtWallClock) {
    // 02:30 GMT on the day summer time starts: 04:30 in Berlin. Read back as
    // a Berlin wall-clock time 02:30 does not exist; the GMT text must still
    // say 2:30.
    CUDateTime d(kSpring2021 + 2.5 * 3600.0);
    const std::string gmt = Str(d.GetTimeString(false));
    const std::string local = Str(d.GetTimeString(true));
    EXPECT_NE(gmt.find("2:30"), std::string::npos) << gmt;
    EXPECT_NE(local.find("4:30"), std::string::npos) << local;
    EXPECT_NE(Str(d.GetString(false)).find("2:30"), std::string::npos);
    EXPECT_NE(Str(d.GetDateString(true)).find("2021"), std::string::npos);
    EXPECT_EQ(Str(d.GetDateString(true)).find("4:30"), std::string::npos);
    for (long style = 1; style <= 4; ++style) {
        EXPECT_NE(Str(d.GetString(true, style, style)), "(NULL)") << style;
        EXPECT_FALSE(Str(d.GetString(true, style, style)).empty()) << style;
    }
    EXPECT_EQ(Str(d.GetString(true, 0, 0)), "");
    EXPECT_EQ(Str(d.GetString(true, 5, 2)), "(NULL)");
}

TEST(CUDateTimeTest, NullDate) {
    CUSharedPtr<CUDateTime> null = CUDateTime::CreateNull();
    ASSERT_TRUE(null);
    EXPECT_EQ(Str(null->GetString(true)), "(NULL)");
    EXPECT_EQ(Str(null->Description()), "(NULL)");
    EXPECT_EQ(null->GetYear(true), 0u);
    EXPECT_EQ(null->GregorianDate(false).month, 0);
    EXPECT_FALSE(null->AddDays(1));
    CUDateTime now, earlier(10.0);
    EXPECT_TRUE(earlier < now);
    EXPECT_FALSE(now < earlier);
    EXPECT_FALSE(*null == *null);
    EXPECT_FALSE(*null < now);
    EXPECT_FALSE(now < *null);
}

TEST(CUDateTimeTest, ConstructionFailuresThrowOne) {
    EXPECT_EQ(ThrownBy([] { CUDateTime bad(std::nan("")); }), 1u);
    EXPECT_FALSE(CUDateTime::Create(std::numeric_limits<double>::infinity()));
    // Calendar fields far outside any calendar: refused or lenient, never a crash.
    CUSharedPtr<CUDateTime> wild = CUDateTime::Create(INT32_MAX, INT32_MAX, INT32_MIN, 99, -99, INT32_MAX);
    EXPECT_TRUE(!wild || !wild->IsNull());
    _DateTimeInfo info{INT32_MIN, 0, 0, 0, 0, 0, INT32_MAX, 1};
    CUSharedPtr<CUDateTime> wilder = CUDateTime::Create(info);
    EXPECT_TRUE(!wilder || !wilder->IsNull());
    // Lenient fields roll over as a calendar does: 2021-13-01 is 2022-01-01.
    _DateTimeInfo rolled{2021, 13, 1, 0, 0, 0, 0, 0};
    EXPECT_EQ(CUDateTime(rolled).GetYear(false), 2022u);
}
