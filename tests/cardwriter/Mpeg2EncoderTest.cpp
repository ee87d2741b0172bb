#include "Mpeg2Encoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <numeric>
#include <stdexcept>

#include "CardTestSupport.h"
#include "DrawnNumber.h"

namespace CW = ComVantoVantoQZ64RADPlug::CardWriter;
using cardwriter_test::ProbeValue;
using cardwriter_test::RunPeer;
using cardwriter_test::ScratchFolder;
using cardwriter_test::ShellQuote;

namespace {

// Offsets of every start code (the byte after 00 00 01) in a picture.
std::vector<size_t> StartCodes(const std::vector<uint8_t>& b) {
    std::vector<size_t> at;
    for (size_t i = 0; i + 3 < b.size(); ++i) {
        if (b[i] == 0 && b[i + 1] == 0 && b[i + 2] == 1) {
            at.push_back(i + 3);
            i += 2;
        }
    }
    return at;
}

struct ParsedHeaders {
    bool sequenceHeader = false;
    int gopClosed = -1;  // closed_gop bit of the GOP header, -1 without one
    int brokenLink = -1;
    int temporalReference = -1;
    int codingType = -1;
    int slices = 0;
    size_t firstSlice = 0;
};

// Reads the header fields back from the coded bytes, bit positions as MPEG-2 lays them out.
ParsedHeaders Parse(const std::vector<uint8_t>& b) {
    ParsedHeaders h;
    for (size_t at : StartCodes(b)) {
        if (at + 4 >= b.size()) break;
        const uint8_t code = b[at];
        const uint8_t* p = &b[at + 1];
        if (code == 0xB3) {
            h.sequenceHeader = true;
        } else if (code == 0xB8) {
            h.gopClosed = (p[3] >> 6) & 1;
            h.brokenLink = (p[3] >> 5) & 1;
        } else if (code == 0x00) {
            h.temporalReference = (p[0] << 2) | (p[1] >> 6);
            h.codingType = (p[1] >> 3) & 7;
        } else if (code >= 0x01 && code <= 0xAF) {
            if (h.slices++ == 0) h.firstSlice = at - 3;
        }
    }
    return h;
}

CW::Mpeg2Settings Settings(int width, int height, int num, int den, bool interlaced, int gop = 15, int b = 2,
                           bool closed = true) {
    // Top field first, 50 Mbps CBR: the defaults.
    return {width, height, num, den, interlaced, true, 50000000, true, gop, b, closed};
}

}  // namespace

// The example group of the index table convention: stored I2 B0 B1 P5 B3 B4, then I8.
TEST(Mpeg2EncoderTest, GroupOfSixFollowsIndexEntryConvention) {
    CW::Mpeg2Settings s = Settings(1920, 1080, 30000, 1001, true, 6, 2);
    s.bitRate = 1000000;
    CW::Mpeg2Encoder encoder(s, 12);
    const std::string types = "IBBPBBIBBPBB";
    const int display[] = {2, 0, 1, 5, 3, 4, 8, 6, 7, 11, 9, 10};
    const int temporal[] = {1, 1, -2, 1, 1, -2};
    const int displayOffset[] = {2, -1, -1, 2, -1, -1};
    for (int k = 0; k < 12; ++k) {
        SCOPED_TRACE(k);
        const CW::CodedPicture p = encoder.Picture(k);
        EXPECT_EQ(p.type, types[k]);
        EXPECT_EQ(p.decodeIndex, k);
        EXPECT_EQ(p.displayIndex, display[k]);
        EXPECT_EQ(p.temporalReference, display[k] % 6);
        EXPECT_EQ(p.temporalOffset, temporal[k % 6]);
        EXPECT_EQ(p.displayOffset, displayOffset[k % 6]);
        EXPECT_EQ(p.keyFrameOffset, -(k % 6));
        EXPECT_EQ(p.gopStoredPosition, k % 6);
        EXPECT_EQ(p.startsGop, k % 6 == 0);
    }
    EXPECT_EQ(CW::Mpeg2Encoder::DisplayOrder(s, 12), std::vector<int64_t>(display, display + 12));
}

