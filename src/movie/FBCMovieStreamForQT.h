#pragma once
// The clip's frame stream with a time base: the media timescale and frame
// duration from the edit rate of its reference track, conversions between
// times and frame indices, per-frame media sample flags and the clip's
// identity. Every operation holds the movie lock (LockObject).
#include "CUUUID.h"
#include "ClipClock.h"
#include "FBCMovieStream.h"

#include <cstdint>

namespace ComVantoVantoQZ64RADPlug {

// Media sample flags of a frame.
constexpr uint32_t kMediaSampleNotSync = 0x00000001;
constexpr uint32_t kMediaSamplePartialSync = 0x00010000;
constexpr uint32_t kMediaSampleDroppable = 0x08000000;
constexpr uint32_t kMediaSampleEarlierDisplayTimesAllowed = 0x40000000;

class FBCMovieStreamForQT : public FBCMovieStream {
public:
    FBCMovieStreamForQT();
    ~FBCMovieStreamForQT() override;

    // Empty when Init fails.
    static CUSharedPtr<FBCMovieStreamForQT> Create(const CUSharedPtr<CUStringMac>& path);
    // FBCMovieStream::Init, then updateMovieInfo: false when either fails.
    bool Init(const CUSharedPtr<CUStringMac>& path);
    // Time base from the first picture track, else the first timecode
    // track, else the first sound track; false (time base unchanged) without
    // one or when its edit rate is not numerator >= 1 over denominator >= 1.
    // The clip identity is renewed either way.
    bool updateMovieInfo();

    uint32_t timescale() const;
    uint32_t durationPerFrame() const;
    // The movie's clock: its edit rate, its timecode track's rounded base
    // and drop frame, sound at 48 kHz.
    ClipClock Clock() const;
    // Material number (bytes 16-31) of the first file's source package UMID; null when unknown.
    CUSharedPtr<CUUUID> GetClipID() const;

    // Frame whose span holds `seconds` (with a tenth of a frame of slack),
    // clamped to 0 .. FrameCountInClip() (one past the last frame); 0 for
    // NaN and without a time base, the frame count for +infinity.
    uint32_t frameIndexAtMovieTime(double seconds) const;
    // Frame holding media time `time` (timescale units), clamped to
    // 0 .. FrameCountInClip(); -1 without a positive frame duration.
    int64_t frameIndexAtMediaTime(int64_t time) const;
    // kMediaSample* flags of stored frame `frame`: B pictures not sync and
    // droppable, P pictures not sync, an I picture sync when it opens its
    // file and partial sync otherwise; 0 when no file holds the frame.
    uint32_t sampleFlagAtIndex(uint32_t frame);

private:
    int32_t m_timescale = 0;
    int32_t m_durationPerFrame = 0;
    CUSharedPtr<CUUUID> m_clipID;
};

}  // namespace ComVantoVantoQZ64RADPlug
