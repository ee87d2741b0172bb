#pragma once
// A cursor on one timecode sample of a clip: one per frame, in stored
// order, without reordering. It tells where the frame lies in its own
// member file; it makes no buffer of its own.
// One host thread at a time; copies are independent.
#include "FBCFrameSampleCursor.h"

#include <memory>

namespace ComVantoVantoQZ64RADPlug {

class FBCTimeCodeSampleCursor : public FBCFrameSampleCursor {
public:
    // Unpositioned; null without a movie.
    static std::shared_ptr<FBCTimeCodeSampleCursor> sampleCursorWithMovieSample(
        const CUSharedPtr<FBCMovieSampleForFCPX>& movie);
    explicit FBCTimeCodeSampleCursor(CUSharedPtr<FBCMovieSampleForFCPX> movie);

    bool respondsTo(Message message) const override;
    std::shared_ptr<MIORADSampleCursorProtocol> copy() const override;
    CMFormatDescriptionRef formatDescription() override;

    // Frame `index` (0 <= index < frame count) whose picture element is
    // present (at least one byte) in its file.
    bool moveCursorAtDecodeIndex(int64_t index) override;
    bool moveCursorAtPresentationIndex(int64_t index) override;

    // One section: the frame's element, in the member file holding the
    // frame (handed out in dataSourceOut when asked for).
    OSStatus sampleLocation(int64_t arraySize, int64_t* sectionCountOut, int64_t* sectionOffsetArrayInOut,
                            int64_t* sectionLengthArrayInOut, CFHolder<CFURLRef>* dataSourceOut) override;
    // Timecode samples are not stored in chunks: every output is zero (no
    // data source, no samples).
    OSStatus chunkDetails(CFHolder<CFURLRef>* dataSourceOut, int64_t* chunkOffset, int64_t* chunkSize,
                          int64_t* sampleCount, int64_t* sampleIndex, bool* allSameSize,
                          bool* allSameDuration, bool* allSameFormatDescription) override;

private:
};

}  // namespace ComVantoVantoQZ64RADPlug
