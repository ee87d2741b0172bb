#include "CUUUID.h"

#include "CUFailure.h"
#include "CUStringMac.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "FoundationTestSupport.h"

#include <set>
#include <string>

using namespace ComVantoVantoQZ64RADPlug;
using namespace foundation_test;

TEST(CUUUIDTest, RandomIdentifiersAreVersion4AndDistinct) {
    std::set<CFUUIDBytes> seen;
    for (int i = 0; i < 200; ++i) {
        CUSharedPtr<CUUUID> id = CUUUID::Create();
        ASSERT_TRUE(id);
        const CFUUIDBytes bytes = id->GetUUIDBytes();
        EXPECT_EQ(bytes[6] >> 4, 4);
        EXPECT_EQ(bytes[8] & 0xC0, 0x80);
        seen.insert(bytes);
    }
    EXPECT_EQ(seen.size(), 200u);
}

TEST(CUUUIDTest, SameBytesEqualUnderAllThreeComparisons) {
    unsigned char raw[16];
    for (int i = 0; i < 16; ++i) raw[i] = static_cast<unsigned char>(i + 1);
    CUSharedPtr<CUUUID> a = CUUUID::Create(raw);
    CUSharedPtr<CUUUID> b = CUUUID::Create(raw);
    ASSERT_TRUE(a && b);
    EXPECT_TRUE(*a == *b);
    EXPECT_TRUE(*a == b->GetUUIDRef());
    EXPECT_TRUE(*a == b->GetUUIDBytes());
    EXPECT_NE(a->GetUUIDRef(), b->GetUUIDRef());  // separate objects

    CUSharedPtr<CUUUID> other = CUUUID::Create();
    EXPECT_FALSE(*a == *other);
    EXPECT_FALSE(*a == other->GetUUIDRef());
    EXPECT_FALSE(*a == static_cast<CFUUIDRef>(nullptr));
}

TEST(CUUUIDTest, DescriptionCarriesTheTextForm) {
    CUSharedPtr<CUUUID> null = CUUUID::CreateNull();
    ASSERT_TRUE(null);
    EXPECT_THAT(null->Description()->Utf8(), ::testing::EndsWith(") 00000000-0000-0000-0000-000000000000"));
}

TEST(CUUUIDTest, MissingInputThrowsTwo) {
    EXPECT_FALSE(CUUUID::Create(static_cast<const unsigned char*>(nullptr)));
    EXPECT_FALSE(CUUUID::Create(static_cast<CFUUIDRef>(nullptr)));
    EXPECT_EQ(ThrownBy([] { CUUUID bad(static_cast<const unsigned char*>(nullptr)); }), 2u);
}
