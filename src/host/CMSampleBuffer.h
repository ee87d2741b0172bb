#pragma once
// A run of media samples for the host: the block buffer holding their
// bytes and the format description (both retained), the sample count,
// timing entries (none, one for all samples, or one per sample), size
// entries (likewise) and, made on first request, one mutable attachment
// dictionary per sample. Not guarded: it is built on one thread and handed
// to the host complete.
#include <vector>

#include "CFArray.h"
#include "CFDictionary.h"
#include "CMBlockBuffer.h"
#include "CMFormatDescription.h"

namespace ComVantoVantoQZ64RADPlug {

using CMItemCount = CFIndex;
using CMItemIndex = CFIndex;

struct CMSampleTimingInfo {
    CMTime duration;
    CMTime presentationTimeStamp;
    CMTime decodeTimeStamp;
};

enum : OSStatus {
    kCMSampleBufferError_AllocationFailed = -12730,
    kCMSampleBufferError_RequiredParameterMissing = -12731,
    kCMSampleBufferError_AlreadyHasDataBuffer = -12732,
    kCMSampleBufferError_BufferNotReady = -12733,
    kCMSampleBufferError_SampleIndexOutOfRange = -12734,
    kCMSampleBufferError_BufferHasNoSampleSizes = -12735,
    kCMSampleBufferError_BufferHasNoSampleTimingInfo = -12736,
    kCMSampleBufferError_ArrayTooSmall = -12737,
    kCMSampleBufferError_InvalidEntryCount = -12738,
};

inline constexpr CMItemCount kCMSampleBufferMaxAttachmentSamples = 1 << 20;

// Sample attachment keys: boolean dependency flags of a video sample.
extern const CFStringRef kCMSampleAttachmentKey_NotSync;
extern const CFStringRef kCMSampleAttachmentKey_PartialSync;
extern const CFStringRef kCMSampleAttachmentKey_EarlierDisplayTimesAllowed;
extern const CFStringRef kCMSampleAttachmentKey_IsDependedOnByOthers;

class CMSampleBuffer;
using CMSampleBufferRef = CMSampleBuffer*;
using CMSampleBufferMakeDataReadyCallback = OSStatus (*)(CMSampleBufferRef sampleBuffer, void* refCon);

class CMSampleBuffer final : public CFType {
public:
    CMSampleBuffer(CMBlockBufferRef dataBuffer, bool dataReady, CMFormatDescriptionRef formatDescription,
                   CMItemCount sampleCount);
    ~CMSampleBuffer() override;
    CFTypeID TypeID() const override { return kCMSampleBufferTypeID; }

    CMBlockBufferRef DataBuffer() const { return m_dataBuffer; }
    bool DataReady() const { return m_dataReady; }
    CMFormatDescriptionRef FormatDescription() const { return m_formatDescription; }
    CMItemCount SampleCount() const { return m_sampleCount; }

    std::vector<CMSampleTimingInfo> m_timing;
    std::vector<size_t> m_sizes;
    CFArrayRef m_attachments = nullptr;  // owned, made on first request

private:
    CMBlockBufferRef m_dataBuffer;
    bool m_dataReady;
    CMFormatDescriptionRef m_formatDescription;
    CMItemCount m_sampleCount;
};

// Checks: a sample count not negative; timing and size entry counts 0, 1 or
// the sample count, with their arrays given; with a data buffer, the sizes
// of all samples at most its length, and for audio of a constant packet
// size (one frame per packet) without size entries, count × bytes per
// packet at most its length.
// A refused buffer returns its status and nothing retained.
OSStatus CMSampleBufferCreate(CFAllocatorRef allocator, CMBlockBufferRef dataBuffer, Boolean dataReady,
                              CMSampleBufferMakeDataReadyCallback makeDataReadyCallback,
                              void* makeDataReadyRefcon, CMFormatDescriptionRef formatDescription,
                              CMItemCount numSamples, CMItemCount numSampleTimingEntries,
                              const CMSampleTimingInfo* sampleTimingArray, CMItemCount numSampleSizeEntries,
                              const size_t* sampleSizeArray, CMSampleBufferRef* sampleBufferOut);

Boolean CMSampleBufferDataIsReady(CMSampleBufferRef buffer);
// Neither retained for the caller.
CMBlockBufferRef CMSampleBufferGetDataBuffer(CMSampleBufferRef buffer);
CMFormatDescriptionRef CMSampleBufferGetFormatDescription(CMSampleBufferRef buffer);
CMItemCount CMSampleBufferGetNumSamples(CMSampleBufferRef buffer);
// Of the first sample; invalid without timing.
CMTime CMSampleBufferGetPresentationTimeStamp(CMSampleBufferRef buffer);
CMTime CMSampleBufferGetDecodeTimeStamp(CMSampleBufferRef buffer);
// Of all samples together; invalid without timing.
CMTime CMSampleBufferGetDuration(CMSampleBufferRef buffer);
OSStatus CMSampleBufferGetSampleTimingInfo(CMSampleBufferRef buffer, CMItemIndex sampleIndex,
                                           CMSampleTimingInfo* timingInfoOut);
// 0 without size entries or outside 0 ≤ index < count.
size_t CMSampleBufferGetSampleSize(CMSampleBufferRef buffer, CMItemIndex sampleIndex);
size_t CMSampleBufferGetTotalSampleSize(CMSampleBufferRef buffer);
// One mutable dictionary per sample (CFDictionaryAsMutable gives each as
// mutable); made when createIfNecessary, else null until then. Not
// retained for the caller. Null for a buffer of 0 samples or of more than
// kCMSampleBufferMaxAttachmentSamples (a dictionary each would exhaust
// memory).
CFArrayRef CMSampleBufferGetSampleAttachmentsArray(CMSampleBufferRef buffer, Boolean createIfNecessary);

}  // namespace ComVantoVantoQZ64RADPlug
