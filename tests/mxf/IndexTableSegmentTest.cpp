// Index table segments from crafted bytes: entry reads bounded by the
// entries held, counts checked against the item before anything is read,
// delta entries and slices, malformed segments refused.
#include "IndexTableSegment.h"

#include "CUStringMac.h"
#include "MxfTestSupport.h"

#include <gtest/gtest.h>

#include <functional>

using namespace ComVantoVantoQZ64RADPlug;
using mxftest::ImportSegment;
using mxftest::SegmentSpec;

namespace {

TEST(IndexTableSegmentTest, ReadsEntriesDeltasAndSlices) {
    SegmentSpec s;
    auto seg = ImportSegment(s);
    ASSERT_TRUE(seg);
    EXPECT_EQ(seg->IndexStartPosition(), 100);
    EXPECT_EQ(seg->IndexDuration(), 3);
    EXPECT_EQ(seg->BodySID(), 2u);
    EXPECT_EQ(seg->IndexSID(), 1u);
    EXPECT_EQ(seg->IndexEditRate().numerator, 25);
    EXPECT_EQ(seg->DeltaEntryCount(), 2u);
    EXPECT_TRUE(seg->isContainIndex(102));
    EXPECT_FALSE(seg->isContainIndex(103));
    int8_t t, k;
    uint8_t f;
    ASSERT_TRUE(seg->GetTemporalOffset(101, t));
    EXPECT_EQ(t, 2);
    ASSERT_TRUE(seg->GetKeyFrameOffset(102, k));
    EXPECT_EQ(k, -2);
    ASSERT_TRUE(seg->GetFlags(102, f));
    EXPECT_EQ(f, 0x33);
    EXPECT_FALSE(seg->GetFlags(99, f));
    EXPECT_FALSE(seg->GetFlags(103, f));
    EXPECT_FALSE(seg->GetFlags(-1, f));
    EXPECT_NE(seg->Description()->Utf8().find("UNIT(101) = T:2 K:-1 F:22 O:"), std::string::npos);
}

TEST(IndexTableSegmentTest, DurationBeyondTheEntriesHeldIsRefused) {
    SegmentSpec s;
    s.duration = 1000000;  // three entries held
    auto seg = ImportSegment(s);
    ASSERT_TRUE(seg);
    EXPECT_EQ(seg->IndexEntryCount(), 3u);
    uint8_t f;
    uint64_t so;
    EXPECT_TRUE(seg->GetFlags(102, f));
    EXPECT_FALSE(seg->GetFlags(103, f));
    EXPECT_FALSE(seg->GetStreamOffset(50000, 0, so));
    // A start position near the limits does not overflow the range test.
    s.start = INT64_MAX - 1;
    s.duration = INT64_MAX;
    seg = ImportSegment(s);
    ASSERT_TRUE(seg);
    EXPECT_TRUE(seg->GetFlags(INT64_MAX - 1, f));
    EXPECT_TRUE(seg->GetFlags(INT64_MAX, f));  // entry 1 of 3
    s.start = INT64_MIN;
    seg = ImportSegment(s);
    ASSERT_TRUE(seg);
    EXPECT_FALSE(seg->GetFlags(0, f));
}

TEST(IndexTableSegmentTest, MalformedSegmentsAreRefusedBeforeReading) {
    const struct {
        const char* name;
        std::function<void(SegmentSpec&)> change;
    } cases[] = {
        {"4 billion entries of 15 bytes claimed", [](SegmentSpec& s) { s.entryCount = 0xFFFFFFFF; }},
        {"count x length wraps in 32 bits",
         [](SegmentSpec& s) {
             s.entryCount = 0x11111112;
             s.entryLength = 15;
         }},
        {"no entries", [](SegmentSpec& s) { s.entryCount = 0; }},
        {"entry length disagrees with NSL 1", [](SegmentSpec& s) { s.entryLength = 15 + 4; }},
        {"slice count missing", [](SegmentSpec& s) { s.sliceCountTag = 0x7F08; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SegmentSpec s;
        c.change(s);
        EXPECT_FALSE(ImportSegment(s));
    }
    // A delta batch claiming 0xFFFFFFFF entries: no delta entries, the
    // segment itself stays usable.
    SegmentSpec s;
    s.deltaCount = 0xFFFFFFFF;
    auto seg = ImportSegment(s);
    ASSERT_TRUE(seg);
    EXPECT_EQ(seg->DeltaEntryCount(), 0u);
    uint64_t so;
    EXPECT_TRUE(seg->GetStreamOffset(100, 0, so));
}

// Element 0 is at the entry's stream offset, element 1 at it + the slice
// offset its delta entry names + the delta 20; other elements nowhere.
TEST(IndexTableSegmentTest, StreamOffsetsFollowSlicesAndDeltas) {
    constexpr uint64_t kNone = ~0ull;
    const struct {
        const char* name;
        std::function<void(SegmentSpec&)> change;
        int64_t unit;
        uint32_t element;
        uint64_t offset;
        uint32_t entryLength;
    } cases[] = {
        {"element 0", [](SegmentSpec&) {}, 101, 0, 9000, 15},
        {"element 1: slice 1 + delta", [](SegmentSpec&) {}, 101, 1, 9000 + 4000 + 20, 15},
        {"element 2: beyond the delta entries", [](SegmentSpec&) {}, 101, 2, kNone, 15},
        {"no delta entries: element 0", [](SegmentSpec& s) { s.delta = false; }, 102, 0, 15000, 15},
        {"no delta entries: element 1", [](SegmentSpec& s) { s.delta = false; }, 102, 1, kNone, 15},
        {"NPE 2: entries of 11 + 4 + 16 bytes",
         [](SegmentSpec& s) {
             s.npePresent = true;
             s.npe = 2;
         },
         102, 1, 15000 + 3000 + 20, 31},
        {"two slices: delta entry 1 names slice 1", [](SegmentSpec& s) { s.nsl = 2; }, 100, 1, 5000 + 20, 19},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SegmentSpec s;
        c.change(s);
        auto seg = ImportSegment(s);
        ASSERT_TRUE(seg);
        EXPECT_EQ(seg->IndexEntryLength(), c.entryLength);
        uint64_t so = kNone;
        EXPECT_EQ(seg->GetStreamOffset(c.unit, c.element, so), c.offset != kNone);
        if (c.offset != kNone) {
            EXPECT_EQ(so, c.offset);
        }
    }
}

}  // namespace
