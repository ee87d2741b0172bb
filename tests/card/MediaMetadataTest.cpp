#include "MediaMetadata.h"

#include "FBCResultCodes.h"

#include "CardTestSupport.h"

namespace {

using namespace card_test;
using qz::CUSharedPtr;
using qz::MediaMetadata;

std::vector<uint8_t> Block(uint16_t magic, uint16_t version, uint8_t firstUuidByte) {
    std::vector<uint8_t> block(MediaMetadata::kBlockSize, 0);
    PutU16(block, 0, magic);
    PutU16(block, 2, version);
    for (int i = 0; i < 16; ++i) block[4 + i] = static_cast<uint8_t>(firstUuidByte + i);
    return block;
}

TEST(MediaMetadataTest, ReadsTheBlockAtItsOffset) {
    std::vector<uint8_t> bytes(100, 0xEE);
    const std::vector<uint8_t> block = Block(0x4D4D, 0x0100, 0x10);
    bytes.insert(bytes.end(), block.begin(), block.end());
    uint32_t code = 1;
    CUSharedPtr<MediaMetadata> m = MediaMetadata::Create(Memory(bytes), 100, &code);
    ASSERT_TRUE(m);
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(m->MetadataVersion(), 0x0100);
    EXPECT_EQ(m->GetState(), 0u);
    // The UUID is the block's bytes 4 to 19: 0x10, 0x11, ...
    EXPECT_TRUE(IsUUID(m->ValueForTag(qz::kContentValueMediaID), *qz::CUUUID::Create(block.data() + 4)));
    EXPECT_FALSE(m->ValueForTag(qz::kContentValueIndexVersion));
}

TEST(MediaMetadataTest, RefusesBlocksThatDoNotFitOrLackTheMagic) {
    const std::vector<uint8_t> block = Block(0x4D4D, 0x0100, 0);
    uint32_t code = 0;
    EXPECT_FALSE(MediaMetadata::Create(nullptr, 0, &code));
    EXPECT_EQ(code, qz::kResultNullArgument);
    EXPECT_FALSE(MediaMetadata::Create(Memory(block), 1, &code));
    EXPECT_EQ(code, qz::kResultReadFailure);
    EXPECT_FALSE(MediaMetadata::Create(Memory(block), ~uint64_t{0}, &code));
    EXPECT_EQ(code, qz::kResultReadFailure);
    EXPECT_FALSE(
        MediaMetadata::Create(Memory(std::vector<uint8_t>(block.begin(), block.end() - 1)), 0, &code));
    EXPECT_EQ(code, qz::kResultReadFailure);
    EXPECT_FALSE(MediaMetadata::Create(Memory(Block(0x4D49, 0x0100, 0)), 0, &code));
    EXPECT_EQ(code, qz::kResultReadFailure);

    CUSharedPtr<MediaMetadata> unsupported = MediaMetadata::Create(Memory(Block(0x4D4D, 0x0201, 0)), 0);
    ASSERT_TRUE(unsupported);
    EXPECT_EQ(unsupported->GetState(), 2u);
}

TEST(MediaMetadataTest, NewBlockAndUUIDReplacement) {
    CUSharedPtr<MediaMetadata> a = MediaMetadata::Create();
    CUSharedPtr<MediaMetadata> b = MediaMetadata::Create();
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->MetadataVersion(), MediaMetadata::kNewVersion);
    CUSharedPtr<qz::CUUUID> ua = a->ValueForTag(qz::kContentValueMediaID);
    CUSharedPtr<qz::CUUUID> ub = b->ValueForTag(qz::kContentValueMediaID);
    ASSERT_TRUE(ua && ub);
    EXPECT_FALSE(*ua == *ub);
    EXPECT_EQ(a->SetValueForTag(ub, qz::kContentValueMediaID), 0u);
    EXPECT_TRUE(IsUUID(a->ValueForTag(qz::kContentValueMediaID), *ub));
    EXPECT_EQ(a->SetValueForTag(ub, qz::kContentValueFrameRateType), qz::kResultNullArgument);
    EXPECT_EQ(a->SetValueForTag(nullptr, qz::kContentValueMediaID), qz::kResultNullArgument);
    EXPECT_EQ(MediaMetadata().SetValueForTag(ub, qz::kContentValueMediaID), qz::kResultNullArgument);
}

}  // namespace