// For every GOP shape and stream length: the order is a permutation, the index
// values agree with it, no B picture lacks its following anchor, and the coded
// headers carry what the struct says.
TEST(Mpeg2EncoderTest, LayoutInvariantsForAllShapes) {
    for (int gop : {1, 2, 3, 6, 15}) {
        for (int b = 0; b < std::min(gop, 4); ++b) {
            for (bool closed : {true, false}) {
                for (int64_t frames : {1, 2, 5, 16, 37}) {
                    SCOPED_TRACE(::testing::Message() << "N=" << gop << " B=" << b << " closed=" << closed
                                                      << " frames=" << frames);
                    CW::Mpeg2Settings s = Settings(1280, 720, 50, 1, false, gop, b, closed);
                    s.bitRate = 1000000;
                    CW::Mpeg2Encoder encoder(s, frames);
                    std::vector<int64_t> order = CW::Mpeg2Encoder::DisplayOrder(s, frames);
                    std::vector<int64_t> sorted = order;
                    std::sort(sorted.begin(), sorted.end());
                    std::vector<int64_t> identity(static_cast<size_t>(frames));
                    std::iota(identity.begin(), identity.end(), 0);
                    ASSERT_EQ(sorted, identity);

                    int64_t gopStart = 0;
                    for (int64_t k = 0; k < frames; ++k) {
                        const CW::CodedPicture p = encoder.Picture(k);
                        if (p.startsGop) gopStart = k;
                        EXPECT_EQ(p.displayIndex, order[static_cast<size_t>(k)]);
                        EXPECT_EQ(encoder.DecodeIndexOf(p.displayIndex), k);
                        // The entry at k names where the picture displayed at k is stored.
                        EXPECT_EQ(encoder.DisplayIndexOf(k + p.temporalOffset), k);
                        EXPECT_EQ(p.displayOffset, p.displayIndex - k);
                        EXPECT_EQ(k + p.keyFrameOffset, gopStart);
                        EXPECT_EQ(p.startsGop, p.type == 'I');
                        EXPECT_EQ(p.closedGop, closed || gopStart == 0);
                        // Display range of a GOP equals its stored range.
                        EXPECT_GE(p.displayIndex, gopStart);
                        EXPECT_LT(p.displayIndex, gopStart + gop);
                        if (p.type == 'B') {
                            bool anchorAfter = false;
                            for (int64_t j = gopStart; j < k; ++j) {
                                const int64_t d = encoder.DisplayIndexOf(j);
                                if (d > p.displayIndex) anchorAfter = true;
                            }
                            EXPECT_TRUE(anchorAfter) << "B picture " << k << " has no following anchor";
                        }
                        const ParsedHeaders h = Parse(p.bytes);
                        EXPECT_EQ(h.sequenceHeader, p.startsGop);
                        EXPECT_EQ(h.gopClosed, p.startsGop ? int(p.closedGop) : -1);
                        if (p.startsGop) {
                            EXPECT_EQ(h.brokenLink, 0);
                        }
                        EXPECT_EQ(h.temporalReference, p.temporalReference);
                        EXPECT_EQ(h.codingType, p.type == 'I' ? 1 : p.type == 'P' ? 2 : 3);
                        EXPECT_EQ(h.slices, 45);
                        // Counted without writing; here unpadded, as 1 Mbps is below the coded size.
                        EXPECT_EQ(encoder.PictureSize(k), p.bytes.size());
                    }
                    // The stream ends on an anchor in display order: nothing waits for a later picture.
                    EXPECT_NE(encoder.Picture(encoder.DecodeIndexOf(frames - 1)).type, 'B');
                }
            }
        }
    }
}

TEST(Mpeg2EncoderTest, ConstantBitRateGivesEqualSizesAndExactAverage) {
    CW::Mpeg2Settings s = Settings(1920, 1080, 30000, 1001, true);
    s.bitRate = 50000000;
    CW::Mpeg2Encoder encoder(s, 300);
    uint64_t total = 0;
    for (int64_t k = 0; k < 300; ++k) {
        const uint64_t size = encoder.Picture(k).bytes.size();
        EXPECT_TRUE(size == 208541 || size == 208542) << k << ": " << size;
        EXPECT_EQ(encoder.PictureSize(k), size);
        total += size;
    }
    EXPECT_EQ(total, 300ull * 50000000 * 1001 / 30000 / 8);  // exactly 10 s of 50 Mbps
}

TEST(Mpeg2EncoderTest, VariableBitRateVariesAroundTheAverage) {
    CW::Mpeg2Settings s = Settings(1440, 1080, 25, 1, true, 12, 2);
    s.bitRate = 35000000;
    s.constantBitRate = false;
    CW::Mpeg2Encoder encoder(s, 300);
    std::map<char, std::pair<uint64_t, int>> byType;
    uint64_t total = 0, smallest = UINT64_MAX, largest = 0;
    for (int64_t k = 0; k < 300; ++k) {
        const CW::CodedPicture p = encoder.Picture(k);
        total += p.bytes.size();
        smallest = std::min<uint64_t>(smallest, p.bytes.size());
        largest = std::max<uint64_t>(largest, p.bytes.size());
        EXPECT_EQ(encoder.PictureSize(k), p.bytes.size());
        byType[p.type].first += p.bytes.size();
        byType[p.type].second += 1;
    }
    const double average = 35000000.0 / 25 / 8;
    EXPECT_NEAR(static_cast<double>(total) / 300, average, average * 0.03);
    EXPECT_GT(largest, smallest + smallest / 4);
    EXPECT_GT(byType['I'].first / byType['I'].second, byType['B'].first / byType['B'].second);
}

