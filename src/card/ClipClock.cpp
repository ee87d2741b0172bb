#include "ClipClock.h"

#include "FBC_Utl_Timecode.h"

#include <limits>
#include <numeric>

namespace ComVantoVantoQZ64RADPlug {

namespace {

constexpr int64_t kMaxInt64 = std::numeric_limits<int64_t>::max();
// Rates are 32-bit timescales; the products below then stay inside 128 bits.
constexpr int64_t kMaxRate = std::numeric_limits<int32_t>::max();

}  // namespace

ClipClock::ClipClock(int64_t timescale, int64_t durationPerFrame, uint32_t roundedTimecodeBase,
                     bool dropFrame, int64_t soundRate)
    : m_roundedBase(roundedTimecodeBase),
      // At 50 and 60 pictures per second a timecode labels every second picture.
      m_picturesPerLabel(roundedTimecodeBase == 50 || roundedTimecodeBase == 60 ? 2 : 1),
      m_dropFrame(dropFrame) {
    if (timescale > 0 && durationPerFrame > 0 && timescale <= kMaxRate && durationPerFrame <= kMaxRate &&
        soundRate <= kMaxRate) {
        const int64_t divisor = std::gcd(timescale, durationPerFrame);
        m_timescale = timescale / divisor;
        m_durationPerFrame = durationPerFrame / divisor;
        m_soundRate = soundRate > 0 ? soundRate : 0;
    }
}

ClipClock ClipClock::OfFrameRate(_Frame_Rate rate, bool dropFrame) {
    const auto [timescale, durationPerFrame] = FBC_Utl_PictureRate(rate);
    if (timescale == 0) return ClipClock();
    return ClipClock(timescale, durationPerFrame, FBC_Utl_RoundedTimecodeBase(rate), dropFrame);
}

std::optional<int64_t> ClipClock::FramesOfTimecode(const CUSharedPtr<TimecodeInfo>& timecode) const {
    if (!HasTimecode() || !timecode) return std::nullopt;
    const uint64_t labels =
        FBC_Utl_TimecodeFromFrame(timecode, TimecodeBase(), m_dropFrame ? kTimecodeFlagDropFrame : 0u);
    // Under 256 hours of labels: far inside 63 bits.
    return static_cast<int64_t>(labels) * m_picturesPerLabel;
}

CUSharedPtr<TimecodeInfo> ClipClock::TimecodeOfFrames(int64_t frames) const {
    if (!HasTimecode() || frames < 0) return CUSharedPtr<TimecodeInfo>();
    const int64_t labels = frames / m_picturesPerLabel;
    const uint32_t base = TimecodeBase();
    const bool skips = m_dropFrame && base == 30;
    // A larger count would wrap its hours to a small, wrong timecode.
    const int64_t labelsPerHour = int64_t{base} * 3600 - (skips ? 108 : 0);
    if (labels / labelsPerHour > 255) return CUSharedPtr<TimecodeInfo>();
    CUSharedPtr<TimecodeInfo> timecode =
        FBC_Utl_FrameFromTimecode(labels, base, m_dropFrame ? kTimecodeFlagDropFrame : 0u);
    timecode->dropFrame = m_dropFrame ? 1 : 0;
    return timecode;
}

int64_t ClipClock::FramesPerDay() const {
    return FramesOfTimecode(TimecodeInfo::Create(24, 0, 0, 0)).value_or(0);
}

std::optional<int64_t> ClipClock::SampleAtFrame(int64_t frame) const {
    if (!HasSound() || frame < 0) return std::nullopt;
    // frame x durationPerFrame / timescale seconds x soundRate samples, in
    // 128 bits: below 2^63 x 2^31 x 2^31, doubled.
    const __int128 numerator = static_cast<__int128>(frame) * m_durationPerFrame * m_soundRate;
    const __int128 sample = RoundsToNearest()
                                ? (2 * numerator + m_timescale) / (2 * static_cast<__int128>(m_timescale))
                                : numerator / m_timescale;
    if (sample > kMaxInt64) return std::nullopt;
    return static_cast<int64_t>(sample);
}

std::optional<int64_t> ClipClock::FrameAtSample(int64_t sample) const {
    if (!HasSound() || sample < 0) return std::nullopt;
    // The last f whose start is at or before the sample, from the start's
    // own formula: toward zero, f x d x r / t <= s exactly when
    // f x d x r < (s + 1) x t; half away, when 2 x f x d x r < (2 x s + 1) x t.
    const __int128 perFrame = static_cast<__int128>(m_durationPerFrame) * m_soundRate;
    const __int128 frame = RoundsToNearest()
                               ? ((2 * static_cast<__int128>(sample) + 1) * m_timescale - 1) / (2 * perFrame)
                               : ((static_cast<__int128>(sample) + 1) * m_timescale - 1) / perFrame;
    if (frame > kMaxInt64) return std::nullopt;
    return static_cast<int64_t>(frame);
}

std::optional<int64_t> ClipClock::SamplesOfFrame(int64_t frame) const {
    if (frame == kMaxInt64) return std::nullopt;
    const std::optional<int64_t> first = SampleAtFrame(frame), next = SampleAtFrame(frame + 1);
    if (!first || !next) return std::nullopt;
    return *next - *first;
}

}  // namespace ComVantoVantoQZ64RADPlug
