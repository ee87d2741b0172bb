// Byte-level checks of the clip information block against its fixed layout.
#include "CifWriter.h"

#include "CardTestSupport.h"
#include "CardWriter.h"

#include <gtest/gtest.h>

#include <functional>

using namespace ComVantoVantoQZ64RADPlug::CardWriter;
using namespace cardwriter_test;

namespace {

CardDescription OneClipCard(const ClipDescription& clip) {
    CardDescription card;
    card.clips.push_back(clip);
    return card;
}

std::vector<uint8_t> Block(const ClipDescription& clip) {
    return BuildClipInformation(OneClipCard(clip), 0);
}

}  // namespace

TEST(CifWriterTest, DefaultClipFillsEveryFieldAtItsOffset) {
    ClipDescription clip;  // 59.94i 1920x1080 50 Mbps CBR, 4 channels, 60 frames from 01:00:00:00
    const auto b = Block(clip);
    ASSERT_EQ(b.size(), 2560u);

    EXPECT_EQ(Text(b, 0, 2), "CI");
    EXPECT_EQ(U16(b, 2), 0x0100u);
    // Coding: video type 1 / aspect 3, format 1 / rate 1, audio type 1 / 48 kHz, 4 channels (2).
    EXPECT_EQ(Slice(b, 4, 4), (std::vector<uint8_t>{0x13, 0x11, 0x11, 0x20}));
    EXPECT_TRUE(AllZero(b, 8, 4));
    EXPECT_EQ(U32(b, 12), 60u);
    EXPECT_TRUE(AllZero(b, 16, 40));
    EXPECT_EQ(U32(b, 56), 1u);
    EXPECT_EQ(Slice(b, 60, 8), (std::vector<uint8_t>{1, 0, 0, 0, 0, 0, 0, 60}));
    EXPECT_TRUE(AllZero(b, 68, 852 - 68));

    EXPECT_EQ(Text(b, 852, 2), "CM");
    EXPECT_EQ(U16(b, 854), 0x0101u);
    EXPECT_EQ(Text(b, 856, 32), "Vanto" + std::string(27, ' '));
    EXPECT_EQ(Text(b, 888, 32), "QZ64" + std::string(28, ' '));
    EXPECT_EQ(Text(b, 920, 32), "QZ64-000417" + std::string(21, ' '));
    EXPECT_EQ(Slice(b, 952, 8), (std::vector<uint8_t>{1, 2, 3, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    // 2026-12-06 09:30:00, UTC+1: flags = hours 1 in bits 4-1.
    EXPECT_EQ(Slice(b, 960, 8), (std::vector<uint8_t>{0x02, 0x20, 0x26, 0x12, 0x06, 0x09, 0x30, 0x00}));
    EXPECT_EQ(Slice(b, 968, 4), (std::vector<uint8_t>{0x00, 0x00, 0x00, 0x01}));  // 01:00:00:00
    EXPECT_EQ(Slice(b, 972, 4), (std::vector<uint8_t>{0x29, 0x01, 0x00, 0x01}));  // last frame 01:00:01:29
    EXPECT_EQ(U32(b, 976), 0u);
    EXPECT_EQ(U8(b, 980), 0x83u);   // CBR, 50 Mbps
    EXPECT_EQ(U16(b, 988), 0u);     // variable frame rate
    EXPECT_EQ(U16(b, 992), 5600u);  // colour temperature, accurate flag clear
    EXPECT_EQ(U8(b, 1004), 0x04u);  // clip metadata file present, no drop frame
    EXPECT_EQ(Slice(b, 1012, 16), VectorOf(CardDescription{}.mediaUuid));
    EXPECT_TRUE(AllZero(b, 1028, 128 - 16));  // no relay links
    EXPECT_EQ(U8(b, 1140), 0u);
    EXPECT_TRUE(AllZero(b, 1144, 2560 - 1144));
}

TEST(CifWriterTest, CodingNibblesFollowSizeRateChannelsAndBitRate) {
    ClipDescription clip;
    clip.pictureSize = PictureSize::k1440x1080;
    clip.frameRate = FrameRate::k24p;
    clip.audioChannels = 2;
    clip.bitRate = BitRate::k35Mbps;
    clip.constantBitRate = false;
    auto b = Block(clip);
    EXPECT_EQ(Slice(b, 4, 4), (std::vector<uint8_t>{0x13, 0x39, 0x11, 0x10}));
    EXPECT_EQ(U8(b, 980), 0x02u);  // VBR, 35 Mbps

    clip.pictureSize = PictureSize::k1280x720;
    clip.frameRate = FrameRate::k50p;
    clip.bitRate = BitRate::k25Mbps;
    b = Block(clip);
    EXPECT_EQ(U8(b, 5), 0x27u);
    EXPECT_EQ(U8(b, 980), 0x01u);
}

TEST(CifWriterTest, SpannedClipListsEveryMemberInOrder) {
    ClipDescription clip;
    clip.durationFrames = 10 + 20 + 7;
    clip.members = {MemberFile{10}, MemberFile{20}, MemberFile{7}};
    const auto b = Block(clip);
    EXPECT_EQ(U32(b, 12), 37u);
    EXPECT_EQ(U32(b, 56), 3u);
    // Per member: its number, three zero bytes, its frame count.
    EXPECT_EQ(Slice(b, 60, 24), (std::vector<uint8_t>{1, 0, 0, 0,  0, 0, 0, 10, 2, 0, 0, 0,
                                                      0, 0, 0, 20, 3, 0, 0, 0,  0, 0, 0, 7}));
    EXPECT_TRUE(AllZero(b, 84, 852 - 84));
}

TEST(CifWriterTest, ProgressiveHighRatesCountTimecodeAtTheRecordedBase) {
    // 59.94P: 61 pictures from 00:00:59;28 drop frame, counted at 30 labels
    // per second: the last picture (60) is label 30 later, past the skipped
    // labels 00 and 01 of minute 1.
    ClipDescription clip;
    clip.frameRate = FrameRate::k59_94p;
    clip.pictureSize = PictureSize::k1280x720;
    clip.durationFrames = 61;
    clip.startTimecode = Timecode{0, 0, 59, 28};
    clip.dropFrame = true;
    auto b = Block(clip);
    EXPECT_EQ(Slice(b, 968, 4), (std::vector<uint8_t>{0x28, 0x59, 0x00, 0x00}));
    EXPECT_EQ(Slice(b, 972, 4), (std::vector<uint8_t>{0x00, 0x01, 0x01, 0x00}));  // 00:01:01;00
    EXPECT_EQ(U8(b, 1004) & 0x02, 0x02u);

    // 50P: 100 pictures from 10:59:59:24 at base 25 end 2 s - 1 label later.
    clip.frameRate = FrameRate::k50p;
    clip.dropFrame = false;
    clip.durationFrames = 100;
    clip.startTimecode = Timecode{10, 59, 59, 24};
    b = Block(clip);
    EXPECT_EQ(Slice(b, 968, 4), (std::vector<uint8_t>{0x24, 0x59, 0x59, 0x10}));
    EXPECT_EQ(Slice(b, 972, 4), (std::vector<uint8_t>{0x23, 0x01, 0x00, 0x11}));  // 11:00:01:23
    EXPECT_EQ(U8(b, 1004) & 0x02, 0u);
}

TEST(CifWriterTest, RecordDateFlagsAndRecordingModeBits) {
    ClipDescription clip;
    clip.recorded = RecordDateTime{1999, 2, 28, 23, 59, 58, true, true, 15, true};
    // Every field, in declaration order: the bytes from 981 on mirror them.
    clip.recordingMode =
        RecordingModeInfo{0x2400, 3, 4, 2, 5, 6, 0x1234, 7, 5, 0x11, true, 3200, true, true, 9};
    clip.attributes.okMark = 3;
    clip.attributes.customPresetFile = true;
    clip.attributes.thumbnailFile = true;
    clip.attributes.dropFrame = true;  // stored flag only, timecode stays non-drop
    const auto b = Block(clip);
    EXPECT_EQ(Slice(b, 960, 8), (std::vector<uint8_t>{0x7F, 0x19, 0x99, 0x02, 0x28, 0x23, 0x59, 0x58}));
    EXPECT_EQ(Slice(b, 980, 15),
              (std::vector<uint8_t>{0x83, 0x24, 0x00, 3, 4, 2, 5, 6, 0x12, 0x34, 7, 0xB1, 0x8C, 0x80, 0xC9}));
    EXPECT_EQ(U8(b, 1004), 0xDEu);
}

TEST(CifWriterTest, RelayLinksCarryMediumIdsClipIdsAndTheOtherClipsRelayUmid) {
    CardDescription first, second;
    second.mediaUuid[0] = 0xEE;
    first.clips.push_back(ClipDescription{});
    ClipDescription continuation;
    continuation.id = ClipId{"RB", 12};
    second.clips.push_back(continuation);
    LinkRelayClips(first, 0, second, 0);

    const auto a = BuildClipInformation(first, 0);
    const auto b = BuildClipInformation(second, 0);
    const Umid firstRelay = RelayPackageUmidOf(first, 0), secondRelay = RelayPackageUmidOf(second, 0);
    EXPECT_NE(firstRelay, secondRelay);

    // First clip: own medium, no previous, next = second card's clip.
    EXPECT_EQ(Slice(a, 1012, 16), VectorOf(first.mediaUuid));
    EXPECT_TRUE(AllZero(a, 1028, 72 - 16));
    EXPECT_EQ(Slice(a, 1012 + 72, 16), VectorOf(second.mediaUuid));
    EXPECT_EQ(Text(a, 1012 + 88, 6), "RB0012");
    EXPECT_TRUE(AllZero(a, 1012 + 94, 2));
    EXPECT_EQ(Slice(a, 1012 + 96, 32), VectorOf(secondRelay));
    // Second clip: previous = first card's clip, no next.
    EXPECT_EQ(Slice(b, 1012, 16), VectorOf(second.mediaUuid));
    EXPECT_EQ(Slice(b, 1012 + 16, 16), VectorOf(first.mediaUuid));
    EXPECT_EQ(Text(b, 1012 + 32, 6), "QZ0001");
    EXPECT_EQ(Slice(b, 1012 + 40, 32), VectorOf(firstRelay));
    EXPECT_TRUE(AllZero(b, 1012 + 72, 56));

    // A basic SMPTE UMID: label prefix and length byte 0x13.
    EXPECT_EQ(Slice(b, 1012 + 40, 4), (std::vector<uint8_t>{0x06, 0x0A, 0x2B, 0x34}));
    EXPECT_EQ(U8(b, 1012 + 40 + 12), 0x13u);
}

TEST(CifWriterTest, OverridesWriteUnsupportedBlocksOnPurpose) {
    ClipDescription clip;
    clip.coding.magic = 0x5858;
    clip.coding.version = 0x0200;
    clip.coding.metadataVersion = 0x0300;
    clip.coding.frameRate = 0x0F;
    clip.coding.memberCount = 100;
    clip.coding.duration = 0xFFFFFFFF;
    clip.coding.value976 = 0xA1B2C3D4;
    clip.coding.value1140 = 0x11;
    clip.coding.value1141 = 0x22;
    const auto b = Block(clip);
    EXPECT_EQ(Text(b, 0, 2), "XX");
    EXPECT_EQ(U16(b, 2), 0x0200u);
    EXPECT_EQ(U16(b, 854), 0x0300u);
    EXPECT_EQ(U8(b, 5), 0x1Fu);
    EXPECT_EQ(U32(b, 56), 100u);
    EXPECT_EQ(U32(b, 12), 0xFFFFFFFFu);
    EXPECT_EQ(U32(b, 976), 0xA1B2C3D4u);
    EXPECT_EQ(U8(b, 1140), 0x11u);
    EXPECT_EQ(U8(b, 1141), 0x22u);
}

TEST(CifWriterTest, FieldsThatCannotBeStoredAreRefused) {
    const std::function<void(ClipDescription&)> breaks[] = {
        [](auto& c) { c.startTimecode.hours = 100; },  // three BCD digits
        [](auto& c) { c.device.manufacturer = std::string(33, 'M'); },
        [](auto& c) { c.device.firmware.assign(9, 1); },
        [](auto& c) { c.durationFrames = 100, c.members.assign(100, MemberFile{1}); }};
    for (const auto& change : breaks) {
        ClipDescription clip;
        change(clip);
        EXPECT_THROW(Block(clip), CardWriterError);
    }
    ClipDescription clip;
    clip.durationFrames = 100;
    clip.members.assign(99, MemberFile{1});
    EXPECT_NO_THROW(Block(clip));  // 99 entries end exactly at the metadata area
}
