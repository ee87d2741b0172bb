#pragma once
// A clip's clock: its picture rate as an exact fraction (30000/1001 pictures
// per second at 29.97), the timecode that labels its pictures (the rounded
// and the counting base, drop frame, pictures per label) and the sound
// samples each picture carries. Every rule that ties frames, timecodes and
// sound samples together is written here once: at 50 and 60 pictures per
// second a timecode labels every second picture; drop-frame counting skips
// two labels a minute but every tenth, at base 30 only; picture f's sound
// starts at sample f x rate of sound / rate of pictures, rounded half away
// from zero at exactly 30000/1001 and toward zero at every other rate (so
// 1602, 1601, 1602, 1601, 1602 samples at 29.97 and 800, 801, 801, 801, 801
// at 59.94, repeating). Integer arithmetic throughout, no floating point.
//
// Frames count pictures (a 59.94i frame is one picture of two fields); a
// frame count "since midnight" is a timecode read as pictures of the clip's
// rate. A value type, immutable once made: safe to share between threads.
#include "CUSharedPtr.h"
#include "FBCClipTypes.h"
#include "TimecodeInfo.h"

#include <cstdint>
#include <optional>

namespace ComVantoVantoQZ64RADPlug {

class ClipClock {
public:
    // The card's one sampling rate, in Hz.
    static constexpr int64_t kSoundRate = 48000;

    // A clock that knows nothing: no picture rate, no timecode.
    ClipClock() = default;
    // `timescale` / `durationPerFrame` pictures per second (a movie's edit
    // rate, `m_timescale` and `m_durationPerFrame`; kept reduced), its
    // timecode counting at `roundedTimecodeBase` pictures per second (60
    // at 59.94P; 0 for none), drop-frame when `dropFrame` is set, and
    // `soundRate` samples per second. A rate or a sound rate that is not
    // positive or passes 2^31 - 1 (a 32-bit timescale) leaves the clock
    // without a picture rate and sound samples; base 0 without timecodes.
    ClipClock(int64_t timescale, int64_t durationPerFrame, uint32_t roundedTimecodeBase, bool dropFrame,
              int64_t soundRate = kSoundRate);
    // The clock of a clip's recording frame rate (its clip information's
    // `_Frame_Rate`), at 48 kHz; an unknown rate gives the clock that knows
    // nothing.
    static ClipClock OfFrameRate(_Frame_Rate rate, bool dropFrame);

    // The picture rate, reduced (30000/1001, 25/1); 0/0 when unknown.
    int64_t Timescale() const { return m_timescale; }
    int64_t DurationPerFrame() const { return m_durationPerFrame; }
    int64_t SoundRate() const { return m_soundRate; }

    bool HasTimecode() const { return m_roundedBase != 0; }
    // The picture rate rounded to an integer: 24, 25, 30, 50 or 60 (0: no
    // timecode).
    uint32_t RoundedTimecodeBase() const { return m_roundedBase; }
    // Pictures one timecode label stands for: 2 at 50 and 60 pictures per
    // second, else 1.
    uint32_t PicturesPerLabel() const { return m_picturesPerLabel; }
    // The labels of a timecode second: 30 at 59.94P and 29.97, 25 at 50P.
    uint32_t TimecodeBase() const { return m_roundedBase / m_picturesPerLabel; }
    // The clip's drop-frame flag (it shows in timecodes' texts); labels are
    // skipped only where the timecode counts at base 30.
    bool DropFrame() const { return m_dropFrame; }

    // The first frame timecode `timecode` labels, as a count since midnight
    // (counted at the clock's base and drop frame, whatever the timecode's
    // own drop-frame field says); empty for a null timecode or without
    // timecode. A label drop-frame counting skips lands on the frames
    // before it.
    std::optional<int64_t> FramesOfTimecode(const CUSharedPtr<TimecodeInfo>& timecode) const;
    // The timecode labelling frame count `frames` since midnight (its
    // drop-frame field set from the clip's flag); hours count on past 24.
    // Null without timecode, for a negative count, or when the hours pass
    // what the 8-bit hours field holds.
    CUSharedPtr<TimecodeInfo> TimecodeOfFrames(int64_t frames) const;
    // The frames of a day (24:00:00:00 as a count); 0 without timecode.
    int64_t FramesPerDay() const;

    // The sound sample at which frame `frame` starts, counting from frame 0
    // at sample 0 (frame may be the frame count itself: the end of the
    // last). Empty for a negative frame, without sound samples, or past 64
    // bits.
    std::optional<int64_t> SampleAtFrame(int64_t frame) const;
    // The frame whose sound holds sample `sample`: the last frame f with
    // SampleAtFrame(f) <= sample. Empty for a negative sample or without
    // sound samples.
    std::optional<int64_t> FrameAtSample(int64_t sample) const;
    // The samples of frame `frame`.
    std::optional<int64_t> SamplesOfFrame(int64_t frame) const;

    bool operator==(const ClipClock& other) const = default;

private:
    // Whether sample positions round half away from zero (at exactly
    // 30000/1001) rather than toward zero.
    bool RoundsToNearest() const { return m_timescale == 30000 && m_durationPerFrame == 1001; }
    bool HasSound() const { return m_timescale > 0 && m_soundRate > 0; }

    int64_t m_timescale = 0;
    int64_t m_durationPerFrame = 0;
    uint32_t m_roundedBase = 0;
    uint32_t m_picturesPerLabel = 1;
    bool m_dropFrame = false;
    int64_t m_soundRate = 0;
};

}  // namespace ComVantoVantoQZ64RADPlug
