// What the clip information writer refuses to write; the layout it writes is
// checked by the reader tests, which read every written block back.
#include "CifWriter.h"

#include "CardTestSupport.h"
#include "CardWriter.h"

#include <gtest/gtest.h>

#include <functional>

using namespace ComVantoVantoQZ64RADPlug::CardWriter;
using namespace cardwriter_test;

namespace {

// The clip information block of a card holding only `clip`.
std::vector<uint8_t> Block(const ClipDescription& clip) {
    CardDescription card;
    card.clips.push_back(clip);
    return BuildClipInformation(card, 0);
}

}  // namespace

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
