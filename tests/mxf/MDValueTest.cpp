#include "MDValue.h"

#include "CUFailure.h"
#include "CUStringMac.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

using namespace ComVantoVantoQZ64RADPlug;

namespace {

std::string Text(const MDValue& v) {
    CUSharedPtr<CUStringMac> s = v.Description();
    return s ? std::string(static_cast<const char*>(*s)) : std::string();
}

}  // namespace

TEST(MDValueTest, CastsOnlyToTheirOwnType) {
    const unsigned char one[] = {0xFE};
    const MDValue u8(one, 1, kMDValueUInt8);
    EXPECT_EQ(static_cast<unsigned char>(u8), 0xFE);
    EXPECT_THROW((void)static_cast<unsigned int>(u8), CUError);  // no widening
    EXPECT_THROW((void)static_cast<signed char>(u8), CUError);
    EXPECT_EQ(Text(u8), "254");
    const MDValue s8(one, 1, kMDValueSInt8);
    EXPECT_EQ(static_cast<signed char>(s8), -2);
    EXPECT_EQ(Text(s8), "-2");

    const unsigned char eight[] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xF6};
    const MDValue s64(eight, 8, kMDValueSInt64);
    EXPECT_EQ(static_cast<long long>(s64), -10);
    EXPECT_EQ(Text(s64), "-10");
    const MDValue u64(eight, 8, kMDValueUInt64);
    EXPECT_EQ(static_cast<unsigned long long>(u64), 0xFFFFFFFFFFFFFFF6ull);
    EXPECT_EQ(Text(u64), "18446744073709551606");
    const MDValue s16(eight, 2, kMDValueSInt16);
    EXPECT_EQ(static_cast<short>(s16), -1);
    const MDValue u16(eight, 2, kMDValueUInt16);
    EXPECT_EQ(static_cast<unsigned short>(u16), 0xFFFF);
    const MDValue s32(eight, 4, kMDValueSInt32);
    EXPECT_EQ(static_cast<int>(s32), -1);
    EXPECT_EQ(Text(s32), "-1");

    const unsigned char rate[] = {0x00, 0x00, 0xBB, 0x80, 0x00, 0x00, 0x00, 0x01};
    const MDValue rational(rate, 8, kMDValueRational);
    const _Rational r = static_cast<_Rational>(rational);
    EXPECT_EQ(r.numerator, 48000);
    EXPECT_EQ(r.denominator, 1);
    EXPECT_EQ(Text(rational), "48000/1");
    EXPECT_THROW((void)static_cast<unsigned int>(rational), CUError);
    EXPECT_EQ(rational.ValueType(), kMDValueRational);

    const unsigned char date[] = {0x07, 0xEA, 12, 6, 9, 30, 5, 100};
    const MDValue ts(date, 8, kMDValueTimestamp);
    EXPECT_EQ(static_cast<_Timestamp>(ts).year, 2026);
    EXPECT_EQ(Text(ts), "2026/12/6 9:30:5 100");
}

TEST(MDValueTest, ShortValuesAndAbsentBytes) {
    const unsigned char two[] = {0x01, 0x02};
    const MDValue shortValue(two, 2, kMDValueUInt32);
    EXPECT_THROW((void)static_cast<unsigned int>(shortValue), CUError);
    EXPECT_THROW(MDValue(nullptr, 4, kMDValueUInt32), CUError);
    EXPECT_FALSE(MDValue::Create(nullptr, 4, kMDValueUInt32));
    CUSharedPtr<MDValue> created = MDValue::Create(two, 2, kMDValueUInt16);
    ASSERT_TRUE(created);
    EXPECT_EQ(static_cast<unsigned short>(*created), 0x0102);
    try {
        (void)static_cast<int>(*created);
        FAIL();
    } catch (const CUError& error) {
        EXPECT_STREQ(error.what(), "MDValue Cast Error");
    }
}
