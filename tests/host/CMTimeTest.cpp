// Media time against exact computations independent of the library's:
// 128-bit arithmetic of its own, and Python's fractions.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <numeric>
#include <random>
#include <sstream>

#include "CMTimeRange.h"
#include "ExternalTool.h"
#include "ScratchFolder.h"
#include "TestFiles.h"

using namespace ComVantoVantoQZ64RADPlug;

namespace {

using Int128 = __int128;
constexpr Int128 kMin = std::numeric_limits<int64_t>::min();
constexpr Int128 kMax = std::numeric_limits<int64_t>::max();

// Values and timescales that reach every corner: small counts, media
// rates, and values near the 64-bit limits.
struct Generator {
    std::mt19937_64 random{20261207};
    int64_t Value() {
        switch (random() % 4) {
            case 0:
                return static_cast<int64_t>(random() % 2000001) - 1000000;
            case 1:
                return static_cast<int64_t>(random() >> (random() % 63));
            case 2:
                return -static_cast<int64_t>(random() >> (1 + random() % 62));
            default:
                return static_cast<int64_t>(random());
        }
    }
    int32_t Timescale() {
        static const int32_t kCommon[] = {1,    2,     24,    25,    30,    50,    60,         1000,
                                          1001, 24000, 30000, 48000, 60000, 90000, 0x7fffffff, 0x7ffffffe};
        if (random() % 2) return kCommon[random() % std::size(kCommon)];
        return static_cast<int32_t>(1 + random() % 0x7fffffff);
    }
    CMTime Time() { return CMTimeMake(Value(), Timescale()); }
};

// Checks `result` against the exact value n/d in timescale `scale`: valid
// exactly when it fits.
void ExpectExact(const CMTime& result, Int128 value, Int128 scale, const char* what) {
    const bool fits = value >= kMin && value <= kMax && scale <= 0x7fffffff;
    ASSERT_EQ(CMTIME_IS_VALID(result), fits) << what;
    if (!fits) return;
    EXPECT_EQ(result.value, static_cast<int64_t>(value)) << what;
    EXPECT_EQ(result.timescale, static_cast<int32_t>(scale)) << what;
}

}  // namespace

// Conversions by every rounding method against Python's exact fractions, a
// peer that shares no arithmetic with the library: valid exactly when the
// result fits, and flagged as rounded exactly when it is not exact.
TEST(CMTimeTest, ConvertScaleAgreesWithPythonFractions) {
    QZ_REQUIRE_TOOL("python3");
    qztest::ScratchFolder scratch("cmtime");
    const std::string input = scratch.Path() + "/times.txt";
    Generator gen;
    std::vector<std::pair<CMTime, int32_t>> cases;
    std::ostringstream times;
    for (int i = 0; i < 4000; ++i) {
        const auto& [time, scale] = cases.emplace_back(gen.Time(), gen.Timescale());
        times << time.value << " " << time.timescale << " " << scale << "\n";
    }
    ASSERT_TRUE(qztest::WriteText(input, times.str()));
    const char* script =
        "import sys, math\n"
        "from fractions import Fraction as F\n"
        "def r(f, m):\n"
        "    s = -1 if f < 0 else 1\n"
        "    return {1: s * math.floor(abs(f) + F(1, 2)), 2: math.trunc(f), 3: s * math.ceil(abs(f)),\n"
        "            5: math.ceil(f), 6: math.floor(f)}[m]\n"
        "for line in open(sys.argv[1]):\n"
        "    v, a, b = map(int, line.split())\n"
        "    out = [r(F(v * b, a), m) for m in (1, 2, 3, 5, 6)]\n"
        "    print(' '.join(str(x) if -2**63 <= x < 2**63 else 'X' for x in out))\n";
    const auto result =
        qztest::RunCommand("python3 -c " + qztest::ShellQuote(script) + " " + qztest::ShellQuote(input));
    ASSERT_EQ(result.exitCode, 0);
    std::istringstream lines(result.output);
    for (const auto& [time, scale] : cases) {
        for (CMTimeRoundingMethod method : {1u, 2u, 3u, 5u, 6u}) {
            std::string expected;
            ASSERT_TRUE(lines >> expected);
            const CMTime r = CMTimeConvertScale(time, scale, method);
            EXPECT_EQ(CMTIME_IS_VALID(r) ? std::to_string(r.value) : "X", expected)
                << time.value << "/" << time.timescale << " to " << scale << " method " << method;
            if (CMTIME_IS_VALID(r)) {
                EXPECT_EQ(r.timescale, scale);
                EXPECT_EQ(CMTIME_HAS_BEEN_ROUNDED(r),
                          Int128(r.value) * time.timescale != Int128(time.value) * scale);
            }
        }
    }
}

