// AudioFramePattern: how many 48 kHz audio samples belong to each video frame.
// At 30000/1001 the frames hold 1602, 1601, 1602, 1601, 1602 samples (8008 per
// five frames), at 60000/1001 800, 801, 801, 801, 801 (4004 per five frames);
// at 24000/1001, 24, 25, 30, 50 and 60 every frame holds the same count.
// Frame f starts at sample round(f * 48000 / rate), rounding half up at
// 30000/1001 and down at every other rate.
// Thread-safety: stateless; all members may be called concurrently.
#pragma once

#include <cstdint>

namespace ComVantoVantoQZ64RADPlug::CardWriter {

class AudioFramePattern {
public:
    // True for the frame rates listed above.
    static bool IsSupportedRate(int rateNumerator, int rateDenominator);

    // Absolute 48 kHz sample index at which frame `frame` (>= 0, counted from the
    // clip's first frame) starts; FirstSampleOfFrame(n) is also the total sample
    // count of the first n frames. Throws std::invalid_argument for unsupported
    // rates or a negative frame.
    static int64_t FirstSampleOfFrame(int rateNumerator, int rateDenominator, int64_t frame);

    // Samples in frame `frame`: FirstSampleOfFrame(frame + 1) - FirstSampleOfFrame(frame).
    static int SamplesInFrame(int rateNumerator, int rateDenominator, int64_t frame);

    // The largest SamplesInFrame of the rate (for buffer sizing).
    static int MaxSamplesInFrame(int rateNumerator, int rateDenominator);
};

}  // namespace ComVantoVantoQZ64RADPlug::CardWriter
