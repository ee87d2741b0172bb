#include "FBCVideoSampleCursor.h"

#include "MXFStream.h"

namespace ComVantoVantoQZ64RADPlug {

namespace {
constexpr uint8_t kBackwardPrediction = 0x10;  // a B picture
constexpr uint8_t kForwardPrediction = 0x20;   // a P picture
constexpr int32_t kPartialSyncThreshold = 2;
}  // namespace

std::shared_ptr<FBCVideoSampleCursor> FBCVideoSampleCursor::sampleCursorWithMovieSample(
    const CUSharedPtr<FBCMovieSampleForFCPX>& movie) {
    if (!movie) return nullptr;
    return std::make_shared<FBCVideoSampleCursor>(movie);
}

FBCVideoSampleCursor::FBCVideoSampleCursor(CUSharedPtr<FBCMovieSampleForFCPX> movie)
    : FBCFrameSampleCursor(std::move(movie)) {}

FBCVideoSampleCursor::FBCVideoSampleCursor(const FBCVideoSampleCursor& other)
    : FBCFrameSampleCursor(other),
      m_mpeg2FrameType(other.m_mpeg2FrameType),
      m_openGOP(other.m_openGOP),
      m_brokenLink(other.m_brokenLink),
      m_dataSource(CFHolder<CFTypeRef>::Retain(other.m_dataSource.Get())) {}

bool FBCVideoSampleCursor::respondsTo(Message message) const {
    switch (message) {
        case Message::sampleDependencyAttributes:
        case Message::dependencyInfo:
        case Message::mpeg2FrameType:
        case Message::createSampleBuffer:
            return true;
        default:
            return FBCSampleCursor::respondsTo(message);
    }
}

std::shared_ptr<MIORADSampleCursorProtocol> FBCVideoSampleCursor::copy() const {
    return std::make_shared<FBCVideoSampleCursor>(*this);
}

CMFormatDescriptionRef FBCVideoSampleCursor::formatDescription() {
    return m_movie->videoFormatDescription();
}

bool FBCVideoSampleCursor::moveCursorAtDecodeIndex(int64_t index) {
    FBCMovieSampleForFCPX& movie = *m_movie;
    if (index < 0 || index >= FrameCount()) return false;
    const uint32_t frame = static_cast<uint32_t>(index);
    const int64_t display = index + movie.DisplayOffsetAtIndex(frame);
    uint8_t flags = 0;
    int64_t offset = 0;
    int32_t length = 0;
    if (!movie.FrameInfoAtIndex(frame, nullptr, nullptr, &flags) ||
        !PictureLocation(index, &offset, &length) || CMTIME_IS_INVALID(movie.presentationTimeAtIndex(index)))
        return false;
    const CMTime d = FrameDuration();
    const CMTime decode = CMTimeMake(d.value * index, d.timescale);
    Timing timing;
    timing.presentation = CMTimeMake(d.value * display, d.timescale);
    timing.decode = decode;
    timing.duration = d;
    timing.horizon = CMTimeSubtract(CMTimeRangeGetEnd(m_timeRange), decode);
    timing.timecodeCounter = TimecodeCounterAt(display);
    uint32_t local = 0;
    if (!movie.mxfAtFrameIndex(frame, &local)) return false;

    Apply(timing);
    m_sectionOffset = offset;
    m_sectionLength = length;
    m_decodeIndex = static_cast<int32_t>(index);
    m_presentationIndex = static_cast<int32_t>(display);
    m_mpeg2FrameType = (flags & kBackwardPrediction) ? 'B' : (flags & kForwardPrediction) ? 'P' : 'I';
    m_openGOP = local != 0;
    m_brokenLink = false;
    return true;
}

bool FBCVideoSampleCursor::moveCursorAtPresentationIndex(int64_t index) {
    if (index < 0 || index >= FrameCount()) return false;
    int8_t temporalOffset = 0;
    if (!m_movie->FrameInfoAtIndex(static_cast<uint32_t>(index), &temporalOffset)) return false;
    return moveCursorAtDecodeIndex(index + temporalOffset);
}

CFHolder<CFDictionaryRef> FBCVideoSampleCursor::sampleDependencyAttributes() {
    if (!m_movie || m_decodeIndex < 0) return {};
    CFHolder<CFMutableDictionaryRef> attributes = CFHolder<CFMutableDictionaryRef>::Adopt(
        m_movie->createVideoSampleAttributesAtIndex(static_cast<uint32_t>(m_decodeIndex)));
    if (!attributes) return {};
    return CFHolder<CFDictionaryRef>::Adopt(CFDictionaryCreateCopy(nullptr, attributes.Get()));
}

OSStatus FBCVideoSampleCursor::dependencyInfo(bool* fullSync, bool* partialSync,
                                              int32_t* partialSyncThreshold, bool* droppable) {
    if (fullSync) *fullSync = m_mpeg2FrameType == 'I' && !m_openGOP;
    if (partialSync) *partialSync = m_mpeg2FrameType == 'I' && m_openGOP;
    if (partialSyncThreshold) *partialSyncThreshold = kPartialSyncThreshold;
    if (droppable) *droppable = m_mpeg2FrameType == 'B';
    return 0;
}

char FBCVideoSampleCursor::mpeg2FrameType(bool* openGOP, bool* brokenLink) {
    if (openGOP) *openGOP = m_openGOP;
    if (brokenLink) *brokenLink = m_brokenLink;
    return m_mpeg2FrameType;
}

CMSampleBufferRef FBCVideoSampleCursor::createSampleBuffer(const MIORADSampleCursorProtocol*) {
    if (m_decodeIndex < 0) return nullptr;
    return m_movie->createVideoSampleBufferAtIndex(m_decodeIndex);
}

}  // namespace ComVantoVantoQZ64RADPlug
