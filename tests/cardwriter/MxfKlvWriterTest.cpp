// The writer's length coding and fill arithmetic at their limits.
#include "MxfKlvWriter.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace ComVantoVantoQZ64RADPlug::CardWriter;

namespace {
using Bytes = std::vector<uint8_t>;
}

TEST(MxfKlvWriterTest, FillToReachesTheNextGridStepWithARoomyFill) {
    struct Case {
        uint64_t position, grid;
        size_t fill;
    } const cases[] = {{0, 512, 0}, {512, 512, 0}, {492, 512, 20}, {493, 512, 531},     {511, 512, 513},
                       {1, 8, 23},  {7, 1, 0},     {5, 16, 27},    {1024 + 3, 512, 509}};
    for (const Case& c : cases) {
        const size_t fill = MxfKlvWriter::FillTo(c.position, c.grid);
        EXPECT_EQ(fill, c.fill) << c.position << " on " << c.grid;
        EXPECT_EQ((c.position + fill) % c.grid, 0u);
        MxfKlvWriter w;
        w.Fill(fill);
        EXPECT_EQ(w.Size(), fill);
    }
    MxfKlvWriter w;
    EXPECT_THROW(w.Fill(19), std::invalid_argument);
    w.Fill(20);
    EXPECT_EQ(Bytes(w.Bytes().begin() + 16, w.Bytes().end()), (Bytes{0x83, 0, 0, 0}));
}

TEST(MxfKlvWriterTest, LengthsUseFourByteBerUpToItsLimit) {
    MxfKlvWriter w;
    w.Ber4(0);
    w.Ber4(0x7F);
    w.Ber4(0x80);
    w.Ber4(MxfKlvWriter::kMaxBerLength);
    EXPECT_EQ(w.Bytes(), (Bytes{0x83, 0, 0, 0, 0x83, 0, 0, 0x7F, 0x83, 0, 0, 0x80, 0x83, 0xFF, 0xFF, 0xFF}));
    EXPECT_THROW(w.Ber4(MxfKlvWriter::kMaxBerLength + 1), std::length_error);
    EXPECT_THROW(w.Klv(MxfKey{}, nullptr, MxfKlvWriter::kMaxBerLength + 1), std::length_error);
    const Bytes big(0x10000, 1);
    EXPECT_THROW(w.ItemBytes(0x3C0A, big.data(), big.size()), std::length_error);

    // A KLV begun and ended gets the length of what was appended in between.
    w.Clear();
    const size_t start = w.BeginKlv(MxfKey{});
    w.ItemU16(0x3B05, 0x0102);
    w.EndKlv(start);
    EXPECT_EQ(w.Bytes(),
              (Bytes{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x83, 0, 0, 6, 0x3B, 0x05, 0, 2, 1, 2}));
}
