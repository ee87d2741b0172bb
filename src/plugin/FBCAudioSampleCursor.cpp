#include "FBCAudioSampleCursor.h"

#include <algorithm>

namespace ComVantoVantoQZ64RADPlug {

namespace {
constexpr uint32_t kNoFrame = 0xFFFFFFFFu;
}

std::shared_ptr<FBCAudioSampleCursor> FBCAudioSampleCursor::sampleCursorWithMovieSample(
    const CUSharedPtr<FBCMovieSampleForFCPX>& movie) {
    if (!movie) return nullptr;
    return std::make_shared<FBCAudioSampleCursor>(movie);
}

FBCAudioSampleCursor::FBCAudioSampleCursor(CUSharedPtr<FBCMovieSampleForFCPX> movie)
    : FBCSampleCursor(std::move(movie)) {}

bool FBCAudioSampleCursor::respondsTo(Message message) const {
    return message == Message::createSampleBuffer || FBCSampleCursor::respondsTo(message);
}

std::shared_ptr<MIORADSampleCursorProtocol> FBCAudioSampleCursor::copy() const {
    return std::make_shared<FBCAudioSampleCursor>(*this);
}

CMFormatDescriptionRef FBCAudioSampleCursor::formatDescription() {
    return m_movie->audioFormatDescription();
}

bool FBCAudioSampleCursor::moveCursorAtPresentationIndex(int64_t index) {
    FBCMovieSampleForFCPX& movie = *m_movie;
    const int64_t count = movie.audioSampleCount();
    const int64_t sampleDuration = movie.AudioDuration();
    const int32_t scale = movie.AudioTimescale();
    const CMTime end = CMTimeRangeGetEnd(m_timeRange);
    if (index < 0 || index >= count || sampleDuration <= 0 || scale < 1 || CMTIME_IS_INVALID(end))
        return false;
    const uint32_t frame = movie.frameIndexAtAudioSampleIndex(index);
    if (frame == kNoFrame) return false;
    const int64_t first = movie.audioSampleIndexAtFrameIndex(frame);
    if (first < 0) return false;
    Timing timing;
    timing.presentation = CMTimeMake(index, scale);
    timing.decode = timing.presentation;
    timing.duration = CMTimeMake(sampleDuration, scale);
    timing.horizon = CMTimeSubtract(end, timing.presentation);
    timing.timecodeCounter = TimecodeCounterAt(frame);
    Apply(timing);
    m_presentationIndex = static_cast<int32_t>(frame);
    m_sampleIndex = index - first;
    return true;
}

bool FBCAudioSampleCursor::moveCursorAtPresentationTime(CMTime time) {
    const int32_t scale = m_movie->AudioTimescale();
    if (!CMTimeRangeContainsTime(m_timeRange, time) || scale < 1) return false;
    const CMTime at = CMTimeConvertScale(time, scale, kCMTimeRoundingMethod_RoundHalfAwayFromZero);
    if (!CMTIME_IS_NUMERIC(at)) return false;
    // Rounding to the nearest sample can reach the sample count itself for
    // a time inside the last sample; the range holds the time, so the
    // cursor stays on the last sample.
    const int64_t count = m_movie->audioSampleCount();
    return count >= 1 && moveCursorAtPresentationIndex(std::min(at.value, count - 1));
}

OSStatus FBCAudioSampleCursor::StepToTime(CMTime target) {
    return StepResult(CMTimeRangeContainsTime(m_timeRange, target) && moveCursorAtPresentationTime(target));
}

OSStatus FBCAudioSampleCursor::stepInPresentationOrder(int64_t stepCount) {
    if (CMTIME_IS_INVALID(m_presentationTimeStamp)) return kMIORADSampleCursorEndOfTrackErr;
    return StepToTime(
        CMTimeMake(StepTarget(m_presentationTimeStamp.value, stepCount), m_presentationTimeStamp.timescale));
}

OSStatus FBCAudioSampleCursor::stepInDecodeOrder(int64_t stepCount) {
    return stepInPresentationOrder(stepCount);
}

OSStatus FBCAudioSampleCursor::stepByPresentationTime(CMTime deltaPresentationTime) {
    return StepToTime(StepTime(m_presentationTimeStamp, deltaPresentationTime));
}

OSStatus FBCAudioSampleCursor::stepByDecodeTime(CMTime deltaDecodeTime) {
    return stepByPresentationTime(deltaDecodeTime);
}

CMSampleBufferRef FBCAudioSampleCursor::createSampleBuffer(const MIORADSampleCursorProtocol* endCursor) {
    if (m_presentationIndex < 0) return nullptr;
    CMTime end = kCMTimePositiveInfinity;
    if (endCursor) {
        const CMTime other = PresentationTimeOf(*endCursor);
        if (CMTimeCompare(other, m_presentationTimeStamp) != 0) end = other;
    }
    if (m_sampleIndex < 0 || m_sampleIndex > INT32_MAX) return nullptr;
    return m_movie->createAudioSampleBufferAtIndex(m_presentationIndex, static_cast<int32_t>(m_sampleIndex),
                                                   end);
}

}  // namespace ComVantoVantoQZ64RADPlug