TEST(CMTimeTest, SumsDifferencesAndProductsAreExactOrInvalid) {
    Generator gen;
    for (int i = 0; i < 4000; ++i) {
        const CMTime a = gen.Time(), b = gen.Time();
        const Int128 lcm = Int128(a.timescale) / std::gcd(a.timescale, b.timescale) * b.timescale;
        const Int128 av = lcm <= 0x7fffffff ? Int128(a.value) * (lcm / a.timescale) : 0;
        const Int128 bv = lcm <= 0x7fffffff ? Int128(b.value) * (lcm / b.timescale) : 0;
        ExpectExact(CMTimeAdd(a, b), av + bv, lcm, "add");
        ExpectExact(CMTimeSubtract(a, b), av - bv, lcm, "subtract");
        const int32_t m = static_cast<int32_t>(gen.random());
        ExpectExact(CMTimeMultiply(a, m), Int128(a.value) * m, a.timescale, "multiply");
    }
}

TEST(CMTimeTest, CompareOrdersByExactValue) {
    Generator gen;
    for (int i = 0; i < 4000; ++i) {
        const CMTime a = gen.Time();
        // Every other pair is the same time in another timescale.
        const CMTime b = i % 2 ? gen.Time() : CMTimeConvertScale(a, gen.Timescale(), 2);
        if (!CMTIME_IS_VALID(b)) continue;
        const Int128 left = Int128(a.value) * b.timescale, right = Int128(b.value) * a.timescale;
        const int expected = left < right ? -1 : (left > right ? 1 : 0);
        EXPECT_EQ(CMTimeCompare(a, b), expected);
        EXPECT_EQ(CMTimeCompare(b, a), -expected);
    }
}

// Method 6 is the floor: a time inside a frame lands on that frame, also
// below zero. (The ceiling would move every look-up one frame late.)
TEST(CMTimeTest, RoundingMethodsAtFrameBoundaries) {
    struct Case {
        CMTimeValue value;
        CMTimeScale scale;
        CMTimeScale to;
        CMTimeRoundingMethod method;
        CMTimeValue expected;
    } cases[] = {
        {1, 50, 25, 6, 0},
        {-1, 50, 25, 6, -1},
        {1, 50, 25, 5, 1},
        {-1, 50, 25, 5, 0},
        {1, 50, 25, 1, 1},
        {-1, 50, 25, 1, -1},
        {1, 50, 25, 2, 0},
        {-1, 50, 25, 2, 0},
        {5, 50, 25, 6, 2},
        {999, 100, 25, 6, 249},
        {49, 50, 25, 6, 24},
        {3, 3, 25, 6, 25},
        {1001, 30000, 48000, 1, 1602},
        {2002, 30000, 48000, 1, 3203},
        {1001, 30000, 48000, 2, 1601},
    };
    for (const Case& c : cases) {
        const CMTime r = CMTimeConvertScale(CMTimeMake(c.value, c.scale), c.to, c.method);
        EXPECT_TRUE(CMTIME_IS_VALID(r));
        EXPECT_EQ(r.value, c.expected) << c.value << "/" << c.scale << " method " << c.method;
    }
    EXPECT_FALSE(CMTIME_IS_VALID(CMTimeConvertScale(CMTimeMake(1, 50), 25, 4)));
    EXPECT_FALSE(CMTIME_IS_VALID(CMTimeConvertScale(CMTimeMake(1, 50), 0, 1)));
}

