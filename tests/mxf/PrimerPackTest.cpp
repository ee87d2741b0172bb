#include "PrimerPack.h"

#include "MxfLabels.h"
#include "MxfTestSupport.h"
#include "ParseMetaData.h"

#include <gtest/gtest.h>

using namespace ComVantoVantoQZ64RADPlug;
using mxftest::Bytes;
using mxftest::Stream;

namespace {

Bytes Label(uint8_t last) {
    return Bytes{0x06, 0x0E, 0x2B, 0x34, 0x01, 0x01, 0x01, 0x05,
                 0x04, 0x01, 0x06, 0x02, 0x01, last, 0x00, 0x00};
}

// A primer value announcing `count` items of 18 bytes and holding two.
Bytes TwoItems(uint32_t count) {
    return Bytes().u32(count).u32(18).u16(0x8001).raw(Label(0x0B)).u16(0x8002).raw(Label(0x02));
}

}  // namespace

TEST(PrimerPackTest, MapsLabelsToTagsFirstTagWins) {
    Bytes value;
    value.u32(4).u32(18);
    value.u16(0x8001).raw(Label(0x0B));
    value.u16(0x8002).raw(Label(0x02));
    value.u16(0x8003).raw(Label(0x0B));  // duplicate label: ignored
    value.u16(0x8001).raw(Label(0x05));  // same tag, later label
    PrimerPack primer;
    ASSERT_EQ(mxftest::ImportValue(primer, mxftest::kPrimerKey, value), 0u);
    EXPECT_TRUE(primer.isImportable());
    EXPECT_EQ(primer.Count(), 3u);
    uint16_t tag = 99;
    ASSERT_TRUE(primer.UIDToTag(tag, FBC_UL_MER_BitRate));
    EXPECT_EQ(tag, 0x8001);
    ASSERT_TRUE(primer.UIDToTag(tag, FBC_UL_MER_SingleSequence));
    EXPECT_EQ(tag, 0x8002);
    EXPECT_FALSE(primer.UIDToTag(tag, FBC_UL_MER_MaxGOP));
    EXPECT_EQ(tag, 0);
    // The first label in label order with tag 0x8001 is ...01.05...
    CUSharedPtr<MxfUUID> label = primer.UIDAtTag(0x8001);
    ASSERT_TRUE(label);
    EXPECT_EQ(*label, FBC_UL_MER_LowDelay);
    EXPECT_FALSE(primer.UIDAtTag(0x9999));
}

TEST(PrimerPackTest, OddItemLengthOrZeroCountLeavesItEmpty) {
    Bytes value;
    value.u32(1).u32(17).u16(0x8001).raw(Label(0x0B)).fill(0);
    value.pop_back();
    PrimerPack primer;
    EXPECT_EQ(mxftest::ImportValue(primer, mxftest::kPrimerKey, value), 0u);
    EXPECT_EQ(primer.Count(), 0u);
    uint16_t tag = 1;
    EXPECT_FALSE(primer.UIDToTag(tag, FBC_UL_MER_BitRate));
    Bytes zero;
    zero.u32(0).u32(18);
    EXPECT_EQ(mxftest::ImportValue(primer, mxftest::kPrimerKey, zero), 0u);
    EXPECT_EQ(primer.Count(), 0u);
}

TEST(PrimerPackTest, CountBeyondThePackFailsBeforeReading) {
    // 0xFFFFFFFF items announced, two present, then other bytes: the count
    // is refused at once instead of reading on through what follows.
    Bytes file;
    file.klv(mxftest::kPrimerKey, TwoItems(0xFFFFFFFF));
    file.fill(18 * 1000, 0x06);  // would parse as more items
    ParseMetaData reader(Stream(file));
    PrimerPack primer;
    ASSERT_TRUE(reader.ParseKeyAndLength(&primer));
    EXPECT_EQ(primer.Import(reader.Stream(), primer.ValueOffset()), 0x131001u);
    EXPECT_EQ(primer.Count(), 0u);

    // Three announced, two present: the pack is short.
    EXPECT_EQ(mxftest::ImportValue(primer, mxftest::kPrimerKey, TwoItems(3)), 0x131001u);
    EXPECT_EQ(primer.Count(), 0u);

    // Without a stream.
    EXPECT_EQ(primer.Import(CUSharedPtr<CUStream>(), 0), 0x130001u);
}
