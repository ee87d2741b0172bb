#include "CUUUID.h"

#include "CUStringMac.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

using namespace ComVantoVantoQZ64RADPlug;

namespace {

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

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

    unsigned char out[16] = {};
    a->GetBytes(out);
    EXPECT_EQ(0, memcmp(out, raw, 16));
    CFUUIDBytes viaConversion = static_cast<CFUUIDBytes>(*a);
    EXPECT_TRUE(*b == viaConversion);

    CUSharedPtr<CUUUID> other = CUUUID::Create();
    EXPECT_FALSE(*a == *other);
    EXPECT_FALSE(*a == other->GetUUIDRef());
    EXPECT_FALSE(*a == static_cast<CFUUIDRef>(nullptr));
}

TEST(CUUUIDTest, DescriptionCarriesTheTextForm) {
    CUSharedPtr<CUUUID> null = CUUUID::CreateNull();
    ASSERT_TRUE(null);
    const std::string text = null->Description()->Utf8();
    EXPECT_TRUE(EndsWith(text, ") 00000000-0000-0000-0000-000000000000")) << text;

    CFUUIDBytes bytes{};
    for (int i = 0; i < 16; ++i) bytes[i] = static_cast<unsigned char>(0xF0 + i);
    EXPECT_TRUE(EndsWith(CUUUID(bytes).Description()->Utf8(), " F0F1F2F3-F4F5-F6F7-F8F9-FAFBFCFDFEFF"));
}

TEST(CUUUIDTest, SettersAndAssignment) {
    CUUUID a;
    CUUUID b;
    ASSERT_FALSE(a == b);
    CFUUIDRef held = a.GetUUIDRef();
    a.SetUUIDRef(held);  // already held: nothing changes
    EXPECT_EQ(a.GetUUIDRef(), held);
    a = b;
    EXPECT_TRUE(a == b);
    a.SetUUIDBytes(CFUUIDBytes{});
    EXPECT_TRUE(a == *CUUUID::CreateNull());
    CUUUID copy(b);
    EXPECT_TRUE(copy == b);
    CUUUID fromRef(b.GetUUIDRef());
    EXPECT_TRUE(fromRef == b);
}

TEST(CUUUIDTest, MissingInputThrowsTwo) {
    EXPECT_FALSE(CUUUID::Create(static_cast<const unsigned char*>(nullptr)));
    EXPECT_FALSE(CUUUID::Create(static_cast<CFUUIDRef>(nullptr)));
    try {
        CUUUID bad(static_cast<const unsigned char*>(nullptr));
        FAIL() << "no throw";
    } catch (uint32_t code) {
        EXPECT_EQ(code, 2u);
    }
}
