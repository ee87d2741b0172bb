#include "PartitionPack.h"

#include "BodyPartitionArray.h"
#include "CUStringMac.h"
#include "MxfLabels.h"
#include "MxfTestSupport.h"
#include "ParseMetaData.h"
#include "RandomIndexPack.h"

#include <gtest/gtest.h>

#include <cstdint>

using namespace ComVantoVantoQZ64RADPlug;
using mxftest::Bytes;
using mxftest::Stream;

using mxftest::FileWithPack;

TEST(PartitionPackTest, ImportsEveryField) {
    const Bytes value = mxftest::PartitionValue(512, 0, 0, 0x10000, 0x2000, 0x400, 3, 0x500, 2, 2);
    const Bytes file = FileWithPack(0, value, 0x20000, mxftest::kHeaderPartitionKey);
    CUSharedPtr<PartitionPack> pack = mxftest::PackAt(file);
    ASSERT_TRUE(pack);
    EXPECT_EQ(
        pack->Description()->Utf8(),
        "PartitionPack type = 0A000001, version = 1.3, KAGSize = 512, ThisPartition = 0000000000000000, "
        "PreviousPartition = 0000000000000000, FooterPartition = 0000000000010000, HeaderByteCount = 8192, "
        "IndexByteCount = 1024, IndexSID = 3, BodyOffset = 1280, BodySID = 2, "
        "OperationalPattern = 06.0E.2B.34.04.01.01.01.0D.01.02.01.01.01.09.00, EssenceContainers = 2");
    EXPECT_EQ(*pack->OperationalPattern(), FBC_UL_OperationalPattern_1a);
    ASSERT_EQ(pack->EssenceCount(), 2u);
    EXPECT_EQ(pack->EssenceAtIndex(1)->ValueAtIndex(15), 1);
    EXPECT_FALSE(pack->EssenceAtIndex(2));
    // The pack (21 + 120 bytes) fits in one KAG: ThisPartition + KAGSize.
    EXPECT_EQ(pack->HeaderOffset(), 512u);
    EXPECT_EQ(pack->IndexOffset(), 512u + 0x2000u);
    EXPECT_EQ(pack->ContentOffset(), 512u + 0x2000u + 0x400u);
}

// Header metadata, index and essence positions from the pack's fields; none
// (kNoOffset) where a sum overflows or a region passes the end of the file.
TEST(PartitionPackTest, DerivedPositionsFollowTheKagAndStayInTheFile) {
    constexpr uint64_t kNone = PartitionPack::kNoOffset;
    const uint64_t oneLabel = 21 + mxftest::PartitionValue(0, 0, 0, 0, 0, 0, 0, 0, 2).size();
    const struct {
        const char* name;
        Bytes value;
        uint64_t at;
        size_t tail;
        uint64_t header, index, content;
    } cases[] = {
        {"no header metadata, no index", mxftest::PartitionValue(256, 0x1000, 0, 0, 0, 0, 0, 0x500, 2),
         0x1000, 4096, kNone, kNone, 0x1100},
        {"KAG 1: the index follows the pack directly",
         mxftest::PartitionValue(1, 0x40, 0, 0, 0, 0x20, 0, 0, 2), 0x40, 64, kNone, 0x40 + oneLabel,
         0x40 + oneLabel + 0x20},
        {"KAG 0 behaves like KAG 1", mxftest::PartitionValue(0, 0, 0, 0, 0x10, 0, 0, 0, 2), 0, 64, oneLabel,
         kNone, oneLabel + 0x10},
        {"a pack longer than one KAG takes two", mxftest::PartitionValue(128, 0, 0, 0, 0x100, 0, 0, 0, 2, 8),
         0, 0x400, 256, kNone, 256 + 0x100},
        {"header and index byte counts overflow",
         mxftest::PartitionValue(512, 0, 0, 0, 0xFFFFFFFFFFFFFF00ull, 0x1000, 0, 0, 2), 0, 1024, kNone, kNone,
         kNone},
        {"ThisPartition near the top of the range",
         mxftest::PartitionValue(512, 0xFFFFFFFFFFFFFFF0ull, 0, 0, 0x10, 0, 0, 0, 2), 0, 1024, kNone, kNone,
         kNone},
        {"header metadata past the end of a 2 KiB file",
         mxftest::PartitionValue(512, 0, 0, 0, 0x1000, 0, 0, 0, 2), 0, 2048 - oneLabel, kNone, kNone, kNone},
        {"regions ending exactly at the end of the file",
         mxftest::PartitionValue(512, 0, 0, 0, 0x200, 0x100, 0, 0, 2), 0, 512 + 0x300 - oneLabel, 512,
         512 + 0x200, 512 + 0x300},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CUSharedPtr<PartitionPack> pack = mxftest::PackAt(FileWithPack(c.at, c.value, c.tail), c.at);
        ASSERT_TRUE(pack);
        EXPECT_EQ(pack->HeaderOffset(), c.header);
        EXPECT_EQ(pack->IndexOffset(), c.index);
        EXPECT_EQ(pack->ContentOffset(), c.content);
    }
}

