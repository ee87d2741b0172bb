#pragma once
// What the video, audio and timecode sample cursors share: the clip's
// movie (retained, so a cursor the host keeps stays usable after the host
// drops the format reader and the clip), the track's time range, the timing
// of the current sample and its timecode counter, and the comparison in
// decode order. A cursor is used by one host thread at a time; each call
// into the movie takes the movie's lock.
#include "CMTimeRange.h"
#include "CUSharedPtr.h"
#include "FBCMovieSampleForFCPX.h"
#include "MIORADSampleCursorProtocol.h"

#include <cstdint>

namespace ComVantoVantoQZ64RADPlug {

class FBCSampleCursor : public MIORADSampleCursorProtocol {
public:
    ~FBCSampleCursor() override;

    bool respondsTo(Message message) const override;

    CMTime presentationTimeStamp() override { return m_presentationTimeStamp; }
    CMTime decodeTimeStamp() override { return m_decodeTimeStamp; }
    CMTime duration() override { return m_duration; }
    CMTime playableHorizon() override { return m_playableHorizon; }
    int compareInDecodeOrder(const MIORADSampleCursorProtocol& other) override;

    // Timecode counter (frames) of the sample's picture.
    int64_t timecodeCounter() const { return m_timecodeCounter; }
    CMTimeRange timeRange() const { return m_timeRange; }
    void setTimeRange(CMTimeRange range) { m_timeRange = range; }
    void setPresentationTimeStamp(CMTime time) { m_presentationTimeStamp = time; }
    void setDecodeTimeStamp(CMTime time) { m_decodeTimeStamp = time; }
    void setDuration(CMTime time) { m_duration = time; }
    void setPlayableHorizon(CMTime time) { m_playableHorizon = time; }
    void setTimecodeCounter(int64_t counter) { m_timecodeCounter = counter; }
    const CUSharedPtr<FBCMovieSampleForFCPX>& movieSample() const { return m_movie; }

    // Each leaves the cursor unchanged when it returns false.
    virtual bool moveCursorAtPresentationIndex(int64_t index) = 0;
    virtual bool moveCursorAtPresentationTime(CMTime time) = 0;

    // index + step without wrapping: a step past either end of 64 bits
    // stops at that end, which no track reaches.
    static int64_t StepTarget(int64_t index, int64_t step);
    // time + delta for a step by time. Where the exact sum has no timescale
    // of 32 bits (a delta in nanoseconds on a cursor at 30000 or 48000),
    // the delta is first converted to the cursor's timescale, rounded half
    // away from zero as the host framework rounds.
    static CMTime StepTime(CMTime time, CMTime delta);

protected:
    explicit FBCSampleCursor(CUSharedPtr<FBCMovieSampleForFCPX> movie);

    // The timing a move computes before it is taken over.
    struct Timing {
        CMTime presentation;
        CMTime decode;
        CMTime duration;
        CMTime horizon;
        int64_t timecodeCounter;
    };
    void Apply(const Timing& timing);

    // One frame of the movie's time base (durationPerFrame over timescale).
    CMTime FrameDuration() const;
    int64_t FrameCount() const;
    // The frame `time` lies in, when the track's range holds it.
    bool FrameAtTime(CMTime time, int64_t* frame) const;
    // Where frame `frame`'s picture element lies in its member file: the
    // picture track's position in the track list is its element index.
    bool PictureLocation(int64_t frame, int64_t* offset, int32_t* length) const;
    // The counter of the picture displayed at clip position `display`. The
    // timecode component of the card's files, and of the MXF files ffmpeg
    // writes, counts at the picture rate (a rounded base of 60 at 59.94P, 50
    // at 50P), so one display position is one count.
    int64_t TimecodeCounterAt(int64_t display) const;
    // The decode time of any cursor: read without changing it, though the
    // protocol's accessors are not const.
    static CMTime DecodeTimeOf(const MIORADSampleCursorProtocol& cursor);
    static CMTime PresentationTimeOf(const MIORADSampleCursorProtocol& cursor);
    static OSStatus StepResult(bool moved) { return moved ? 0 : kMIORADSampleCursorEndOfTrackErr; }

    CUSharedPtr<FBCMovieSampleForFCPX> m_movie;
    CMTimeRange m_timeRange = kCMTimeRangeInvalid;
    CMTime m_presentationTimeStamp = kCMTimeInvalid;
    CMTime m_decodeTimeStamp = kCMTimeInvalid;
    CMTime m_duration = kCMTimeInvalid;
    CMTime m_playableHorizon = kCMTimeInvalid;
    int64_t m_timecodeCounter = 0;
};

}  // namespace ComVantoVantoQZ64RADPlug
