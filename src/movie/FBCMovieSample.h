#pragma once
// The timed clip movie with a cursor over its frames between an in point
// and an out point (stored order, both inclusive), the picture track's time
// base and the description of the clip's audio.
// Thread safety: the movie operations it calls take the movie lock; the
// cursor (current, start and last index) belongs to one caller at a time.
// Callers that walk the clip at the same time keep cursors of their own
// (InPointIndex, OutPointIndex, TimeCounterAtIndex).
#include "AudioStreamBasicDescription.h"
#include "FBCMovieStreamForQT.h"

#include <cstdint>
#include <memory>

namespace ComVantoVantoQZ64RADPlug {

class FBCMovieSample : public FBCMovieStreamForQT {
public:
    FBCMovieSample();
    ~FBCMovieSample() override;

    // Empty when Init fails.
    static CUSharedPtr<FBCMovieSample> Create(const CUSharedPtr<CUStringMac>& path);
    // FBCMovieStreamForQT::Init, then the video and audio values; the cursor
    // spans the whole clip.
    bool Init(const CUSharedPtr<CUStringMac>& path);
    bool UpdateVideoInfo();
    bool UpdateAudioInfo();
    // Linear PCM of the sound tracks (one channel per track); null without
    // a sound track or a usable sampling rate and quantization.
    std::unique_ptr<AudioStreamBasicDescription> CreateAudioStreamBasicDescription();

    // Current := start.
    bool InitializeGetSample();
    bool moveStartFrame();
    // Steps one frame; false (cursor unchanged) once past the out point.
    bool nextFrame();
    bool isEndOfClip() const;
    uint32_t CurrentIndex() const { return m_currentIndex; }
    uint32_t StartIndex() const { return m_startIndex; }
    uint32_t LastIndex() const { return m_lastIndex; }

    // Of the current frame, in media timescale units counted from the in point.
    int64_t FrameDecodeTimeStamp();
    int64_t FramePresentationTimeStamp();
    int64_t FrameDuration() const { return m_frameDuration; }
    int32_t MediaTimescale() const { return m_mediaTimescale; }
    // Timecode counter (frames) of the picture the current frame presents.
    uint32_t GetTimeCounter();
    uint32_t ReadCurrentSampleData(_MxfTrackType type, uint32_t number, unsigned char* buffer, uint32_t size);

    // value / timescale seconds. The in point moves to the key frame of the
    // group before the one holding that time (and the cursor to it); a time
    // that is not finite starts at frame 0, one past the end at the last frame.
    bool setInPoint(int64_t value, int64_t timescale);
    // The out point moves to that frame, or past the pictures it needs
    // displayed before it; a time that is not finite keeps the full length.
    bool setOutPoint(int64_t value, int64_t timescale);

    // What the cursor operations compute, for callers that keep a cursor of
    // their own (one per import): setInPoint's start frame and setOutPoint's
    // last frame for a time, the timecode counter of the picture a stored
    // frame presents, and the clip's last frame (0 for an empty clip). None
    // moves this object's cursor.
    uint32_t InPointIndex(int64_t value, int64_t timescale);
    uint32_t OutPointIndex(int64_t value, int64_t timescale);
    uint32_t TimeCounterAtIndex(uint32_t frame);
    uint32_t LastFrame();

    const AudioStreamBasicDescription* AudioDescription() const { return m_audioDescription.get(); }
    int64_t AudioDuration() const { return m_audioDuration; }
    int32_t AudioTimescale() const { return m_audioTimescale; }

private:
    uint32_t m_currentIndex = 0;
    uint32_t m_startIndex = 0;
    uint32_t m_lastIndex = 0;
    int64_t m_frameDuration = 0;
    int32_t m_mediaTimescale = 0;
    std::unique_ptr<AudioStreamBasicDescription> m_audioDescription;
    int64_t m_audioDuration = 0;
    int32_t m_audioTimescale = 0;
};

}  // namespace ComVantoVantoQZ64RADPlug
