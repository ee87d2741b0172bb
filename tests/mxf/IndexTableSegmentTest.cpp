// Index table segments from crafted bytes: entry reads bounded by the
// entries held, counts checked against the item before anything is read,
// delta entries and slices, malformed segments refused.
#include "IndexTableSegment.h"

#include "CUMemoryStream.h"
#include "CUStringMac.h"
#include "MxfTestSupport.h"
#include "ParseMetaData.h"

#include <gtest/gtest.h>

#include <functional>

using namespace ComVantoVantoQZ64RADPlug;
using mxftest::Bytes;

namespace {

struct Entry {
    int8_t t, k;
    uint8_t flags;
    uint64_t stream;
    uint32_t slice;
};

struct SegmentSpec {
    int64_t start = 100;
    int64_t duration = 3;
    uint8_t nsl = 1;
    bool npePresent = false;
    uint8_t npe = 0;
    std::vector<Entry> entries{{0, 0, 0xC0, 0, 5000}, {2, -1, 0x22, 9000, 4000}, {-1, -2, 0x33, 15000, 3000}};
    // Overrides of the index entry batch header (count, length).
    int64_t entryCount = -1, entryLength = -1;
    bool delta = true;
    uint32_t deltaCount = 2;
    uint16_t sliceCountTag = 0x3F08;  // another tag: the required item is missing
};

Bytes SegmentKLV(const SegmentSpec& s) {
    mxftest::LocalSet set;
    set.Item(0x3C0A, mxftest::Uid(9))
        .Rational(0x3F0B, 25, 1)
        .U64(0x3F0C, uint64_t(s.start))
        .U64(0x3F0D, uint64_t(s.duration))
        .U32(0x3F05, 0)
        .U32(0x3F06, 1)
        .U32(0x3F07, 2)
        .U8(s.sliceCountTag, s.nsl);
    if (s.npePresent) set.U8(0x3F0E, s.npe);
    if (s.delta) {
        Bytes d;
        d.u32(s.deltaCount);
        d.u32(6);
        d.u8(0), d.u8(0), d.u32(0);
        d.u8(0), d.u8(1), d.u32(20);
        set.Item(0x3F09, d);
    }
    const uint32_t length = 11 + 4u * s.nsl + 8u * s.npe;
    Bytes e;
    e.u32(s.entryCount >= 0 ? uint32_t(s.entryCount) : uint32_t(s.entries.size()));
    e.u32(s.entryLength >= 0 ? uint32_t(s.entryLength) : length);
    for (const Entry& x : s.entries) {
        e.u8(uint8_t(x.t));
        e.u8(uint8_t(x.k));
        e.u8(x.flags);
        e.u64(x.stream);
        for (uint8_t i = 0; i < s.nsl; ++i) e.u32(x.slice + i);
        for (uint8_t i = 0; i < s.npe; ++i) e.u64(0x0000000100000002ull);
    }
    set.Item(0x3F0A, e);
    Bytes klv;
    klv.klv(mxftest::kIndexSegmentKey, set.value, 3);
    return klv;
}

// Imports the segment; the code of ParsePacket (true = 0).
CUSharedPtr<IndexTableSegment> Import(const Bytes& klv, bool& ok) {
    CUSharedPtr<CUStream> stream(new CUMemoryStream(const_cast<uint8_t*>(klv.data()), klv.size(), false));
    ParseMetaData reader(stream);
    CUSharedPtr<IndexTableSegment> segment(new IndexTableSegment());
    ok = reader.ParsePacket(segment.get());
    return segment;
}

TEST(IndexTableSegmentTest, ReadsEntriesDeltasAndSlices) {
    SegmentSpec s;
    bool ok = false;
    auto seg = Import(SegmentKLV(s), ok);
    ASSERT_TRUE(ok);
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
    bool ok = false;
    auto seg = Import(SegmentKLV(s), ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(seg->IndexEntryCount(), 3u);
    uint8_t f;
    uint64_t so;
    EXPECT_TRUE(seg->GetFlags(102, f));
    EXPECT_FALSE(seg->GetFlags(103, f));
    EXPECT_FALSE(seg->GetStreamOffset(50000, 0, so));
    // A start position near the limits does not overflow the range test.
    s.start = INT64_MAX - 1;
    s.duration = INT64_MAX;
    seg = Import(SegmentKLV(s), ok);
    ASSERT_TRUE(ok);
    EXPECT_TRUE(seg->GetFlags(INT64_MAX - 1, f));
    EXPECT_TRUE(seg->GetFlags(INT64_MAX, f));  // entry 1 of 3
    s.start = INT64_MIN;
    seg = Import(SegmentKLV(s), ok);
    ASSERT_TRUE(ok);
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
        bool ok = true;
        Import(SegmentKLV(s), ok);
        EXPECT_FALSE(ok);
    }
    // A delta batch claiming 0xFFFFFFFF entries: no delta entries, the
    // segment itself stays usable.
    SegmentSpec s;
    s.deltaCount = 0xFFFFFFFF;
    bool ok = false;
    auto seg = Import(SegmentKLV(s), ok);
    ASSERT_TRUE(ok);
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
        bool ok = false;
        auto seg = Import(SegmentKLV(s), ok);
        ASSERT_TRUE(ok);
        EXPECT_EQ(seg->IndexEntryLength(), c.entryLength);
        uint64_t so = kNone;
        EXPECT_EQ(seg->GetStreamOffset(c.unit, c.element, so), c.offset != kNone);
        if (c.offset != kNone) {
            EXPECT_EQ(so, c.offset);
        }
    }
}

}  // namespace
