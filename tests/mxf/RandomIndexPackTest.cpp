// The random index pack's entries, and packs that do not fit what holds them.
#include "RandomIndexPack.h"

#include "CUStringMac.h"
#include "MxfTestSupport.h"
#include "MxfTypes.h"
#include "ParseMetaData.h"

#include <gtest/gtest.h>

using namespace ComVantoVantoQZ64RADPlug;
using mxftest::Bytes;

TEST(RandomIndexPackTest, EntriesAndBounds) {
    Bytes value;
    value.u32(0).u64(0).u32(2).u64(0x3000).u32(0).u64(0x4000).u32(20 + 3 * 12 + 4);
    Bytes file;
    file.klv(mxftest::kRandomIndexKey, value);
    ParseMetaData reader(mxftest::Stream(file));
    RandomIndexPack rip;
    ASSERT_TRUE(reader.ParsePacket(&rip));
    ASSERT_EQ(rip.Count(), 3u);  // the trailing overall length is no entry
    uint32_t sid = 0;
    uint64_t offset = 0;
    ASSERT_TRUE(rip.GetBodySIDAtIndex(1, sid) && rip.GetOffsetAtIndex(1, offset));
    EXPECT_EQ(sid, 2u);
    EXPECT_EQ(offset, 0x3000u);
    EXPECT_FALSE(rip.GetBodySIDAtIndex(3, sid) || rip.GetOffsetAtIndex(3, offset));
    EXPECT_EQ(rip.Description()->Utf8(),
              "RandomIndexPack {\n\tBodySID = 0, offset = 0000000000000000\n\tBodySID = 2, offset = "
              "0000000000003000\n\tBodySID = 0, offset = 0000000000004000\n}");

    // Lengths past the stream, offsets past it, no stream: no entries left.
    struct Case {
        uint64_t length, valueOffset;
        uint32_t result;
        uint32_t count;
    } const cases[] = {{40, 21, 0, 3},
                       {0, 21, 0, 0},
                       {11, 21, 0, 0},
                       {41, 21, kMxfErrFormat, 0},
                       {1000, 21, kMxfErrFormat, 0},
                       {0, file.size() + 1, kMxfErrFormat, 0},
                       {~0ull, 21, kMxfErrFormat, 0},
                       {12, ~0ull, kMxfErrFormat, 0}};
    for (const Case& c : cases) {
        rip.SetPacket(rip.Key(), 0, c.length, c.valueOffset);
        EXPECT_EQ(rip.Import(mxftest::Stream(file)), c.result) << c.length << " at " << c.valueOffset;
        EXPECT_EQ(rip.Count(), c.count) << c.length << " at " << c.valueOffset;
    }
    EXPECT_EQ(rip.Import(CUSharedPtr<CUStream>()), kMxfErrFormat);
    EXPECT_TRUE(rip.isImportable());
    EXPECT_FALSE(RandomIndexPack(KLVPacket()).isImportable());
}
