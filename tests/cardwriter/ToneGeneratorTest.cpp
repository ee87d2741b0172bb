#include "ToneGenerator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <stdexcept>

#include "AudioFramePattern.h"

namespace CW = ComVantoVantoQZ64RADPlug::CardWriter;

namespace {

int32_t Expected(int channel, int64_t n, int bits) {
    const long double pi = 3.141592653589793238462643383279502884L;
    const long double f = 440.0L * (channel + 1);
    const long double phase = std::fmod(f * static_cast<long double>(n), 48000.0L) / 48000.0L;
    return static_cast<int32_t>(std::lround(0.5L * std::ldexp(1.0L, bits - 1) * std::sin(2 * pi * phase)));
}

int32_t LittleEndian(const std::vector<uint8_t>& b, size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) v |= static_cast<uint32_t>(b[at + static_cast<size_t>(i)]) << (8 * i);
    const int shift = 32 - 8 * bytes;  // sign-extend
    return static_cast<int32_t>(v << shift) >> shift;
}

}  // namespace

TEST(ToneGeneratorTest, EachChannelIsItsOwnSineAtHalfScale) {
    std::set<int> frequencies;
    for (int ch = 0; ch < 8; ++ch) frequencies.insert(CW::ToneGenerator::FrequencyOf(ch));
    EXPECT_EQ(frequencies.size(), 8u);
    EXPECT_EQ(CW::ToneGenerator::FrequencyOf(0), 440);

    for (int bits : {16, 24}) {
        int32_t peak = 0;
        for (int ch = 0; ch < 4; ++ch) {
            // Early samples, a frame boundary deep into a long clip and far beyond.
            for (int64_t n : {int64_t{0}, int64_t{1}, int64_t{109}, int64_t{47999}, int64_t{48000},
                              int64_t{172972800}, int64_t{1} << 40}) {
                EXPECT_NEAR(CW::ToneGenerator::Sample(ch, n, bits), Expected(ch, n, bits), 1)
                    << "ch " << ch << " n " << n << " bits " << bits;
            }
            for (int64_t n = 0; n < 4800; ++n) peak = std::max(peak, CW::ToneGenerator::Sample(ch, n, bits));
        }
        EXPECT_EQ(peak, 1 << (bits - 2));  // 440 Hz hits its crest exactly on a sample
    }
    // A whole number of Hz: the tone repeats every 48000 samples.
    EXPECT_EQ(CW::ToneGenerator::Sample(2, 12345, 16), CW::ToneGenerator::Sample(2, 12345 + 48000 * 777, 16));
}

TEST(ToneGeneratorTest, WrittenRangesMatchSingleSamplesAndPackLittleEndian) {
    for (int bits : {16, 24}) {
        const int bytes = bits / 8;
        std::vector<uint8_t> whole;
        CW::ToneGenerator::AppendSamples(1, 1000, 3000, bits, whole);
        ASSERT_EQ(whole.size(), 3000u * bytes);
        bool sawNegative = false;
        for (int64_t i = 0; i < 3000; ++i) {
            const int32_t v = LittleEndian(whole, static_cast<size_t>(i) * bytes, bytes);
            ASSERT_EQ(v, CW::ToneGenerator::Sample(1, 1000 + i, bits)) << i;
            sawNegative |= v < 0;
        }
        EXPECT_TRUE(sawNegative);

        // Writing in pieces gives the same bytes: frames written separately join up.
        std::vector<uint8_t> pieces = {0xAA};
        CW::ToneGenerator::AppendSamples(1, 1000, 1602, bits, pieces);
        CW::ToneGenerator::AppendSamples(1, 2602, 1398, bits, pieces);
        EXPECT_EQ(pieces[0], 0xAA);
        EXPECT_EQ(std::vector<uint8_t>(pieces.begin() + 1, pieces.end()), whole);
    }
    // Byte order of a known value: sample 1 of 440 Hz at 16 bits.
    std::vector<uint8_t> one;
    CW::ToneGenerator::AppendSamples(0, 1, 1, 16, one);
    const int32_t v = CW::ToneGenerator::Sample(0, 1, 16);
    ASSERT_EQ(one.size(), 2u);
    EXPECT_EQ(one[0], static_cast<uint8_t>(v & 0xFF));
    EXPECT_EQ(one[1], static_cast<uint8_t>((v >> 8) & 0xFF));

    std::vector<uint8_t> none;
    CW::ToneGenerator::AppendSamples(0, 5, 0, 24, none);
    EXPECT_TRUE(none.empty());
}

