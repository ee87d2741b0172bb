#include "AudioFramePattern.h"

#include <algorithm>
#include <numeric>
#include <stdexcept>

namespace ComVantoVantoQZ64RADPlug::CardWriter {

namespace {

constexpr int64_t kAudioRate = 48000;

struct Rate {
    int64_t numerator = 0;
    int64_t denominator = 0;
};

bool Reduce(int rateNumerator, int rateDenominator, Rate& rate) {
    if (rateNumerator <= 0 || rateDenominator <= 0) return false;
    const int g = std::gcd(rateNumerator, rateDenominator);
    rate = {rateNumerator / g, rateDenominator / g};
    static constexpr int64_t kRates[][2] = {{24000, 1001}, {24, 1}, {25, 1}, {30000, 1001},
                                            {30, 1},       {50, 1}, {60, 1}, {60000, 1001}};
    for (const auto& r : kRates) {
        if (r[0] == rate.numerator && r[1] == rate.denominator) return true;
    }
    return false;
}

}  // namespace

bool AudioFramePattern::IsSupportedRate(int rateNumerator, int rateDenominator) {
    Rate rate;
    return Reduce(rateNumerator, rateDenominator, rate);
}

int64_t AudioFramePattern::FirstSampleOfFrame(int rateNumerator, int rateDenominator, int64_t frame) {
    Rate rate;
    if (!Reduce(rateNumerator, rateDenominator, rate))
        throw std::invalid_argument("AudioFramePattern: unsupported frame rate");
    // Frames beyond ~1e11 would overflow the products below; no card gets near.
    if (frame < 0 || frame > (int64_t{1} << 40))
        throw std::invalid_argument("AudioFramePattern: frame out of range");
    const int64_t scaled = frame * kAudioRate * rate.denominator;  // sample index times the numerator
    if (rate.numerator == 30000 && rate.denominator == 1001) {
        // Rounded half up: 1602, 1601, 1602, 1601, 1602.
        return (2 * scaled + rate.numerator) / (2 * rate.numerator);
    }
    return scaled / rate.numerator;  // rounded down: 800, 801, 801, 801, 801 at 60000/1001
}

int AudioFramePattern::SamplesInFrame(int rateNumerator, int rateDenominator, int64_t frame) {
    return static_cast<int>(FirstSampleOfFrame(rateNumerator, rateDenominator, frame + 1) -
                            FirstSampleOfFrame(rateNumerator, rateDenominator, frame));
}

int AudioFramePattern::MaxSamplesInFrame(int rateNumerator, int rateDenominator) {
    int most = 0;
    for (int64_t f = 0; f < 5; ++f) most = std::max(most, SamplesInFrame(rateNumerator, rateDenominator, f));
    return most;
}

}  // namespace ComVantoVantoQZ64RADPlug::CardWriter