// The picture content depends only on the drawn number: an encoder starting
// its count one GOP later codes the same slices one GOP earlier.
TEST(Mpeg2EncoderTest, ContentIsAPureFunctionOfTheDrawnNumber) {
    CW::Mpeg2Settings s = Settings(1920, 1080, 30000, 1001, true);
    CW::Mpeg2Encoder from0(s, 60, 0);
    CW::Mpeg2Encoder from15(s, 45, 15);
    auto slices = [](const CW::CodedPicture& p) {
        const size_t first = Parse(p.bytes).firstSlice;
        size_t end = p.bytes.size();
        while (end > first && p.bytes[end - 1] == 0) --end;
        return std::vector<uint8_t>(p.bytes.begin() + static_cast<long>(first),
                                    p.bytes.begin() + static_cast<long>(end));
    };
    for (int64_t k = 0; k < 30; ++k) {
        const CW::CodedPicture a = from0.Picture(k + 15), b = from15.Picture(k);
        ASSERT_EQ(a.displayIndex, b.displayIndex + 15);
        EXPECT_EQ(slices(a), slices(b)) << k;
    }
    // Same call twice, and the buffer-reusing form, give identical pictures.
    CW::CodedPicture reused;
    reused.bytes.assign(5, 0xFF);
    from0.EncodePicture(7, reused);
    EXPECT_EQ(reused.bytes, from0.Picture(7).bytes);
    EXPECT_EQ(from0.Picture(7).bytes, from0.Picture(7).bytes);
    // Different numbers draw different slices.
    EXPECT_NE(slices(from0.Picture(1)), slices(from0.Picture(2)));
}

TEST(Mpeg2EncoderTest, RejectsSettingsAndIndicesItCannotWrite) {
    auto fails = [](CW::Mpeg2Settings s) {
        EXPECT_FALSE(CW::Mpeg2Encoder::CheckSettings(s).empty());
        EXPECT_THROW(CW::Mpeg2Encoder(s, 10), std::invalid_argument);
    };
    EXPECT_TRUE(CW::Mpeg2Encoder::CheckSettings(CW::Mpeg2Settings{}).empty());
    const std::function<void(CW::Mpeg2Settings&)> breaks[] = {
        [](auto& s) { s.width = 1000; },
        [](auto& s) { s.height = 2160; },
        [](auto& s) { s.rateNumerator = 29, s.rateDenominator = 1; },
        [](auto& s) { s.rateDenominator = 0; },
        [](auto& s) { s.gopLength = 0; },
        [](auto& s) { s.gopLength = 129; },
        [](auto& s) { s.bPictures = 15; },
        [](auto& s) { s.bitRate = 0; }};
    for (const auto& change : breaks) {
        CW::Mpeg2Settings s;
        change(s);
        fails(s);
    }
    EXPECT_THROW(CW::Mpeg2Encoder(CW::Mpeg2Settings{}, -1), std::invalid_argument);

    // Equivalent rate spellings are accepted.
    CW::Mpeg2Settings s;
    s.rateNumerator = 50;
    s.rateDenominator = 2;
    EXPECT_EQ(CW::Mpeg2Encoder(s, 1).FrameRateCode(), 3);

    CW::Mpeg2Encoder encoder(CW::Mpeg2Settings{}, 10);
    EXPECT_THROW(encoder.Picture(-1), std::out_of_range);
    EXPECT_THROW(encoder.Picture(10), std::out_of_range);
    EXPECT_THROW(encoder.DecodeIndexOf(10), std::out_of_range);
    CW::Mpeg2Encoder empty(CW::Mpeg2Settings{}, 0);
    EXPECT_THROW(empty.Picture(0), std::out_of_range);
    EXPECT_TRUE(CW::Mpeg2Encoder::DisplayOrder(CW::Mpeg2Settings{}, 0).empty());
}

// ---------------------------------------------------------------------------
// Decoding with ffmpeg.

namespace {

struct DecodeCase {
    const char* name;
    int width, height, num, den;
    bool interlaced, topFieldFirst;
    int64_t frames;
    bool closed, cbr;
    int gop, b;
    uint32_t bitRate;
    int64_t firstNumber;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const DecodeCase& c, std::ostream* os) {
    *os << c.name;
}

class Mpeg2DecodeTest : public ::testing::TestWithParam<DecodeCase> {};

}  // namespace