TEST(ToneGeneratorTest, RejectsBadArguments) {
    std::vector<uint8_t> out;
    EXPECT_THROW(CW::ToneGenerator::Sample(-1, 0, 16), std::invalid_argument);
    EXPECT_THROW(CW::ToneGenerator::Sample(54, 0, 16), std::invalid_argument);
    EXPECT_THROW(CW::ToneGenerator::Sample(0, -1, 16), std::invalid_argument);
    EXPECT_THROW(CW::ToneGenerator::Sample(0, 0, 20), std::invalid_argument);
    EXPECT_THROW(CW::ToneGenerator::AppendSamples(0, 0, -1, 16, out), std::invalid_argument);
    EXPECT_THROW(CW::ToneGenerator::AppendSamples(0, 0, 10, 32, out), std::invalid_argument);
    EXPECT_TRUE(out.empty());
}

TEST(AudioFramePatternTest, FiveFramePatternsAtNtscRates) {
    const int ntsc[] = {1602, 1601, 1602, 1601, 1602};
    const int ntsc60[] = {800, 801, 801, 801, 801};
    const int64_t ntscStarts[] = {0, 1602, 3203, 4805, 6406, 8008};
    const int64_t ntsc60Starts[] = {0, 800, 1601, 2402, 3203, 4004};
    for (int64_t cycle : {int64_t{0}, int64_t{1}, int64_t{600}, int64_t{1000000}}) {
        for (int f = 0; f < 5; ++f) {
            EXPECT_EQ(CW::AudioFramePattern::SamplesInFrame(30000, 1001, 5 * cycle + f), ntsc[f]);
            EXPECT_EQ(CW::AudioFramePattern::SamplesInFrame(60000, 1001, 5 * cycle + f), ntsc60[f]);
        }
        for (int f = 0; f <= 5; ++f) {
            EXPECT_EQ(CW::AudioFramePattern::FirstSampleOfFrame(30000, 1001, 5 * cycle + f),
                      8008 * cycle + ntscStarts[f]);
            EXPECT_EQ(CW::AudioFramePattern::FirstSampleOfFrame(60000, 1001, 5 * cycle + f),
                      4004 * cycle + ntsc60Starts[f]);
        }
    }
    EXPECT_EQ(CW::AudioFramePattern::MaxSamplesInFrame(30000, 1001), 1602);
    EXPECT_EQ(CW::AudioFramePattern::MaxSamplesInFrame(60000, 1001), 801);
}

TEST(AudioFramePatternTest, ConstantCountsAtOtherRates) {
    struct Rate {
        int num, den, samples;
    };
    for (const Rate& r : {Rate{24000, 1001, 2002}, Rate{24, 1, 2000}, Rate{25, 1, 1920}, Rate{30, 1, 1600},
                          Rate{50, 1, 960}, Rate{60, 1, 800}}) {
        EXPECT_TRUE(CW::AudioFramePattern::IsSupportedRate(r.num, r.den));
        for (int64_t f : {int64_t{0}, int64_t{1}, int64_t{2999}, int64_t{123456}}) {
            EXPECT_EQ(CW::AudioFramePattern::SamplesInFrame(r.num, r.den, f), r.samples)
                << r.num << "/" << r.den;
            EXPECT_EQ(CW::AudioFramePattern::FirstSampleOfFrame(r.num, r.den, f), f * r.samples);
        }
    }
    // 25 fps: frame 3 holds samples 5760..7679; 250 frames hold 480000 samples.
    EXPECT_EQ(CW::AudioFramePattern::FirstSampleOfFrame(25, 1, 3), 5760);
    EXPECT_EQ(CW::AudioFramePattern::FirstSampleOfFrame(25, 1, 4) - 1, 7679);
    EXPECT_EQ(CW::AudioFramePattern::FirstSampleOfFrame(25, 1, 250), 480000);
    EXPECT_EQ(CW::AudioFramePattern::FirstSampleOfFrame(50, 2, 250), 480000);  // unreduced rate
}

TEST(AudioFramePatternTest, RejectsUnknownRatesAndNegativeFrames) {
    EXPECT_FALSE(CW::AudioFramePattern::IsSupportedRate(29, 1));
    EXPECT_FALSE(CW::AudioFramePattern::IsSupportedRate(30000, 0));
    EXPECT_FALSE(CW::AudioFramePattern::IsSupportedRate(-25, -1));
    EXPECT_THROW(CW::AudioFramePattern::FirstSampleOfFrame(29, 1, 0), std::invalid_argument);
    EXPECT_THROW(CW::AudioFramePattern::FirstSampleOfFrame(25, 1, -1), std::invalid_argument);
    EXPECT_THROW(CW::AudioFramePattern::SamplesInFrame(30000, 1001, -1), std::invalid_argument);
}
