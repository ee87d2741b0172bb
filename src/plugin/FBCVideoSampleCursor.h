#pragma once
// A cursor on one MPEG-2 long-GOP picture of a clip's video track. It moves
// by stored (decode) position or by display (presentation) position, the
// two related by the display offsets of the clip's index tables, and makes
// the picture's sample buffer through the movie.
// One host thread at a time; copies are independent.
#include "CFHolder.h"
#include "FBCFrameSampleCursor.h"

#include <memory>

namespace ComVantoVantoQZ64RADPlug {

class FBCVideoSampleCursor : public FBCFrameSampleCursor {
public:
    // Unpositioned (every index -1); null without a movie.
    static std::shared_ptr<FBCVideoSampleCursor> sampleCursorWithMovieSample(
        const CUSharedPtr<FBCMovieSampleForFCPX>& movie);
    explicit FBCVideoSampleCursor(CUSharedPtr<FBCMovieSampleForFCPX> movie);
    FBCVideoSampleCursor(const FBCVideoSampleCursor& other);
    FBCVideoSampleCursor& operator=(const FBCVideoSampleCursor&) = delete;

    bool respondsTo(Message message) const override;
    std::shared_ptr<MIORADSampleCursorProtocol> copy() const override;
    CMFormatDescriptionRef formatDescription() override;

    // Stored position i (0 <= i < frame count) whose index entry and picture
    // element can be read.
    bool moveCursorAtDecodeIndex(int64_t index) override;
    // The picture displayed at position `index`.
    bool moveCursorAtPresentationIndex(int64_t index) override;

    CFHolder<CFDictionaryRef> sampleDependencyAttributes() override;
    OSStatus dependencyInfo(bool* fullSync, bool* partialSync, int32_t* partialSyncThreshold,
                            bool* droppable) override;
    // 'I', 'P' or 'B'; openGOP is true for every picture but the first of its
    // member file, brokenLink is always false.
    char mpeg2FrameType(bool* openGOP, bool* brokenLink) override;
    // The endCursor is not used: a video sample is one picture.
    CMSampleBufferRef createSampleBuffer(const MIORADSampleCursorProtocol* endCursor) override;

    // Kept for the host, which may set it; never set by the cursor.
    CFTypeRef dataSource() const { return m_dataSource.Get(); }
    void setDataSource(CFTypeRef source) { m_dataSource = CFHolder<CFTypeRef>::Retain(source); }

private:
    char m_mpeg2FrameType = 0;
    bool m_openGOP = false;
    bool m_brokenLink = false;
    CFHolder<CFTypeRef> m_dataSource;
};

}  // namespace ComVantoVantoQZ64RADPlug
