#include "BodyPartitionArray.h"

#include "IndexTableSegment.h"
#include "MxfTestSupport.h"
#include "PartitionPack.h"

#include <gtest/gtest.h>

using namespace ComVantoVantoQZ64RADPlug;

namespace {

// A segment of `count` edit units from `start`, no slices, no delta entries;
// entry e has stream offset streamBase + 1000 * (e - start) and flags e.
CUSharedPtr<IndexTableSegment> Segment(int64_t start, int64_t count, uint64_t streamBase) {
    mxftest::SegmentSpec s;
    s.start = start;
    s.duration = count;
    s.nsl = 0;
    s.delta = false;
    s.entries.clear();
    for (int64_t e = 0; e < count; ++e)
        s.entries.push_back({0, 0, uint8_t(e + start), streamBase + 1000 * uint64_t(e), 0});
    return mxftest::ImportSegment(s);
}

CUSharedPtr<PartitionPack> Body(uint64_t at, uint64_t bodyOffset, size_t tail) {
    return mxftest::PackAt(
        mxftest::FileWithPack(at, mxftest::PartitionValue(512, at, 0, 0, 0, 0, 0, bodyOffset, 2), tail), at);
}

}  // namespace

TEST(BodyPartitionArrayTest, OnlyCompleteRecordsLocateEditUnits) {
    BodyPartitionArray table;
    table.AddBack(0x1000);
    table.AddBack(0x9000);
    CUSharedPtr<IndexTableSegment> first = Segment(0, 4, 0);
    CUSharedPtr<IndexTableSegment> second = Segment(4, 3, 4000);
    ASSERT_TRUE(first);
    ASSERT_TRUE(second);

    // A segment alone is not enough: the pack must be read too.
    table.SetIndexTableSegment(0, first);
    uint64_t at = 0;
    uint8_t flags = 0;
    EXPECT_FALSE(table.GetStreamOffset(1, 0, at));
    EXPECT_FALSE(table.GetFlags(1, flags));
    uint32_t index = 9;
    ASSERT_TRUE(table.GetContainIndex(3, index));
    EXPECT_EQ(index, 0u);
    int64_t start = 0, count = 0;
    table.EditUnitRangeAtIndex(0, start, count);
    EXPECT_EQ(start, 0);
    EXPECT_EQ(count, 4);

    ASSERT_EQ(table.SetBodyPartitionData(0, Body(0x1000, 0, 0x100000)), 0u);
    ASSERT_TRUE(table.InfoFlagAtIndex(0, flags));
    EXPECT_EQ(flags, kBodyPartitionComplete);
    ASSERT_TRUE(table.GetStreamOffset(2, 0, at));
    EXPECT_EQ(at, 0x1000u + 512u + 2000u);  // essence starts one KAG after the pack
    ASSERT_TRUE(table.GetFlags(3, flags));
    EXPECT_EQ(flags, 3);
    int8_t t = 5, k = 5;
    EXPECT_TRUE(table.GetTemporalOffset(3, t));
    EXPECT_TRUE(table.GetKeyFrameOffset(3, k));
    EXPECT_EQ(t, 0);
    EXPECT_EQ(k, 0);
    EXPECT_FALSE(table.GetStreamOffset(4, 0, at));  // record 1 not complete
    EXPECT_FALSE(table.GetStreamOffset(0, 1, at));  // no delta entries: element 0 only

    // Second record: its stream offsets count from its BodyOffset.
    table.SetIndexTableSegment(1, second);
    ASSERT_EQ(table.SetBodyPartitionData(1, Body(0x9000, 4000, 0x100000)), 0u);
    ASSERT_TRUE(table.GetStreamOffset(5, 0, at));
    EXPECT_EQ(at, 0x9000u + 512u + 1000u);
    EXPECT_FALSE(table.GetStreamOffset(7, 0, at));
    EXPECT_FALSE(table.GetStreamOffset(-1, 0, at));
}

TEST(BodyPartitionArrayTest, ImplausiblePacksAndOffsetsAreRefused) {
    BodyPartitionArray table;
    table.AddBack(0x1000);
    // Essence would start past the end of the file the pack came from.
    CUSharedPtr<PartitionPack> cut = Body(0x1000, 0, 10);
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->ContentOffset(), PartitionPack::kNoOffset);
    EXPECT_EQ(table.SetBodyPartitionData(0, cut), 1u);
    uint8_t flags = 0;
    ASSERT_TRUE(table.InfoFlagAtIndex(0, flags));
    EXPECT_EQ(flags, kBodyPartitionFileOffsetKnown);

    // A segment whose stream offsets lie before the partition's BodyOffset
    // names bytes of an earlier partition: no answer.
    ASSERT_EQ(table.SetBodyPartitionData(0, Body(0x1000, 5000, 0x100000)), 0u);
    table.SetIndexTableSegment(0, Segment(0, 4, 0));
    uint64_t at = 0;
    EXPECT_FALSE(table.GetStreamOffset(0, 0, at));
    EXPECT_FALSE(table.GetStreamOffset(3, 0, at));

    table.SetIndexTableSegment(0, CUSharedPtr<IndexTableSegment>());
    table.SetIndexTableSegment(5, Segment(0, 1, 0));
    EXPECT_EQ(table.Count(), 1u);
    table.Clear();
    EXPECT_EQ(table.Count(), 0u);
    EXPECT_FALSE(table.InfoFlagAtIndex(0, flags));
}
