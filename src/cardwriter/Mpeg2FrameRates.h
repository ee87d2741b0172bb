#pragma once
// The frame rates an MPEG-2 sequence header's frame_rate_code names,
// indexed by the code (1 to 8; 0 is forbidden). The encoder writes codes
// from it and the essence reader reads rates back through it.
namespace ComVantoVantoQZ64RADPlug::CardWriter {

struct Mpeg2FrameRate {
    int numerator;
    int denominator;
};

inline constexpr int kMpeg2MaxFrameRateCode = 8;
inline constexpr Mpeg2FrameRate kMpeg2FrameRates[kMpeg2MaxFrameRateCode + 1] = {
    {0, 1},  {24000, 1001}, {24, 1}, {25, 1}, {30000, 1001}, {30, 1}, {50, 1}, {60000, 1001}, {60, 1}};

}  // namespace ComVantoVantoQZ64RADPlug::CardWriter
