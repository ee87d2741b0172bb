// The sample card description keeps its promises for every option: one
// frame-rate family, the sizes, channel counts, a three-file clip, drop-frame
// timecode and full XML metadata, and clip IDs that never collide.
#include "SampleCard.h"

#include <gtest/gtest.h>

#include <set>

using namespace ComVantoVantoQZ64RADPlug::CardWriter;

TEST(SampleCardTest, DefaultCardCoversTheFormatsItPromises) {
    const CardDescription card = SampleCardDescription();
    std::set<PictureSize> sizes;
    std::set<uint32_t> channels;
    std::set<std::string> ids;
    bool interlaced = false, progressive = false, dropFrame = false, spanned = false, vbr = false;
    for (const ClipDescription& clip : card.clips) {
        const FrameRateTraits traits = TraitsOf(clip.frameRate);
        EXPECT_EQ(traits.family, kFamily59_94) << FrameRateName(clip.frameRate);
        (traits.interlaced ? interlaced : progressive) = true;
        dropFrame |= clip.dropFrame;
        spanned |= clip.members.size() == 3;
        vbr |= !clip.constantBitRate;
        sizes.insert(clip.pictureSize);
        channels.insert(clip.audioChannels);
        ids.insert(ClipIdText(clip.id));
        EXPECT_TRUE(clip.xml.title && clip.xml.creator && clip.xml.description && clip.xml.location);
        EXPECT_FALSE(traits.interlaced && clip.pictureSize == PictureSize::k1280x720);
    }
    EXPECT_TRUE(interlaced && progressive && dropFrame && spanned && vbr);
    EXPECT_EQ(sizes.size(), 3u);
    EXPECT_EQ(channels, (std::set<uint32_t>{2, 4}));
    EXPECT_EQ(ids.size(), card.clips.size());
    EXPECT_EQ(DefaultSystemBitmap(card), kFamily59_94);
}

TEST(SampleCardTest, OptionsSetCountDurationRateAndFamily) {
    SampleCardOptions options;
    options.clipCount = 13;
    options.durationFrames = 7;
    options.family = kFamily50;
    CardDescription card = SampleCardDescription(options);
    ASSERT_EQ(card.clips.size(), 13u);
    std::set<std::string> ids;
    for (const ClipDescription& clip : card.clips) {
        ids.insert(ClipIdText(clip.id));
        EXPECT_EQ(TraitsOf(clip.frameRate).family, kFamily50);
        EXPECT_FALSE(clip.dropFrame);
        uint32_t total = 0;
        for (const MemberFile& member : EffectiveMembers(clip)) total += member.frameCount;
        EXPECT_EQ(total, clip.durationFrames);
        EXPECT_TRUE(clip.durationFrames == 7 || clip.durationFrames == 21);
    }
    EXPECT_EQ(ids.size(), 13u);

    for (FrameRate rate : kAllFrameRates) {
        options.rate = rate;
        card = SampleCardDescription(options);
        for (const ClipDescription& clip : card.clips) {
            EXPECT_EQ(clip.frameRate, rate);
            EXPECT_TRUE(!clip.dropFrame || TraitsOf(rate).dropFrameAllowed);
            EXPECT_LT(clip.bPictures, clip.gopLength);
        }
        EXPECT_EQ(DefaultSystemBitmap(card), TraitsOf(rate).family) << FrameRateName(rate);
    }
}

TEST(SampleCardTest, LongClipIsAtLeast3000FramesAt50Mbps) {
    const CardDescription card = LongClipCardDescription();
    ASSERT_EQ(card.clips.size(), 1u);
    EXPECT_GE(card.clips[0].durationFrames, 3000u);
    EXPECT_EQ(card.clips[0].bitRate, BitRate::k50Mbps);
    EXPECT_TRUE(card.clips[0].constantBitRate);
    EXPECT_NE(card.mediaUuid, SampleCardDescription().mediaUuid);
}
