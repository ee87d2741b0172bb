#pragma once
// What the cursors with one sample per frame share (the video and timecode
// cursors): the decode and presentation index of the current frame, where
// its element lies, and the steps and time moves, which all come down to a
// move to a frame index. The audio cursor counts samples instead.
#include "FBCSampleCursor.h"

#include <cstdint>

namespace ComVantoVantoQZ64RADPlug {

class FBCFrameSampleCursor : public FBCSampleCursor {
public:
    OSStatus stepInDecodeOrder(int64_t stepCount) override;
    OSStatus stepInPresentationOrder(int64_t stepCount) override;
    OSStatus stepByDecodeTime(CMTime deltaDecodeTime) override;
    OSStatus stepByPresentationTime(CMTime deltaPresentationTime) override;

    // Stored position i (0 <= i < frame count) whose element can be read.
    virtual bool moveCursorAtDecodeIndex(int64_t index) = 0;
    // The frame stored, respectively displayed, at the frame holding `time`,
    // which the track's time range must hold.
    bool moveCursorAtDecodeTime(CMTime time);
    bool moveCursorAtPresentationTime(CMTime time) override;

    int32_t decodeIndex() const { return m_decodeIndex; }
    int32_t presentationIndex() const { return m_presentationIndex; }
    int64_t sectionOffset() const { return m_sectionOffset; }
    int64_t sectionLength() const { return m_sectionLength; }

protected:
    using FBCSampleCursor::FBCSampleCursor;

    int32_t m_decodeIndex = -1;
    int32_t m_presentationIndex = -1;
    int64_t m_sectionOffset = -1;
    int64_t m_sectionLength = 0;
};

}  // namespace ComVantoVantoQZ64RADPlug
