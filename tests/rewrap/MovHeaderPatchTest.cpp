// The movie header patches over headers built here atom by atom: where they
// write, and every header they must refuse rather than misread.
#include "ImportError.h"
#include "MovHeaderPatch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

void Put32(Bytes& bytes, uint64_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(static_cast<uint8_t>(value >> shift));
}

Bytes Atom(const char* type, const Bytes& body) {
    Bytes atom;
    Put32(atom, 8 + body.size());
    atom.insert(atom.end(), type, type + 4);
    atom.insert(atom.end(), body.begin(), body.end());
    return atom;
}

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

// A 'moov' whose track of handler `handler` has composition offsets of
// (count, offset) pairs.
Bytes Movie(const char* handler, std::vector<std::pair<uint32_t, int32_t>> entries) {
    Bytes hdlr(4, 0), ctts(4, 0);
    Put32(hdlr, 0);
    hdlr.insert(hdlr.end(), handler, handler + 4);
    Put32(hdlr, 0);
    Put32(ctts, entries.size());
    for (const auto& [count, offset] : entries) {
        Put32(ctts, count);
        Put32(ctts, static_cast<uint32_t>(offset));
    }
    const Bytes mdia =
        Atom("mdia", Join({Atom("hdlr", hdlr), Atom("minf", Atom("stbl", Atom("ctts", ctts)))}));
    return Atom("moov", Atom("trak", mdia));
}

// Where the first entry's offset lies in Movie(): moov, trak, mdia, hdlr
// (8 + 16), minf, stbl, ctts headers, version and count, first count.
constexpr size_t kFirstOffset = 8 + 8 + 8 + 24 + 8 + 8 + 8 + 8 + 4;

TEST(MovHeaderPatchTest, SetsTheFirstOffsetOrRefusesTheHeader) {
    const struct {
        const char* name;
        Bytes movie;
        int64_t written, actual;
        bool sets;
    } kCases[] = {
        {"leading B pictures", Movie("vide", {{1, 0}, {2, 512}}), 0, 1024, true},
        {"offset at 0", Movie("vide", {{1, 0}}), 0, 0, true},
        {"largest offset", Movie("vide", {{1, 0}}), 0, INT32_MAX, true},
        {"negative written offset", Movie("vide", {{1, -512}}), -512, 512, true},
        {"offset past 32 bits", Movie("vide", {{1, 0}}), 0, int64_t{INT32_MAX} + 1, false},
        {"negative offset", Movie("vide", {{1, 0}}), 0, -1, false},
        {"first entry shared", Movie("vide", {{2, 0}}), 0, 1024, false},
        {"other offset written", Movie("vide", {{1, 512}}), 0, 1024, false},
        {"no offsets", Movie("vide", {}), 0, 1024, false},
        {"sound track only", Movie("soun", {{1, 0}}), 0, 1024, false},
        {"empty", {}, 0, 1024, false},
        {"not a movie header", Atom("free", Bytes(16, 0)), 0, 1024, false},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        Bytes movie = c.movie;
        if (!c.sets) {
            EXPECT_THROW(qzrewrap::SetFirstCompositionOffset(movie, c.written, c.actual),
                         qzimport::ImportError);
            EXPECT_EQ(movie, c.movie);
            continue;
        }
        const qzrewrap::HeaderPatch patch = qzrewrap::SetFirstCompositionOffset(movie, c.written, c.actual);
        EXPECT_EQ(patch.offset, kFirstOffset);
        EXPECT_EQ(patch.length, 4u);
        Bytes expected = c.movie;
        for (size_t i = 0; i < 4; ++i)
            expected[kFirstOffset + i] = static_cast<uint8_t>(uint64_t(c.actual) >> (24 - 8 * i));
        EXPECT_EQ(movie, expected);
    }
}

// Sizes that overrun their parent, or run short of a header, are refused.
TEST(MovHeaderPatchTest, AtomSizesOutOfTheirParentAreRefused) {
    for (const size_t at : {size_t{0}, size_t{8}, size_t{16}}) {
        for (const uint8_t size : {uint8_t{0xff}, uint8_t{4}}) {
            Bytes movie = Movie("vide", {{1, 0}});
            movie[at + 3] = size;
            movie[at] = movie[at + 1] = movie[at + 2] = size == 0xff ? 0x7f : 0;
            EXPECT_THROW(qzrewrap::SetFirstCompositionOffset(movie, 0, 1), qzimport::ImportError) << at;
        }
    }
}

// A track of a header of `version` (0 or 1) whose alternate group is `group`.
Bytes Track(uint8_t version, uint8_t group, size_t length = 0) {
    Bytes body(version == 1 ? 96 : 84, 0);
    body[0] = version;
    body[(version == 1 ? 46 : 34) + 1] = group;
    if (length) body.resize(length);
    return Atom("trak", Atom("tkhd", body));
}

TEST(MovHeaderPatchTest, EveryTrackLeavesItsAlternateGroup) {
    // moov 8 + a version 0 track 100: the second track's group at 108 + 16 + 34.
    const struct {
        Bytes movie;
        size_t offset, length;  // of the patch; SIZE_MAX: refused
    } kCases[] = {
        {Atom("moov", Join({Track(0, 0), Track(0, 1), Track(0, 1), Track(0, 1), Track(0, 1)})), 158, 302},
        {Atom("moov", Join({Track(0, 0), Track(1, 3)})), 8 + 100 + 16 + 46, 2},
        {Atom("moov", Join({Track(0, 0), Track(0, 0)})), 0, 0},
        {Atom("moov", Track(0, 1, 30)), 0, SIZE_MAX},
        {Atom("moov", Atom("trak", Atom("mdia", {}))), 0, SIZE_MAX},
    };
    for (const auto& c : kCases) {
        Bytes movie = c.movie;
        if (c.length == SIZE_MAX) {
            EXPECT_THROW(qzrewrap::ClearAlternateGroups(movie), qzimport::ImportError);
            continue;
        }
        const qzrewrap::HeaderPatch patch = qzrewrap::ClearAlternateGroups(movie);
        EXPECT_EQ(patch.offset, c.offset);
        EXPECT_EQ(patch.length, c.length);
        // Nothing left in a group, nothing before the patch changed.
        EXPECT_EQ(qzrewrap::ClearAlternateGroups(movie).length, 0u);
        EXPECT_TRUE(std::equal(movie.begin(), movie.begin() + patch.offset, c.movie.begin()));
    }
}

}  // namespace
