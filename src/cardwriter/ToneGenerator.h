// ToneGenerator: the PCM test signal of the card writer. Channel c carries a
// sine tone of its own frequency; every sample is a pure function of (channel,
// absolute 48 kHz sample index, bit depth), so a test can recompute any sample
// that a reader returns.
// Thread-safety: stateless; all members may be called concurrently.
#pragma once

#include <cstdint>
#include <vector>

namespace ComVantoVantoQZ64RADPlug::CardWriter {

class ToneGenerator {
public:
    static constexpr int kSampleRate = 48000;
    // Peak level of every tone relative to full scale (-6 dBFS).
    static constexpr double kAmplitude = 0.5;

    // Tone frequency of channel c (0-based): 440 Hz * (c + 1). Always a whole
    // number of Hz below 24 kHz for c < 54, so the phase repeats exactly every
    // 48000 samples. Throws std::invalid_argument for c outside 0..53.
    static int FrequencyOf(int channel);

    // Signed sample value at bitsPerSample (16 or 24; others throw
    // std::invalid_argument) for the absolute sample index (>= 0, counted from
    // the clip's first frame).
    static int32_t Sample(int channel, int64_t sampleIndex, int bitsPerSample);

    // Writes count samples from firstSample on, little-endian, bitsPerSample / 8
    // bytes each (as AES3/BWF essence stores mono PCM), to dest, which must hold
    // count * bitsPerSample / 8 bytes.
    static void WriteSamples(int channel, int64_t firstSample, int64_t count, int bitsPerSample,
                             uint8_t* dest);
    // Same, appended to out.
    static void AppendSamples(int channel, int64_t firstSample, int64_t count, int bitsPerSample,
                              std::vector<uint8_t>& out);
};

}  // namespace ComVantoVantoQZ64RADPlug::CardWriter
