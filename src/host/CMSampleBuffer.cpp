#include "CMSampleBuffer.h"

#include <limits>
#include <new>

namespace ComVantoVantoQZ64RADPlug {

namespace {

const CFString sNotSync("NotSync", CFType::kConstant);
const CFString sPartialSync("PartialSync", CFType::kConstant);
const CFString sEarlierDisplayTimesAllowed("EarlierDisplayTimesAllowed", CFType::kConstant);
const CFString sIsDependedOnByOthers("IsDependedOnByOthers", CFType::kConstant);

bool ValidEntryCount(CMItemCount entries, CMItemCount samples, const void* array) {
    if (entries == 0) return true;
    return array && (entries == 1 || entries == samples);
}

}  // namespace

const CFStringRef kCMSampleAttachmentKey_NotSync = &sNotSync;
const CFStringRef kCMSampleAttachmentKey_PartialSync = &sPartialSync;
const CFStringRef kCMSampleAttachmentKey_EarlierDisplayTimesAllowed = &sEarlierDisplayTimesAllowed;
const CFStringRef kCMSampleAttachmentKey_IsDependedOnByOthers = &sIsDependedOnByOthers;

CMSampleBuffer::CMSampleBuffer(CMBlockBufferRef dataBuffer, bool dataReady,
                               CMFormatDescriptionRef formatDescription, CMItemCount sampleCount)
    : m_dataBuffer(dataBuffer),
      m_dataReady(dataReady),
      m_formatDescription(formatDescription),
      m_sampleCount(sampleCount) {
    CFRetain(m_dataBuffer);
    CFRetain(m_formatDescription);
}

CMSampleBuffer::~CMSampleBuffer() {
    CFRelease(m_attachments);
    CFRelease(m_formatDescription);
    CFRelease(m_dataBuffer);
}

OSStatus CMSampleBufferCreate(CFAllocatorRef, CMBlockBufferRef dataBuffer, Boolean dataReady,
                              CMSampleBufferMakeDataReadyCallback, void*,
                              CMFormatDescriptionRef formatDescription, CMItemCount numSamples,
                              CMItemCount numSampleTimingEntries, const CMSampleTimingInfo* sampleTimingArray,
                              CMItemCount numSampleSizeEntries, const size_t* sampleSizeArray,
                              CMSampleBufferRef* sampleBufferOut) {
    if (!sampleBufferOut) return kCMSampleBufferError_RequiredParameterMissing;
    *sampleBufferOut = nullptr;
    if (numSamples < 0 || numSampleTimingEntries < 0 || numSampleSizeEntries < 0)
        return kCMSampleBufferError_InvalidEntryCount;
    if ((numSampleTimingEntries > 0 && !sampleTimingArray) || (numSampleSizeEntries > 0 && !sampleSizeArray))
        return kCMSampleBufferError_RequiredParameterMissing;
    if (!ValidEntryCount(numSampleTimingEntries, numSamples, sampleTimingArray) ||
        !ValidEntryCount(numSampleSizeEntries, numSamples, sampleSizeArray))
        return kCMSampleBufferError_InvalidEntryCount;
    if (dataBuffer && numSampleSizeEntries > 0) {
        // Sizes are summed in 128 bits: a caller's count × size may exceed 64.
        unsigned __int128 total = 0;
        if (numSampleSizeEntries == 1) {
            total = static_cast<unsigned __int128>(sampleSizeArray[0]) * static_cast<uint64_t>(numSamples);
        } else {
            for (CMItemCount i = 0; i < numSampleSizeEntries; ++i) total += sampleSizeArray[i];
        }
        if (total > CMBlockBufferGetDataLength(dataBuffer)) return kCMSampleBufferError_ArrayTooSmall;
    }
    const AudioStreamBasicDescription* asbd =
        CMAudioFormatDescriptionGetStreamBasicDescription(formatDescription);
    if (dataBuffer && numSampleSizeEntries == 0 && asbd && asbd->mBytesPerPacket > 0 &&
        asbd->mFramesPerPacket == 1) {
        const unsigned __int128 total =
            static_cast<unsigned __int128>(asbd->mBytesPerPacket) * static_cast<uint64_t>(numSamples);
        if (total > CMBlockBufferGetDataLength(dataBuffer)) return kCMSampleBufferError_ArrayTooSmall;
    }
    auto* buffer = new (std::nothrow) CMSampleBuffer(dataBuffer, dataReady, formatDescription, numSamples);
    if (!buffer) return kCMSampleBufferError_AllocationFailed;
    try {
        buffer->m_timing.assign(sampleTimingArray, sampleTimingArray + numSampleTimingEntries);
        buffer->m_sizes.assign(sampleSizeArray, sampleSizeArray + numSampleSizeEntries);
    } catch (const std::bad_alloc&) {
        CFRelease(buffer);
        return kCMSampleBufferError_AllocationFailed;
    }
    *sampleBufferOut = buffer;
    return 0;
}

Boolean CMSampleBufferDataIsReady(CMSampleBufferRef buffer) {
    return buffer && buffer->DataReady();
}

CMBlockBufferRef CMSampleBufferGetDataBuffer(CMSampleBufferRef buffer) {
    return buffer ? buffer->DataBuffer() : nullptr;
}

CMFormatDescriptionRef CMSampleBufferGetFormatDescription(CMSampleBufferRef buffer) {
    return buffer ? buffer->FormatDescription() : nullptr;
}

CMItemCount CMSampleBufferGetNumSamples(CMSampleBufferRef buffer) {
    return buffer ? buffer->SampleCount() : 0;
}

CMTime CMSampleBufferGetPresentationTimeStamp(CMSampleBufferRef buffer) {
    return buffer && !buffer->m_timing.empty() ? buffer->m_timing[0].presentationTimeStamp : kCMTimeInvalid;
}

CMTime CMSampleBufferGetDecodeTimeStamp(CMSampleBufferRef buffer) {
    return buffer && !buffer->m_timing.empty() ? buffer->m_timing[0].decodeTimeStamp : kCMTimeInvalid;
}

CMTime CMSampleBufferGetDuration(CMSampleBufferRef buffer) {
    if (!buffer || buffer->m_timing.empty()) return kCMTimeInvalid;
    if (buffer->m_timing.size() == 1) {
        const CMItemCount count = buffer->SampleCount();
        if (count > std::numeric_limits<int32_t>::max()) return kCMTimeInvalid;
        return CMTimeMultiply(buffer->m_timing[0].duration, static_cast<int32_t>(count));
    }
    CMTime total = kCMTimeZero;
    for (const CMSampleTimingInfo& timing : buffer->m_timing) total = CMTimeAdd(total, timing.duration);
    return total;
}

OSStatus CMSampleBufferGetSampleTimingInfo(CMSampleBufferRef buffer, CMItemIndex sampleIndex,
                                           CMSampleTimingInfo* timingInfoOut) {
    if (!buffer || !timingInfoOut) return kCMSampleBufferError_RequiredParameterMissing;
    if (buffer->m_timing.empty()) return kCMSampleBufferError_BufferHasNoSampleTimingInfo;
    if (sampleIndex < 0 || sampleIndex >= buffer->SampleCount())
        return kCMSampleBufferError_SampleIndexOutOfRange;
    if (buffer->m_timing.size() > 1) {
        *timingInfoOut = buffer->m_timing[static_cast<size_t>(sampleIndex)];
        return 0;
    }
    // One entry for all samples: sample i starts i durations after the first.
    const CMSampleTimingInfo& first = buffer->m_timing[0];
    if (sampleIndex > std::numeric_limits<int32_t>::max()) return kCMSampleBufferError_SampleIndexOutOfRange;
    const CMTime offset = CMTimeMultiply(first.duration, static_cast<int32_t>(sampleIndex));
    timingInfoOut->duration = first.duration;
    timingInfoOut->presentationTimeStamp = CMTimeAdd(first.presentationTimeStamp, offset);
    timingInfoOut->decodeTimeStamp =
        CMTIME_IS_VALID(first.decodeTimeStamp) ? CMTimeAdd(first.decodeTimeStamp, offset) : kCMTimeInvalid;
    return 0;
}

size_t CMSampleBufferGetSampleSize(CMSampleBufferRef buffer, CMItemIndex sampleIndex) {
    if (!buffer || buffer->m_sizes.empty() || sampleIndex < 0 || sampleIndex >= buffer->SampleCount())
        return 0;
    return buffer->m_sizes.size() == 1 ? buffer->m_sizes[0]
                                       : buffer->m_sizes[static_cast<size_t>(sampleIndex)];
}

size_t CMSampleBufferGetTotalSampleSize(CMSampleBufferRef buffer) {
    if (!buffer || buffer->m_sizes.empty()) return 0;
    if (buffer->m_sizes.size() == 1) return buffer->m_sizes[0] * static_cast<size_t>(buffer->SampleCount());
    size_t total = 0;
    for (size_t size : buffer->m_sizes) total += size;
    return total;
}

CFArrayRef CMSampleBufferGetSampleAttachmentsArray(CMSampleBufferRef buffer, Boolean createIfNecessary) {
    if (!buffer || buffer->SampleCount() == 0 || buffer->SampleCount() > kCMSampleBufferMaxAttachmentSamples)
        return nullptr;
    if (buffer->m_attachments || !createIfNecessary) return buffer->m_attachments;
    CFMutableArrayRef array = CFArrayCreateMutable(nullptr, buffer->SampleCount(), &kCFTypeArrayCallBacks);
    if (!array) return nullptr;
    for (CMItemCount i = 0; i < buffer->SampleCount(); ++i) {
        CFMutableDictionaryRef attachments = CFDictionaryCreateMutable(
            nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
        const bool appended = attachments && array->Append(attachments);
        CFRelease(attachments);
        if (!appended) {
            CFRelease(array);
            return nullptr;
        }
    }
    buffer->m_attachments = array;
    return array;
}

}  // namespace ComVantoVantoQZ64RADPlug
