#include "ToneGenerator.h"

#include <cmath>
#include <stdexcept>
#include <string>

namespace ComVantoVantoQZ64RADPlug::CardWriter {

namespace {

constexpr int kMaxChannels = 54;  // 440 Hz * 54 stays below the 24 kHz Nyquist limit

// sin(2 pi k / 48000) for one period; every tone is a whole number of Hz, so
// its phase at sample n is (f * n) mod 48000 table steps, exactly.
const std::vector<double>& SineTable() {
    static const std::vector<double> table = [] {
        std::vector<double> t(ToneGenerator::kSampleRate);
        const double step = 2.0 * 3.14159265358979323846 / ToneGenerator::kSampleRate;
        for (int k = 0; k < ToneGenerator::kSampleRate; ++k) t[static_cast<size_t>(k)] = std::sin(step * k);
        return t;
    }();
    return table;
}

void CheckArguments(int channel, int64_t sampleIndex, int bitsPerSample) {
    if (channel < 0 || channel >= kMaxChannels)
        throw std::invalid_argument("ToneGenerator: channel out of range");
    if (sampleIndex < 0) throw std::invalid_argument("ToneGenerator: negative sample index");
    if (bitsPerSample != 16 && bitsPerSample != 24)
        throw std::invalid_argument("ToneGenerator: unsupported sample size " +
                                    std::to_string(bitsPerSample));
}

int32_t SampleUnchecked(const std::vector<double>& table, int64_t frequency, int64_t sampleIndex,
                        double scale) {
    const int64_t phase =
        (frequency * (sampleIndex % ToneGenerator::kSampleRate)) % ToneGenerator::kSampleRate;
    return static_cast<int32_t>(std::lround(table[static_cast<size_t>(phase)] * scale));
}

}  // namespace

int ToneGenerator::FrequencyOf(int channel) {
    if (channel < 0 || channel >= kMaxChannels)
        throw std::invalid_argument("ToneGenerator: channel out of range");
    return 440 * (channel + 1);
}

int32_t ToneGenerator::Sample(int channel, int64_t sampleIndex, int bitsPerSample) {
    CheckArguments(channel, sampleIndex, bitsPerSample);
    const double scale = kAmplitude * static_cast<double>(1 << (bitsPerSample - 1));
    return SampleUnchecked(SineTable(), FrequencyOf(channel), sampleIndex, scale);
}

void ToneGenerator::WriteSamples(int channel, int64_t firstSample, int64_t count, int bitsPerSample,
                                 uint8_t* dest) {
    CheckArguments(channel, firstSample, bitsPerSample);
    if (count < 0) throw std::invalid_argument("ToneGenerator: negative sample count");
    const std::vector<double>& table = SineTable();
    const double scale = kAmplitude * static_cast<double>(1 << (bitsPerSample - 1));
    const int64_t frequency = FrequencyOf(channel);
    const int bytes = bitsPerSample / 8;
    for (int64_t i = 0; i < count; ++i) {
        const uint32_t value =
            static_cast<uint32_t>(SampleUnchecked(table, frequency, firstSample + i, scale));
        for (int b = 0; b < bytes; ++b) *dest++ = static_cast<uint8_t>(value >> (8 * b));
    }
}

void ToneGenerator::AppendSamples(int channel, int64_t firstSample, int64_t count, int bitsPerSample,
                                  std::vector<uint8_t>& out) {
    CheckArguments(channel, firstSample, bitsPerSample);
    if (count < 0) throw std::invalid_argument("ToneGenerator: negative sample count");
    const size_t offset = out.size();
    out.resize(offset + static_cast<size_t>(count) * static_cast<size_t>(bitsPerSample / 8));
    WriteSamples(channel, firstSample, count, bitsPerSample, out.data() + offset);
}

}  // namespace ComVantoVantoQZ64RADPlug::CardWriter
