// Index segments: the announced size is the written size, entry lengths
// follow the slice count, and segments the writer cannot code are refused.
#include "MxfIndexTableWriter.h"

#include "CardTestSupport.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace ComVantoVantoQZ64RADPlug::CardWriter;
using cardwriter_test::BE;

TEST(MxfIndexTableWriterTest, SizeAndEntryLengthFollowTheSegment) {
    struct Case {
        size_t deltas;
        uint8_t slices;
        size_t entries;
        bool bad;
        uint32_t entryLength;
    } const cases[] = {{0, 0, 0, false, 11},
                       {3, 1, 5, false, 15},
                       {2, 0, 7, true, 12},
                       {5, 1, MxfIndexTableWriter::kMaxEntries, true, 16}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.deltas << " deltas, " << c.entries << " entries");
        MxfIndexSegment segment;
        segment.deltas.resize(c.deltas);
        segment.entries.resize(c.entries);
        segment.sliceCount = c.slices;
        segment.badEntryLength = c.bad;
        MxfKlvWriter w;
        w.U8(0xAA);  // the segment need not start the buffer
        MxfIndexTableWriter::Write(w, segment);
        const std::vector<uint8_t>& b = w.Bytes();
        ASSERT_EQ(b.size() - 1, MxfIndexTableWriter::SegmentSize(c.deltas, c.slices, c.entries, c.bad));
        // The entry array is the last item: tag, length, count, entry length.
        const size_t entryItem = b.size() - c.entries * c.entryLength - 12;
        EXPECT_EQ(BE(b, entryItem, 2), 0x3F0Au);
        EXPECT_EQ(BE(b, entryItem + 2, 2), 8 + c.entries * c.entryLength);
        EXPECT_EQ(BE(b, entryItem + 4, 4), c.entries);
        EXPECT_EQ(BE(b, entryItem + 8, 4), c.entryLength);
    }
    MxfIndexSegment tooMany;
    tooMany.entries.resize(MxfIndexTableWriter::kMaxEntries + 1);
    MxfKlvWriter w;
    EXPECT_THROW(MxfIndexTableWriter::Write(w, tooMany), std::length_error);
    MxfIndexSegment twoSlices;
    twoSlices.sliceCount = 2;
    EXPECT_THROW(MxfIndexTableWriter::Write(w, twoSlices), std::invalid_argument);
    EXPECT_EQ(w.Size(), 0u);
}
