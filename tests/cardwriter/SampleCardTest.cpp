// The sample card's long clip, its record times and its relay cards; what
// the default card holds is checked by the sample-card golden output.
#include "CardTestSupport.h"
#include "CardWriter.h"
#include "CifWriter.h"
#include "SampleCard.h"

#include <gtest/gtest.h>

#include <set>

using namespace ComVantoVantoQZ64RADPlug::CardWriter;
using cardwriter_test::ExpectThrowNaming;

TEST(SampleCardTest, LongClipIsAtLeast3000FramesAt50Mbps) {
    const CardDescription card = LongClipCardDescription();
    ASSERT_EQ(card.clips.size(), 1u);
    EXPECT_GE(card.clips[0].durationFrames, 3000u);
    EXPECT_EQ(card.clips[0].bitRate, BitRate::k50Mbps);
    EXPECT_TRUE(card.clips[0].constantBitRate);
    EXPECT_NE(card.mediaUuid, SampleCardDescription().mediaUuid);
}

// Clip n is recorded at 09:10 + 3(n - 1) minutes: the minutes carry into the
// hours and past midnight into the next day, never to hours 24 and above.
TEST(SampleCardTest, RecordTimesCarryIntoHoursAndDays) {
    SampleCardOptions options;
    options.clipCount = 500;
    options.durationFrames = 1;
    const CardDescription card = SampleCardDescription(options);
    struct Case {
        size_t clip;  // 1-based
        uint32_t day, hour, minute;
    } const cases[] = {{1, 6, 9, 10},    {17, 6, 9, 58}, {18, 6, 10, 1}, {251, 6, 21, 40},
                       {297, 6, 23, 58}, {298, 7, 0, 1}, {500, 7, 10, 7}};
    for (const Case& c : cases) {
        const RecordDateTime& r = card.clips.at(c.clip - 1).recorded;
        EXPECT_EQ(std::vector<uint32_t>({r.year, r.month, r.day, r.hour, r.minute}),
                  std::vector<uint32_t>({2026, 12, c.day, c.hour, c.minute}))
            << "clip " << c.clip;
    }
    for (size_t i = 0; i < card.clips.size(); ++i) EXPECT_NO_THROW(BuildClipInformation(card, i)) << i;
}

TEST(SampleCardTest, TheWriterRefusesAnImpossibleRecordTime) {
    struct Case {
        void (*edit)(RecordDateTime&);
        const char* reason;
    } const cases[] = {
        {[](RecordDateTime& r) { r.hour = 24; }, "record hour 24"},
        {[](RecordDateTime& r) { r.minute = 60; }, "record minute 60"},
        {[](RecordDateTime& r) { r.second = 60; }, "record second 60"},
        {[](RecordDateTime& r) { r.month = 13; }, "record month 13"},
        {[](RecordDateTime& r) { r.month = 0; }, "record month 0"},
        {[](RecordDateTime& r) { r.month = 2, r.day = 29, r.year = 2026; }, "record day 29"},
        {[](RecordDateTime& r) { r.day = 0; }, "record day 0"},
    };
    for (const Case& c : cases) {
        CardDescription card = SampleCardDescription(SampleCardOptions{});
        c.edit(card.clips[0].recorded);
        ExpectThrowNaming<CardWriterError>([&] { BuildClipInformation(card, 0); }, c.reason);
    }
    CardDescription leap = SampleCardDescription(SampleCardOptions{});
    leap.clips[0].recorded.year = 2028, leap.clips[0].recorded.month = 2, leap.clips[0].recorded.day = 29;
    EXPECT_NO_THROW(BuildClipInformation(leap, 0));
}

// Each card's piece continues the one before: its start timecode is the
// frame after the previous piece's last (every second picture at 50 and
// 59.94 progressive), its relay links name the neighbouring clips, and each
// card is a medium of its own.
TEST(SampleCardTest, RelayCardsHoldOneRecordingContinuedFromCardToCard) {
    for (FrameRate rate : {FrameRate::k59_94i, FrameRate::k59_94p, FrameRate::k25p}) {
        SCOPED_TRACE(FrameRateName(rate));
        SampleCardOptions options;
        options.rate = rate;
        options.durationFrames = 31;
        const std::vector<CardDescription> cards = RelaySampleCardDescriptions(3, options);
        ASSERT_EQ(cards.size(), 3u);
        const FrameRateTraits traits = TraitsOf(rate);
        const uint32_t step = traits.roundedBase / traits.recordedBase;
        const ClipDescription* previous = nullptr;
        std::set<Uuid> media;
        for (size_t k = 0; k < cards.size(); ++k) {
            media.insert(cards[k].mediaUuid);
            const ClipDescription& piece = k == 0 ? cards[k].clips.back() : cards[k].clips.front();
            EXPECT_EQ(piece.durationFrames % step, 0u);
            if (previous) {
                EXPECT_EQ(
                    TimecodeToFrameCount(piece.startTimecode, traits.recordedBase, piece.dropFrame),
                    TimecodeToFrameCount(previous->startTimecode, traits.recordedBase, piece.dropFrame) +
                        previous->durationFrames / step);
                EXPECT_EQ(previous->relay.next.clipId, ClipIdText(piece.id));
                EXPECT_EQ(piece.relay.previous.clipId, ClipIdText(previous->id));
                EXPECT_EQ(piece.relay.previous.mediumId, cards[k - 1].mediaUuid);
                EXPECT_EQ(piece.relay.previous.umid,
                          RelayPackageUmidOf(cards[k - 1], cards[k - 1].clips.size() - 1));
            }
            previous = &piece;
        }
        EXPECT_EQ(media.size(), 3u);
        EXPECT_TRUE(cards[2].clips.back().relay.previous.clipId.empty());  // the clip after the recording
    }
    EXPECT_THROW(RelaySampleCardDescriptions(0), CardWriterError);
}
