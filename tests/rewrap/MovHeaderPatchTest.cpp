// The movie header patches over headers built here atom by atom: where they
// write, and every header they must refuse rather than misread.
#include "ImportError.h"
#include "MovHeaderPatch.h"

#include <gtest/gtest.h>

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

// A track header of `version` (0 or 1) with alternate group `group`, cut to
// `length` bytes of body when given.
Bytes TrackHeader(uint8_t version, uint16_t group, size_t length = 0) {
    Bytes body(version == 1 ? 96 : 84, 0);
    body[0] = version;
    const size_t at = version == 1 ? 46 : 34;
    body[at] = static_cast<uint8_t>(group >> 8);
    body[at + 1] = static_cast<uint8_t>(group);
    if (length) body.resize(length);
    return Atom("tkhd", body);
}

// Every track of the header in group 0, and nothing else changed.
TEST(MovHeaderPatchTest, EveryTrackLeavesItsAlternateGroup) {
    const Bytes video = Atom("trak", TrackHeader(0, 0)), sound = Atom("trak", TrackHeader(0, 1)),
                wide = Atom("trak", TrackHeader(1, 3));
    const struct {
        const char* name;
        Bytes movie;
        size_t offset, length;  // of the patch; length 0: nothing changed
        bool refused;
    } kCases[] = {
        {"picture and four sound tracks", Atom("moov", Join({video, sound, sound, sound, sound})),
         8 + 100 + 8 + 8 + 34, 100 * 3 + 2, false},
        {"64-bit times", Atom("moov", Join({video, wide})), 8 + 100 + 8 + 8 + 46, 2, false},
        {"every track in group 0 already", Atom("moov", Join({video, video})), 0, 0, false},
        {"no tracks", Atom("moov", Bytes(8, 0)), 0, 0, false},
        {"a track header cut short", Atom("moov", Atom("trak", TrackHeader(0, 1, 30))), 0, 0, true},
        {"a track without its header", Atom("moov", Atom("trak", Atom("mdia", {}))), 0, 0, true},
        {"not a movie header", Atom("free", Bytes(16, 0)), 0, 0, true},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        Bytes movie = c.movie;
        if (c.refused) {
            EXPECT_THROW(qzrewrap::ClearAlternateGroups(movie), qzimport::ImportError);
            continue;
        }
        const qzrewrap::HeaderPatch patch = qzrewrap::ClearAlternateGroups(movie);
        EXPECT_EQ(patch.length, c.length);
        if (c.length) {
            EXPECT_EQ(patch.offset, c.offset);
        }
        // Only the groups changed, and each is 0 now.
        Bytes expected = c.movie;
        for (size_t at = 0; at + 8 <= expected.size(); ++at)
            if (std::string(expected.begin() + at + 4, expected.begin() + at + 8) == "tkhd") {
                const size_t group = at + 8 + (expected[at + 8] == 1 ? 46 : 34);
                expected[group] = expected[group + 1] = 0;
            }
        EXPECT_EQ(movie, expected);
    }
}

}  // namespace
