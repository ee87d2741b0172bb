#pragma once
// What serves one clip to the host's import, frame after frame. Every call
// carries the reference constant the clip gave (ingestObjectRefCon); every
// call answers 0, and failures show as null buffers in the media record.
#include <cstddef>
#include <cstdint>

#include "CFArray.h"
#include "CMSampleBuffer.h"
#include "CMTime.h"

namespace ComVantoVantoQZ64RADPlug {

// One frame of an import as the host's 40-byte record lays it out.
struct MIORADIngestMedia {
    int32_t reserved = 0;
    int32_t padding = 0;
    CMSampleBufferRef videoSampleBuffer = nullptr;  // owned by the caller, or null
    CMSampleBufferRef audioSampleBuffer = nullptr;  // owned by the caller, or null
    uint32_t timecodeCounter = 0;                   // frames
    uint32_t timecodeBase = 0;                      // rounded frames per second
    uint8_t dropFrame = 0;
    uint8_t hasFrame = 0;
    uint8_t endOfClip = 0;
    uint8_t trailing[5] = {};
};
static_assert(sizeof(MIORADIngestMedia) == 40, "the host's media record is 40 bytes");
static_assert(offsetof(MIORADIngestMedia, videoSampleBuffer) == 8);
static_assert(offsetof(MIORADIngestMedia, audioSampleBuffer) == 16);
static_assert(offsetof(MIORADIngestMedia, timecodeCounter) == 24);
static_assert(offsetof(MIORADIngestMedia, timecodeBase) == 28);
static_assert(offsetof(MIORADIngestMedia, dropFrame) == 32);
static_assert(offsetof(MIORADIngestMedia, hasFrame) == 33);
static_assert(offsetof(MIORADIngestMedia, endOfClip) == 34);

class MIORADIngestObject {
public:
    virtual ~MIORADIngestObject();

    virtual OSStatus initialize(void* refCon) = 0;
    virtual OSStatus start(void* refCon) = 0;
    virtual OSStatus setInPoint(CMTime inPoint, void* refCon) = 0;
    virtual OSStatus setOutPoint(CMTime outPoint, void* refCon) = 0;
    virtual OSStatus setPathSet(CFArrayRef pathSet, void* refCon) = 0;
    virtual OSStatus setKeepMediaVideoRate(bool keep, void* refCon) = 0;
    // Fills `media` with the next frame, or sets its end flag.
    virtual OSStatus getNextMedia(MIORADIngestMedia* media, void* refCon) = 0;
    virtual OSStatus stop(void* refCon) = 0;
    virtual OSStatus reset(void* refCon) = 0;
    virtual OSStatus cleanup(void* refCon) = 0;
    virtual OSStatus teardown(void* refCon) = 0;
};

}  // namespace ComVantoVantoQZ64RADPlug
