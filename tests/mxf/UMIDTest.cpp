// Material identifiers: only basic and extended lengths, compared by length
// and bytes.
#include "UMID.h"

#include "CUFailure.h"
#include "CUStringMac.h"

#include <gtest/gtest.h>

#include <vector>

using namespace ComVantoVantoQZ64RADPlug;

TEST(UMIDTest, LengthsComparisonAndText) {
    std::vector<unsigned char> bytes(65);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<unsigned char>(i);
    UMID basic;
    ASSERT_EQ(basic.SetData(bytes.data(), 32), 0u);
    for (uint32_t length : {0u, 16u, 31u, 33u, 63u, 65u}) {
        EXPECT_EQ(basic.SetData(bytes.data(), length), 0x130001u) << length;
        EXPECT_EQ(basic.Length(), 32u) << "unchanged by a refused length";
    }
    EXPECT_EQ(basic.SetData(nullptr, 32), 0x130001u);
    EXPECT_EQ(basic.ValueAtIndex(31), 31);
    EXPECT_THROW(basic.ValueAtIndex(32), CUError);
    EXPECT_THROW(UMID().ValueAtIndex(0), CUError);

    UMID extended;
    ASSERT_EQ(extended.SetData(bytes.data(), 64), 0u);
    EXPECT_EQ(extended.ValueAtIndex(63), 63);
    // Same first 32 bytes, other length: not the same identifier.
    EXPECT_FALSE(basic.isEqualToUMID(extended));
    UMID copy(extended), assigned;
    assigned = basic;
    EXPECT_TRUE(copy.isEqualToUMID(extended));
    EXPECT_TRUE(assigned.isEqualToUMID(basic));
    EXPECT_FALSE(basic.isEqualToUMID(CUSharedPtr<UMID>()));
    EXPECT_TRUE(UMID().isEqualToUMID(UMID()));
    EXPECT_EQ(basic.Description()->Utf8().substr(0, 12), "00.01.02.03.");
    EXPECT_EQ(basic.Description()->Utf8().size(), 32u * 3 - 1);
    EXPECT_EQ(UMID().Description()->Utf8(), "");
}
