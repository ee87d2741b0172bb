#pragma once
// A cursor on one audio sample of a clip's stereo track, positioned by the
// sample's index from the clip's start (one sample of the audio timescale
// per step). Its buffer runs from the sample to the end cursor, or to the
// end of the frame that holds the sample.
// One host thread at a time; copies are independent.
#include "FBCSampleCursor.h"

#include <memory>

namespace ComVantoVantoQZ64RADPlug {

class FBCAudioSampleCursor : public FBCSampleCursor {
public:
    // Unpositioned; null without a movie.
    static std::shared_ptr<FBCAudioSampleCursor> sampleCursorWithMovieSample(
        const CUSharedPtr<FBCMovieSampleForFCPX>& movie);
    explicit FBCAudioSampleCursor(CUSharedPtr<FBCMovieSampleForFCPX> movie);

    bool respondsTo(Message message) const override;
    std::shared_ptr<MIORADSampleCursorProtocol> copy() const override;
    CMFormatDescriptionRef formatDescription() override;

    // Decode order is presentation order: both step by samples, or by time.
    OSStatus stepInDecodeOrder(int64_t stepCount) override;
    OSStatus stepInPresentationOrder(int64_t stepCount) override;
    OSStatus stepByDecodeTime(CMTime deltaDecodeTime) override;
    OSStatus stepByPresentationTime(CMTime deltaPresentationTime) override;

    // Audio sample `index`, 0 <= index < the clip's sample count.
    bool moveCursorAtPresentationIndex(int64_t index) override;
    // The sample nearest `time`, which the track's time range must hold; a
    // time in the last half sample stays on the last sample.
    bool moveCursorAtPresentationTime(CMTime time) override;

    // From this sample up to the end cursor's presentation time (at most
    // the end of this sample's frame), or to the frame's end without one or
    // when both cursors are at the same time.
    CMSampleBufferRef createSampleBuffer(const MIORADSampleCursorProtocol* endCursor) override;

    // The frame holding the sample, and the sample's offset in that frame.
    int32_t presentationIndex() const { return m_presentationIndex; }
    int64_t sampleIndex() const { return m_sampleIndex; }

private:
    OSStatus StepToTime(CMTime target);

    int32_t m_presentationIndex = -1;
    int64_t m_sampleIndex = 0;
};

}  // namespace ComVantoVantoQZ64RADPlug