// Results that are not a number, or that do not fit, carry no value.
TEST(CMTimeTest, NonNumericAndUnfitResults) {
    const CMTime one = CMTimeMake(1, 1), pinf = kCMTimePositiveInfinity, ninf = kCMTimeNegativeInfinity;
    const CMTime max = CMTimeMake(INT64_MAX, 1), min = CMTimeMake(INT64_MIN, 1);
    const CMTime indef = kCMTimeIndefinite, bad = kCMTimeInvalid;
    auto same = [](CMTime a, CMTime b) {
        return CMTIME_IS_VALID(a) == CMTIME_IS_VALID(b) && (a.flags & kCMTimeFlags_ImpliedValueFlagsMask) ==
                                                               (b.flags & kCMTimeFlags_ImpliedValueFlagsMask);
    };
    struct Case {
        CMTime got, expected;
    } cases[] = {
        {CMTimeAdd(pinf, one), pinf},
        {CMTimeAdd(one, ninf), ninf},
        {CMTimeAdd(pinf, ninf), bad},
        {CMTimeSubtract(pinf, pinf), bad},
        {CMTimeSubtract(one, pinf), ninf},
        {CMTimeSubtract(ninf, pinf), ninf},
        {CMTimeAdd(indef, one), indef},
        {CMTimeAdd(indef, pinf), indef},
        {CMTimeAdd(bad, one), bad},
        {CMTimeMultiply(pinf, -2), ninf},
        {CMTimeMultiply(ninf, -2), pinf},
        {CMTimeMultiply(pinf, 0), bad},
        {CMTimeMultiply(indef, 3), indef},
        {CMTimeConvertScale(pinf, 25, 6), pinf},
        {CMTimeConvertScale(bad, 25, 6), bad},
        {CMTimeMake(1, 0), bad},
        {CMTimeMake(1, -25), bad},
        {CMTimeAdd(max, one), bad},
        {CMTimeSubtract(min, one), bad},
        {CMTimeMultiply(min, -1), bad},
        {CMTimeConvertScale(max, 2, 1), bad},
        // The common timescale is above 2^31.
        {CMTimeAdd(CMTimeMake(1, 0x7fffffff), CMTimeMake(1, 0x7ffffffe)), bad},
        {CMTimeAdd(CMTimeMakeWithEpoch(1, 1, 0), CMTimeMakeWithEpoch(1, 1, 1)), bad},
    };
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_TRUE(same(cases[i].got, cases[i].expected)) << "case " << i;
    // The order: −∞ < numeric < indefinite < +∞ < invalid.
    const CMTime order[] = {ninf, CMTimeMake(-5, 1), one, indef, pinf, bad};
    for (size_t i = 0; i < std::size(order); ++i)
        for (size_t j = 0; j < std::size(order); ++j)
            EXPECT_EQ(CMTimeCompare(order[i], order[j]), i < j ? -1 : (i > j ? 1 : 0)) << i << " vs " << j;
    EXPECT_EQ(CMTimeAdd(max, CMTimeMake(-1, 1)).value, INT64_MAX - 1);
}

TEST(CMTimeTest, RangesHoldTheStartButNotTheEnd) {
    const CMTimeRange range = CMTimeRangeMake(CMTimeMake(0, 25), CMTimeMake(250, 25));
    EXPECT_EQ(CMTimeCompare(CMTimeRangeGetEnd(range), CMTimeMake(10, 1)), 0);
    EXPECT_TRUE(CMTimeRangeContainsTime(range, CMTimeMake(0, 1)));
    EXPECT_TRUE(CMTimeRangeContainsTime(range, CMTimeMake(999, 100)));
    EXPECT_FALSE(CMTimeRangeContainsTime(range, CMTimeMake(10, 1)));
    EXPECT_FALSE(CMTimeRangeContainsTime(range, CMTimeMake(-1, 48000)));
    EXPECT_FALSE(CMTimeRangeContainsTime(range, kCMTimeInvalid));
    EXPECT_FALSE(CMTIMERANGE_IS_VALID(CMTimeRangeMake(CMTimeMake(0, 1), CMTimeMake(-1, 1))));
    EXPECT_FALSE(CMTIMERANGE_IS_VALID(CMTimeRangeMake(kCMTimeInvalid, CMTimeMake(1, 1))));
}