TEST(PartitionPackTest, MalformedPacksFail) {
    const Bytes oneLabel = mxftest::PartitionValue(512, 0, 0, 0, 0, 0, 0, 0, 2, 1);
    const auto labelCount = [&](uint8_t top, uint8_t low) {
        Bytes value = oneLabel;
        value[80] = value[81] = value[82] = top;
        value[83] = low;
        return value;
    };
    const struct {
        const char* name;
        Bytes value;
    } cases[] = {
        {"essence label count far beyond the pack", labelCount(0xFF, 0xFF)},
        {"two labels announced, one present", labelCount(0, 2)},
        {"truncated inside the fixed fields", Bytes(oneLabel.begin(), oneLabel.begin() + 40)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes file = FileWithPack(0, c.value, 4096);
        ParseMetaData reader(Stream(file));
        CUSharedPtr<PartitionPack> pack(new PartitionPack());
        EXPECT_FALSE(reader.ParsePacket(CUSharedPtr<KLVPacket>(pack)));
        EXPECT_EQ(reader.offset(), 0u);
        // Imported directly, the code says why.
        ASSERT_TRUE(reader.ParseKeyAndLength(CUSharedPtr<KLVPacket>(pack)));
        EXPECT_EQ(pack->Import(Stream(file)), 0x131001u);
        EXPECT_EQ(pack->EssenceCount(), 0u);
    }
    EXPECT_EQ(PartitionPack().Import(CUSharedPtr<CUStream>(), 0), 0x130001u);
}

TEST(PartitionPackTest, BodyPartitionTableFromTheRandomIndexPack) {
    Bytes rip;
    rip.u32(1).u64(0).u32(2).u64(0x1000).u32(0).u64(0x2000).u32(2).u64(0x3000).u32(0).u64(0x4000);
    rip.u32(20 + 5 * 12 + 4);
    Bytes file;
    file.klv(mxftest::kRandomIndexKey, rip);
    ParseMetaData reader(Stream(file));
    CUSharedPtr<RandomIndexPack> pack(new RandomIndexPack());
    ASSERT_TRUE(reader.ParsePacket(CUSharedPtr<KLVPacket>(pack)));
    ASSERT_EQ(pack->Count(), 5u);
    uint64_t offset = 0;

    CUSharedPtr<BodyPartitionArray> table(new BodyPartitionArray());
    EXPECT_EQ(table->SetFromRandomIndexPack(nullptr), 0x130001u);
    ASSERT_EQ(table->SetFromRandomIndexPack(pack), 0u);
    ASSERT_EQ(table->Count(), 2u);
    ASSERT_TRUE(table->FileOffsetAtIndex(1, offset));
    EXPECT_EQ(offset, 0x3000u);
    // Other writers' essence BodySID.
    ASSERT_EQ(table->SetFromRandomIndexPack(pack, 1), 0u);
    ASSERT_EQ(table->Count(), 1u);
    table->AddFront(0x10);
    ASSERT_TRUE(table->FileOffsetAtIndex(0, offset));
    EXPECT_EQ(offset, 0x10u);
    uint8_t flags = 0;
    ASSERT_TRUE(table->InfoFlagAtIndex(0, flags));
    EXPECT_EQ(flags, kBodyPartitionFileOffsetKnown);
    int64_t start = 0, count = 0;
    table->EditUnitRangeAtIndex(0, start, count);
    EXPECT_EQ(start, 0x7FFFFFFFFFFFFFFFll);
    EXPECT_EQ(count, 0);
    uint64_t fileOffset = 0;
    EXPECT_FALSE(table->GetStreamOffset(0, 0, fileOffset));

    // A pack at another offset than the record is refused.
    const Bytes value = mxftest::PartitionValue(256, 0x20, 0, 0, 0, 0, 0, 0x800, 2);
    CUSharedPtr<PartitionPack> body = mxftest::PackAt(FileWithPack(0x20, value, 1024), 0x20);
    ASSERT_TRUE(body);
    EXPECT_EQ(table->SetBodyPartitionData(0, body), 1u);
    EXPECT_EQ(table->SetBodyPartitionData(9, body), 1u);
    table->AddBack(0x20);
    ASSERT_EQ(table->SetBodyPartitionData(2, body), 0u);
    ASSERT_TRUE(table->InfoFlagAtIndex(2, flags));
    EXPECT_EQ(flags, 7);
    CUSharedPtr<CUStringMac> text = table->Description();
    EXPECT_NE(std::string(static_cast<const char*>(*text))
                  .find("fileOffset = 0000000000000020, streamOffset = "
                        "0000000000000800, essenceOffset = 0000000000000120"),
              std::string::npos);
}
