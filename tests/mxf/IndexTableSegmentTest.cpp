// Index table segments from crafted bytes: entry reads bounded by the
// entries held, counts checked against the item before anything is read,
// delta entries and slices, malformed segments refused.
#include "IndexTableSegment.h"

#include "CUMemoryStream.h"
#include "CUStringMac.h"
#include "MxfTestSupport.h"
#include "ParseMetaData.h"

#include <gtest/gtest.h>

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
        .U8(0x3F08, s.nsl);
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
    uint64_t so;
    ASSERT_TRUE(seg->GetTemporalOffset(101, t));
    EXPECT_EQ(t, 2);
    ASSERT_TRUE(seg->GetKeyFrameOffset(102, k));
    EXPECT_EQ(k, -2);
    ASSERT_TRUE(seg->GetFlags(102, f));
    EXPECT_EQ(f, 0x33);
    // Element 0: the stream offset; element 1: + slice 1 + delta 20.
    ASSERT_TRUE(seg->GetStreamOffset(101, 0, so));
    EXPECT_EQ(so, 9000u);
    ASSERT_TRUE(seg->GetStreamOffset(101, 1, so));
    EXPECT_EQ(so, 9000u + 4000u + 20u);
    EXPECT_FALSE(seg->GetStreamOffset(101, 2, so));
    EXPECT_FALSE(seg->GetFlags(99, f));
    EXPECT_FALSE(seg->GetFlags(103, f));
    EXPECT_FALSE(seg->GetFlags(-1, f));
    EXPECT_NE(seg->Description()->Utf8().find("UNIT(101) = T:2 K:-1 F:22 O:"), std::string::npos);
}

TEST(IndexTableSegmentTest, WithoutDeltaEntriesOnlyElementZeroAnswers) {
    SegmentSpec s;
    s.delta = false;
    bool ok = false;
    auto seg = Import(SegmentKLV(s), ok);
    ASSERT_TRUE(ok);
    uint64_t so;
    ASSERT_TRUE(seg->GetStreamOffset(102, 0, so));
    EXPECT_EQ(so, 15000u);
    EXPECT_FALSE(seg->GetStreamOffset(102, 1, so));
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

TEST(IndexTableSegmentTest, CountsThatDoNotFitTheItemAreRefusedBeforeReading) {
    bool ok = true;
    {
        SegmentSpec s;
        s.entryCount = 0xFFFFFFFF;  // 4 billion entries of 15 bytes claimed
        Import(SegmentKLV(s), ok);
        EXPECT_FALSE(ok);
    }
    {
        SegmentSpec s;
        s.entryCount = 0x11111112;  // count x length wraps in 32 bits
        s.entryLength = 15;
        Import(SegmentKLV(s), ok);
        EXPECT_FALSE(ok);
    }
    {
        SegmentSpec s;
        s.entryCount = 0;
        Import(SegmentKLV(s), ok);
        EXPECT_FALSE(ok);
    }
    {
        // A delta batch claiming 0xFFFFFFFF entries: no delta entries, the
        // segment itself stays usable.
        SegmentSpec s;
        s.deltaCount = 0xFFFFFFFF;
        auto seg = Import(SegmentKLV(s), ok);
        ASSERT_TRUE(ok);
        EXPECT_EQ(seg->DeltaEntryCount(), 0u);
        uint64_t so;
        EXPECT_TRUE(seg->GetStreamOffset(100, 0, so));
    }
}

TEST(IndexTableSegmentTest, EntryLengthMustMatchSlicesAndPositionTable) {
    bool ok = true;
    SegmentSpec s;
    s.entryLength = 15 + 4;  // disagrees with NSL 1
    Import(SegmentKLV(s), ok);
    EXPECT_FALSE(ok);
    // NPE 2 with entries of 11 + 4 + 16 bytes is fine.
    SegmentSpec p;
    p.npePresent = true;
    p.npe = 2;
    auto seg = Import(SegmentKLV(p), ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(seg->IndexEntryLength(), 31u);
    uint64_t so;
    ASSERT_TRUE(seg->GetStreamOffset(102, 1, so));
    EXPECT_EQ(so, 15000u + 3000u + 20u);
    // Two slices: delta entry 1 names slice 1.
    SegmentSpec two;
    two.nsl = 2;
    seg = Import(SegmentKLV(two), ok);
    ASSERT_TRUE(ok);
    ASSERT_TRUE(seg->GetStreamOffset(100, 1, so));
    EXPECT_EQ(so, 0u + 5000u + 20u);
}

TEST(IndexTableSegmentTest, MissingRequiredItemRejectsTheSegment) {
    SegmentSpec s;
    Bytes klv = SegmentKLV(s);
    // Rename tag 0x3F08 (slice count) to an unknown tag.
    for (size_t i = 20; i + 1 < klv.size(); ++i) {
        if (klv[i] == 0x3F && klv[i + 1] == 0x08 && klv[i + 2] == 0x00 && klv[i + 3] == 0x01) {
            klv[i + 1] = 0x7F;
            break;
        }
    }
    bool ok = true;
    Import(klv, ok);
    EXPECT_FALSE(ok);
}

}  // namespace
