// Byte-level checks of the media index image: fixed size, both tables at
// their offsets, media metadata block and extension word.
#include "MifWriter.h"

#include "CardTestSupport.h"
#include "CardWriter.h"
#include "CifWriter.h"

#include <gtest/gtest.h>

using namespace ComVantoVantoQZ64RADPlug::CardWriter;
using namespace cardwriter_test;

namespace {

constexpr size_t kCifTable = 0x3000, kMediaMetadata = 0x273600, kExtension = 0x2745FC;

CardDescription ThreeClipCard() {
    CardDescription card;
    for (uint32_t i = 0; i < 3; ++i) {
        ClipDescription clip;
        clip.id = ClipId{i == 1 ? "AB" : "QZ", 10 * i + 12};
        clip.durationFrames = 30 + i;
        clip.frameRate = i == 2 ? FrameRate::k29_97p : FrameRate::k59_94i;
        card.clips.push_back(clip);
    }
    return card;
}

}  // namespace

TEST(MifWriterTest, ImageSpansEveryTableSlotWithBothTablesAtTheirOffsets) {
    const CardDescription card = ThreeClipCard();
    const auto image = BuildMediaIndex(card);
    ASSERT_EQ(image.size(), 2573824u);

    EXPECT_EQ(Text(image, 0, 2), "MI");
    EXPECT_EQ(U16(image, 2), 0x0101u);
    EXPECT_EQ(U8(image, 4), 0x01u);  // 59.94 Hz family only
    EXPECT_TRUE(AllZero(image, 5, 3));
    EXPECT_EQ(U32(image, 8), 3u);

    // Clip identifier records: user ID, two zero bytes, number, four zero bytes.
    EXPECT_EQ(Slice(image, 12, 12), (std::vector<uint8_t>{'Q', 'Z', 0, 0, 0, 0, 0, 12, 0, 0, 0, 0}));
    EXPECT_EQ(Slice(image, 24, 12), (std::vector<uint8_t>{'A', 'B', 0, 0, 0, 0, 0, 22, 0, 0, 0, 0}));
    EXPECT_EQ(Slice(image, 36, 12), (std::vector<uint8_t>{'Q', 'Z', 0, 0, 0, 0, 0, 32, 0, 0, 0, 0}));
    EXPECT_TRUE(AllZero(image, 48, kCifTable - 48));  // unused slots and the 288 bytes at 12000

    // Each slot of the information table is the clip's own block.
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(Slice(image, kCifTable + 2560 * i, 2560), BuildClipInformation(card, i)) << "slot " << i;
        EXPECT_EQ(U32(image, kCifTable + 2560 * i + 12), 30 + i);
    }
    EXPECT_TRUE(AllZero(image, kCifTable + 3 * 2560, kMediaMetadata - kCifTable - 3 * 2560));

    EXPECT_EQ(Text(image, kMediaMetadata, 2), "MM");
    EXPECT_EQ(U16(image, kMediaMetadata + 2), 0x0100u);
    EXPECT_EQ(Slice(image, kMediaMetadata + 4, 16), VectorOf(card.mediaUuid));
    EXPECT_TRUE(AllZero(image, kMediaMetadata + 20, 4072));
    EXPECT_EQ(U32(image, kExtension), 0u);
}

TEST(MifWriterTest, EntriesFollowTheClipOrderNotTheDescriptionOrder) {
    CardDescription card = ThreeClipCard();
    card.clipOrder = {2, 0};  // clip 1 has a folder but no index entry
    const auto image = BuildMediaIndex(card);
    EXPECT_EQ(U32(image, 8), 2u);
    EXPECT_EQ(U32(image, 12 + 4), 32u);
    EXPECT_EQ(U32(image, 24 + 4), 12u);
    EXPECT_TRUE(AllZero(image, 36, 12));
    EXPECT_EQ(Slice(image, kCifTable, 2560), BuildClipInformation(card, 2));
    EXPECT_EQ(Slice(image, kCifTable + 2560, 2560), BuildClipInformation(card, 0));

    card.clipOrder = {3};
    EXPECT_THROW(BuildMediaIndex(card), CardWriterError);
}

TEST(MifWriterTest, SystemBitmapCollectsTheFrameRateFamilies) {
    CardDescription card;
    const auto empty = BuildMediaIndex(card);
    EXPECT_EQ(U8(empty, 4), 0x01u);  // a formatted card without clips keeps a frame-rate type
    EXPECT_EQ(U32(empty, 8), 0u);
    EXPECT_TRUE(AllZero(empty, 12, 0x273600 - 12));
    ClipDescription clip;
    clip.frameRate = FrameRate::k50i;
    card.clips.push_back(clip);
    EXPECT_EQ(U8(BuildMediaIndex(card), 4), 0x02u);
    clip.id.number = 2;
    clip.frameRate = FrameRate::k24p;
    card.clips.push_back(clip);
    EXPECT_EQ(U8(BuildMediaIndex(card), 4), 0x06u);  // mixed families: a card readers refuse
    card.index.systemBitmap = 0x04;
    EXPECT_EQ(U8(BuildMediaIndex(card), 4), 0x04u);
}

TEST(MifWriterTest, FullCardOf999ClipsFitsAndOneMoreIsRefused) {
    CardDescription card;
    ClipDescription clip;
    for (uint32_t i = 1; i <= 999; ++i) {
        clip.id.number = i;
        card.clips.push_back(clip);
    }
    const auto image = BuildMediaIndex(card);
    ASSERT_EQ(image.size(), 2573824u);
    EXPECT_EQ(U32(image, 8), 999u);
    EXPECT_EQ(U32(image, 12 + 998 * 12 + 4), 999u);
    EXPECT_EQ(Text(image, kCifTable + 998 * 2560, 2), "CI");  // last slot ends at the metadata block
    EXPECT_EQ(Text(image, kMediaMetadata, 2), "MM");

    clip.id.number = 1000;
    card.clips.push_back(clip);
    EXPECT_THROW(BuildMediaIndex(card), CardWriterError);
}

TEST(MifWriterTest, OverridesWriteUnsupportedIndexesOnPurpose) {
    CardDescription card = ThreeClipCard();
    // Magic, version, no bitmap override, reserved bytes, clip count, media
    // metadata magic and version, extension word; written.
    card.index = {0x4D4A, 0x0200, std::nullopt, {1, 2, 3}, 1000, 0, 0x0200, 0xDEADBEEF, true};
    const auto image = BuildMediaIndex(card);
    EXPECT_EQ(U16(image, 0), 0x4D4Au);
    EXPECT_EQ(U16(image, 2), 0x0200u);
    EXPECT_EQ(Slice(image, 5, 3), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(U32(image, 8), 1000u);
    EXPECT_EQ(U16(image, kMediaMetadata), 0u);
    EXPECT_EQ(U16(image, kMediaMetadata + 2), 0x0200u);
    EXPECT_EQ(U32(image, kExtension), 0xDEADBEEFu);
}
