#include "FBCFrameSampleCursor.h"

namespace ComVantoVantoQZ64RADPlug {

bool FBCFrameSampleCursor::moveCursorAtPresentationTime(CMTime time) {
    int64_t frame = 0;
    return FrameAtTime(time, &frame) && moveCursorAtPresentationIndex(frame);
}

bool FBCFrameSampleCursor::moveCursorAtDecodeTime(CMTime time) {
    int64_t frame = 0;
    return FrameAtTime(time, &frame) && moveCursorAtDecodeIndex(frame);
}

OSStatus FBCFrameSampleCursor::stepInDecodeOrder(int64_t stepCount) {
    const int64_t target = StepTarget(m_decodeIndex, stepCount);
    return StepResult(target >= 0 && target < FrameCount() && moveCursorAtDecodeIndex(target));
}

OSStatus FBCFrameSampleCursor::stepInPresentationOrder(int64_t stepCount) {
    const int64_t target = StepTarget(m_presentationIndex, stepCount);
    return StepResult(target >= 0 && target < FrameCount() && moveCursorAtPresentationIndex(target));
}

OSStatus FBCFrameSampleCursor::stepByDecodeTime(CMTime deltaDecodeTime) {
    const CMTime target = StepTime(m_decodeTimeStamp, deltaDecodeTime);
    return StepResult(CMTimeRangeContainsTime(m_timeRange, target) && moveCursorAtDecodeTime(target));
}

OSStatus FBCFrameSampleCursor::stepByPresentationTime(CMTime deltaPresentationTime) {
    const CMTime target = StepTime(m_presentationTimeStamp, deltaPresentationTime);
    return StepResult(CMTimeRangeContainsTime(m_timeRange, target) && moveCursorAtPresentationTime(target));
}

}  // namespace ComVantoVantoQZ64RADPlug
