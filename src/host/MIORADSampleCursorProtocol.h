#pragma once
// A position on one sample of a track. The host moves it in decode or
// presentation order, by count or by time, asks its timing and dependency
// attributes and has it make the sample's buffer. Some messages are
// optional: the host asks respondsTo() before sending one, as a cursor that
// does not answer it keeps the base class's "not answered" behaviour.
// A cursor is used by one host thread at a time; copies are independent.
#include <cstdint>
#include <memory>

#include "CFDictionary.h"
#include "CFHolder.h"
#include "CFURL.h"
#include "CMFormatDescription.h"
#include "CMSampleBuffer.h"
#include "CMTime.h"

namespace ComVantoVantoQZ64RADPlug {

// A step or move that would leave the track.
inline constexpr OSStatus kMIORADSampleCursorEndOfTrackErr = -12840;
// The answer of an optional message the cursor does not answer.
inline constexpr OSStatus kMIORADMessageNotAnsweredErr = -4;

class MIORADSampleCursorProtocol {
public:
    enum class Message {
        presentationTimeStamp,
        decodeTimeStamp,
        duration,
        playableHorizon,
        sampleLocation,
        chunkDetails,
        sampleDependencyAttributes,
        dependencyInfo,
        mpeg2FrameType,
        createSampleBuffer,
    };

    virtual ~MIORADSampleCursorProtocol();

    // The base answers the timing messages and none of the others.
    virtual bool respondsTo(Message message) const;

    virtual std::shared_ptr<MIORADSampleCursorProtocol> copy() const = 0;
    // Borrowed: valid while the cursor's clip lives; null when there is none.
    virtual CMFormatDescriptionRef formatDescription() = 0;

    virtual CMTime presentationTimeStamp() = 0;
    virtual CMTime decodeTimeStamp() = 0;
    virtual CMTime duration() = 0;
    // How far playback may run from this sample.
    virtual CMTime playableHorizon();

    // 0, or kMIORADSampleCursorEndOfTrackErr with the cursor left in place.
    virtual OSStatus stepInDecodeOrder(int64_t stepCount) = 0;
    virtual OSStatus stepInPresentationOrder(int64_t stepCount) = 0;
    virtual OSStatus stepByDecodeTime(CMTime deltaDecodeTime) = 0;
    virtual OSStatus stepByPresentationTime(CMTime deltaPresentationTime) = 0;
    // -1, 0 or 1 as this cursor's decode time is before, at or after the other's.
    virtual int compareInDecodeOrder(const MIORADSampleCursorProtocol& other) = 0;

    // Optional messages.
    // Where the sample's bytes are: with arraySize 0 only the section count;
    // otherwise up to arraySize offsets and lengths, and the file they are in.
    virtual OSStatus sampleLocation(int64_t arraySize, int64_t* sectionCountOut, int64_t* sectionOffsetArrayInOut,
                                    int64_t* sectionLengthArrayInOut, CFHolder<CFURLRef>* dataSourceOut);
    // The run of samples (a chunk) stored together with this one.
    virtual OSStatus chunkDetails(CFHolder<CFURLRef>* dataSourceOut, int64_t* chunkOffset, int64_t* chunkSize,
                                  int64_t* sampleCount, int64_t* sampleIndex, bool* allSameSize,
                                  bool* allSameDuration, bool* allSameFormatDescription);
    // Dependency flags to attach to the sample (owned by the caller), or null.
    virtual CFHolder<CFDictionaryRef> sampleDependencyAttributes();
    // Each out-argument is optional. Returns kMIORADMessageNotAnsweredErr when not answered.
    virtual OSStatus dependencyInfo(bool* fullSync, bool* partialSync, int32_t* partialSyncThreshold,
                                    bool* droppable);
    // 'I', 'P' or 'B' (0 when not answered); the out-arguments are optional.
    virtual char mpeg2FrameType(bool* openGOP, bool* brokenLink);
    // The sample's buffer owned by the caller, or null. An audio cursor runs
    // the buffer up to `endCursor`'s presentation time when one is given.
    virtual CMSampleBufferRef createSampleBuffer(const MIORADSampleCursorProtocol* endCursor);
};

}  // namespace ComVantoVantoQZ64RADPlug