TEST_P(Mpeg2DecodeTest, FfmpegDecodesEveryFrameShowingItsDisplayIndex) {
    QZ_REQUIRE_TOOL("ffmpeg");
    QZ_REQUIRE_TOOL("ffprobe");
    const DecodeCase& c = GetParam();
    CW::Mpeg2Settings s = Settings(c.width, c.height, c.num, c.den, c.interlaced, c.gop, c.b, c.closed);
    s.topFieldFirst = c.topFieldFirst;
    s.constantBitRate = c.cbr;
    s.bitRate = c.bitRate;
    CW::Mpeg2Encoder encoder(s, c.frames, c.firstNumber);

    ScratchFolder folder;
    const std::string es = folder.Path() + "/video.m2v";
    std::vector<uint8_t> stream;
    CW::CodedPicture p;
    for (int64_t k = 0; k < c.frames; ++k) {
        encoder.EncodePicture(k, p);
        stream.insert(stream.end(), p.bytes.begin(), p.bytes.end());
    }
    ASSERT_TRUE(qztest::WriteFile(es, stream));

    const auto probe = RunPeer(
        "ffprobe -v error -select_streams v:0 -show_entries "
        "stream=codec_name,profile,pix_fmt,width,height,field_order,r_frame_rate "
        "-of default=noprint_wrappers=1 -f mpegvideo " +
        ShellQuote(es));
    ASSERT_EQ(probe.exitCode, 0) << probe.output;
    const std::string& out = probe.output;
    EXPECT_EQ(ProbeValue(out, "codec_name"), "mpeg2video");
    EXPECT_EQ(ProbeValue(out, "profile"), "4:2:2");
    EXPECT_EQ(ProbeValue(out, "pix_fmt"), "yuv422p");
    EXPECT_EQ(ProbeValue(out, "width"), std::to_string(c.width));
    EXPECT_EQ(ProbeValue(out, "height"), std::to_string(c.height));
    EXPECT_EQ(ProbeValue(out, "field_order"), !c.interlaced ? "progressive" : c.topFieldFirst ? "tt" : "bb");
    EXPECT_EQ(ProbeValue(out, "r_frame_rate"), std::to_string(c.num) + "/" + std::to_string(c.den));

    const std::string raw = folder.Path() + "/video.gray";
    const auto decode = RunPeer("ffmpeg -nostdin -v error -f mpegvideo -i " + ShellQuote(es) +
                                " -f rawvideo -pix_fmt gray -y " + ShellQuote(raw));
    EXPECT_EQ(decode.exitCode, 0);
    EXPECT_EQ(decode.output, "") << "decoder reported problems";
    const std::vector<uint8_t> frames = cardwriter_test::ReadFile(raw);
    const size_t frameBytes = static_cast<size_t>(c.width) * c.height;
    ASSERT_EQ(frames.size(), frameBytes * static_cast<size_t>(c.frames));
    for (int64_t f = 0; f < c.frames; ++f) {
        // Numbers beyond six digits are drawn modulo a million.
        EXPECT_EQ(qztest::ReadNumber(&frames[frameBytes * static_cast<size_t>(f)], c.width, c.height),
                  (c.firstNumber + f) % 1000000)
            << "decoded frame " << f;
    }
}

const DecodeCase kDecodeCases[] = {
    {"i1080_5994_closed_cbr", 1920, 1080, 30000, 1001, true, true, 40, true, true, 15, 2, 50000000, 99985},
    {"i1080_50_open_vbr", 1920, 1080, 25, 1, true, true, 41, false, false, 12, 2, 35000000, 0},
    {"i1440_5994_open_cbr", 1440, 1080, 30000, 1001, true, true, 40, false, true, 15, 2, 25000000, 120},
    {"i1080_50_bottom_first", 1920, 1080, 25, 1, true, false, 20, true, true, 12, 2, 50000000, 7},
    {"p1080_23976_ip_only", 1920, 1080, 24000, 1001, false, false, 40, true, true, 12, 0, 50000000, 0},
    {"p1080_24_three_b", 1920, 1080, 24, 1, false, false, 40, false, false, 12, 3, 35000000, 0},
    {"p1080_25", 1920, 1080, 25, 1, false, false, 40, true, true, 12, 2, 50000000, 0},
    {"p1080_2997", 1920, 1080, 30000, 1001, false, false, 40, false, true, 15, 2, 50000000, 0},
    {"p720_5994_open", 1280, 720, 60000, 1001, false, false, 40, false, true, 15, 2, 50000000, 0},
    {"p720_50_short_tail", 1280, 720, 50, 1, false, false, 37, true, false, 12, 2, 35000000, 999990},
    {"p720_60_single_frame", 1280, 720, 60, 1, false, false, 1, true, true, 15, 2, 50000000, 3}};

INSTANTIATE_TEST_SUITE_P(SizesAndRates, Mpeg2DecodeTest, ::testing::ValuesIn(kDecodeCases),
                         [](const ::testing::TestParamInfo<DecodeCase>& param) {
                             return std::string(param.param.name);
                         });
