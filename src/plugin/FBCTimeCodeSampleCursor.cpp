#include "FBCTimeCodeSampleCursor.h"

namespace ComVantoVantoQZ64RADPlug {

std::shared_ptr<FBCTimeCodeSampleCursor> FBCTimeCodeSampleCursor::sampleCursorWithMovieSample(
    const CUSharedPtr<FBCMovieSampleForFCPX>& movie) {
    if (!movie) return nullptr;
    return std::make_shared<FBCTimeCodeSampleCursor>(movie);
}

FBCTimeCodeSampleCursor::FBCTimeCodeSampleCursor(CUSharedPtr<FBCMovieSampleForFCPX> movie)
    : FBCFrameSampleCursor(std::move(movie)) {}

bool FBCTimeCodeSampleCursor::respondsTo(Message message) const {
    return message == Message::sampleLocation || message == Message::chunkDetails ||
           FBCSampleCursor::respondsTo(message);
}

std::shared_ptr<MIORADSampleCursorProtocol> FBCTimeCodeSampleCursor::copy() const {
    return std::make_shared<FBCTimeCodeSampleCursor>(*this);
}

CMFormatDescriptionRef FBCTimeCodeSampleCursor::formatDescription() {
    return m_movie->timeCodeFormatDescription();
}

bool FBCTimeCodeSampleCursor::moveCursorAtDecodeIndex(int64_t index) {
    if (index < 0 || index >= FrameCount()) return false;
    int64_t offset = 0;
    int32_t length = 0;
    // A location of no bytes is a missing element, nothing a host could read.
    if (!PictureLocation(index, &offset, &length) || length < 1 ||
        CMTIME_IS_INVALID(m_movie->presentationTimeAtIndex(index)))
        return false;
    const CMTime d = FrameDuration();
    Timing timing;
    timing.presentation = CMTimeMake(d.value * index, d.timescale);
    timing.decode = timing.presentation;
    timing.duration = d;
    timing.horizon = CMTimeSubtract(CMTimeRangeGetEnd(m_timeRange), timing.presentation);
    timing.timecodeCounter = TimecodeCounterAt(index);
    Apply(timing);
    m_sectionOffset = offset;
    m_sectionLength = length;
    m_decodeIndex = static_cast<int32_t>(index);
    m_presentationIndex = static_cast<int32_t>(index);
    return true;
}

bool FBCTimeCodeSampleCursor::moveCursorAtPresentationIndex(int64_t index) {
    return moveCursorAtDecodeIndex(index);
}

OSStatus FBCTimeCodeSampleCursor::sampleLocation(int64_t arraySize, int64_t* sectionCountOut,
                                                 int64_t* sectionOffsetArrayInOut,
                                                 int64_t* sectionLengthArrayInOut,
                                                 CFHolder<CFURLRef>* dataSourceOut) {
    if (m_decodeIndex < 0 || m_sectionLength < 1) return kMIORADSampleCursorEndOfTrackErr;
    if (sectionCountOut) *sectionCountOut = 1;
    if (arraySize > 0) {
        if (sectionOffsetArrayInOut) sectionOffsetArrayInOut[0] = m_sectionOffset;
        if (sectionLengthArrayInOut) sectionLengthArrayInOut[0] = m_sectionLength;
    }
    // The offsets count in the frame's own member file, not the track's first.
    if (dataSourceOut) dataSourceOut->Reset(m_movie->copyUrlAtFrameIndex(m_decodeIndex));
    return 0;
}

OSStatus FBCTimeCodeSampleCursor::chunkDetails(CFHolder<CFURLRef>* dataSourceOut, int64_t* chunkOffset,
                                               int64_t* chunkSize, int64_t* sampleCount, int64_t* sampleIndex,
                                               bool* allSameSize, bool* allSameDuration,
                                               bool* allSameFormatDescription) {
    if (dataSourceOut) dataSourceOut->Reset();
    for (int64_t* out : {chunkOffset, chunkSize, sampleCount, sampleIndex})
        if (out) *out = 0;
    for (bool* out : {allSameSize, allSameDuration, allSameFormatDescription})
        if (out) *out = false;
    return 0;
}

}  // namespace ComVantoVantoQZ64RADPlug
