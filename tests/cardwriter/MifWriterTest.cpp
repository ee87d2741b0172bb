// The media index writer follows the clip order and refuses what an index
// cannot hold; the layout it writes is checked by the reader tests.
#include "MifWriter.h"

#include "CardTestSupport.h"
#include "CardWriter.h"
#include "CifWriter.h"

#include <gtest/gtest.h>

using namespace ComVantoVantoQZ64RADPlug::CardWriter;
using namespace cardwriter_test;

namespace {

constexpr size_t kCifTable = 0x3000, kMediaMetadata = 0x273600;

}  // namespace

TEST(MifWriterTest, EntriesFollowTheClipOrderNotTheDescriptionOrder) {
    CardDescription card;
    for (uint32_t i = 0; i < 3; ++i) {
        ClipDescription clip;
        clip.id = ClipId{i == 1 ? "AB" : "QZ", 10 * i + 12};
        clip.durationFrames = 30 + i;
        clip.frameRate = i == 2 ? FrameRate::k29_97p : FrameRate::k59_94i;
        card.clips.push_back(clip);
    }
    card.clipOrder = {2, 0};  // clip 1 has a folder but no index entry
    const auto image = BuildMediaIndex(card);
    EXPECT_EQ(BE(image, 8, 4), 2u);
    EXPECT_EQ(BE(image, 12 + 4, 4), 32u);
    EXPECT_EQ(BE(image, 24 + 4, 4), 12u);
    EXPECT_EQ(Slice(image, 36, 12), std::vector<uint8_t>(12, 0));
    EXPECT_EQ(Slice(image, kCifTable, 2560), BuildClipInformation(card, 2));
    EXPECT_EQ(Slice(image, kCifTable + 2560, 2560), BuildClipInformation(card, 0));

    card.clipOrder = {3};
    EXPECT_THROW(BuildMediaIndex(card), CardWriterError);
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
    EXPECT_EQ(BE(image, 8, 4), 999u);
    EXPECT_EQ(BE(image, 12 + 998 * 12 + 4, 4), 999u);
    // The last slot ends at the metadata block.
    EXPECT_EQ(Slice(image, kCifTable + 998 * 2560, 2), (std::vector<uint8_t>{'C', 'I'}));
    EXPECT_EQ(Slice(image, kMediaMetadata, 2), (std::vector<uint8_t>{'M', 'M'}));

    clip.id.number = 1000;
    card.clips.push_back(clip);
    EXPECT_THROW(BuildMediaIndex(card), CardWriterError);
}
