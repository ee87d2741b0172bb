#include "MIORADSDKUtilities.h"

#include "AudioChannelLayout.h"
#include "CFHolder.h"
#include "HostFileHandle.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace ComVantoVantoQZ64RADPlug {

namespace {

using Message = MIORADSampleCursorProtocol::Message;

// A sample of more sections than this is not a sample any cursor makes;
// the arrays for it are never allocated.
constexpr int64_t kMaxSections = 1 << 16;
constexpr size_t kCountingBytes = 1 << 16;

CMTime TimeIfAnswered(MIORADSampleCursorProtocol& cursor, Message message) {
    if (!cursor.respondsTo(message)) return kCMTimeInvalid;
    switch (message) {
        case Message::presentationTimeStamp:
            return cursor.presentationTimeStamp();
        case Message::decodeTimeStamp:
            return cursor.decodeTimeStamp();
        default:
            return cursor.duration();
    }
}

CMSampleTimingInfo TimingOf(MIORADSampleCursorProtocol& cursor) {
    CMSampleTimingInfo timing;
    timing.duration = TimeIfAnswered(cursor, Message::duration);
    timing.presentationTimeStamp = TimeIfAnswered(cursor, Message::presentationTimeStamp);
    timing.decodeTimeStamp = TimeIfAnswered(cursor, Message::decodeTimeStamp);
    return timing;
}

// The first section's offset and length of the cursor's sample.
bool FirstSection(MIORADSampleCursorProtocol& cursor, int64_t* offset, int64_t* length) {
    int64_t count = 0;
    CFHolder<CFURLRef> source;
    *offset = -1;
    *length = -1;
    return cursor.sampleLocation(1, &count, offset, length, &source) == 0 && count >= 1 && *offset >= 0 &&
           *length >= 0;
}

// Whether [offset, offset + length) lies inside the file, when its length
// can be known (a descriptor that is not a regular file is read as it is).
bool InsideFile(HostFileHandle& file, int64_t offset, int64_t length) {
    const int64_t size = file.Length();
    return size < 0 || (offset <= size && length <= size - offset);
}

void AudioChunkSampleBuffer(MIORADSampleCursorProtocol& cursor, int fileHandle, CMFormatDescriptionRef format,
                            CMSampleBufferRef* out) {
    int64_t chunkOffset = 0, chunkSize = 0, sampleCount = 0, sampleIndex = 0;
    bool sameSize = false, sameDuration = false, sameFormat = false;
    // Every out-argument is given: a host's cursor may fill them all.
    CFHolder<CFURLRef> source;
    if (cursor.chunkDetails(&source, &chunkOffset, &chunkSize, &sampleCount, &sampleIndex, &sameSize,
                            &sameDuration, &sameFormat) != 0)
        return;
    int64_t sectionOffset = 0, sectionLength = 0, chunkEnd = 0;
    if (!cursor.respondsTo(Message::sampleLocation) || !FirstSection(cursor, &sectionOffset, &sectionLength))
        return;
    if (chunkOffset < 0 || chunkSize < 0 || __builtin_add_overflow(chunkOffset, chunkSize, &chunkEnd)) return;
    if (sampleCount < 1 || sampleIndex < 0 || sampleIndex >= sampleCount) return;
    if (sectionOffset < chunkOffset || sectionOffset > chunkEnd) return;
    // The samples before the cursor's are left out. A cursor on the chunk's
    // first sample takes the chunk as it is, wherever its first section
    // starts (a chunk may begin with bytes before its first sample's).
    if (sampleIndex > 0) {
        sampleCount -= sampleIndex;
        chunkOffset = sectionOffset;
        chunkSize = chunkEnd - sectionOffset;
    }
    // Every sample holds at least a byte: a larger count is no real chunk,
    // and its entry arrays are never allocated.
    if (sampleCount > chunkSize) return;

    CFHolder<CMBlockBufferRef> block;
    int64_t read = 0;
    if (ReadAndCreateBlockBuffer(fileHandle, chunkSize, chunkOffset, block.Out(), &read) != 0) return;

    std::vector<CMSampleTimingInfo> timing;
    std::vector<size_t> sizes;
    int64_t steps = 0;
    bool failed = false;
    bool atEnd = false;
    for (int64_t i = 0; i < sampleCount; ++i) {
        if (i == 0 || !sameDuration) timing.push_back(atEnd ? timing.back() : TimingOf(cursor));
        if (i == 0 || !sameSize) {
            int64_t offset = 0, length = sectionLength;
            if (i > 0 && !atEnd && !FirstSection(cursor, &offset, &length)) {
                failed = true;
                break;
            }
            sizes.push_back(static_cast<size_t>(atEnd ? sizes.back() : length));
        }
        if ((sameDuration && sameSize) || i + 1 == sampleCount) break;
        if (atEnd) continue;
        // At the track's end the last sample's values stand for the rest.
        const OSStatus status = cursor.stepInDecodeOrder(1);
        if (status == 0) {
            ++steps;
        } else if (status == kMIORADSampleCursorEndOfTrackErr) {
            atEnd = true;
        } else {
            failed = true;
            break;
        }
    }
    if (steps > 0) cursor.stepInDecodeOrder(-steps);
    if (failed) return;
    CMSampleBufferCreate(nullptr, block.Get(), true, nullptr, nullptr, format, sampleCount,
                         static_cast<CMItemCount>(timing.size()), timing.data(),
                         static_cast<CMItemCount>(sizes.size()), sizes.data(), out);
}

void SectionsSampleBuffer(MIORADSampleCursorProtocol& cursor, int fileHandle, CMFormatDescriptionRef format,
                          CMSampleBufferRef* out) {
    if (!cursor.respondsTo(Message::sampleLocation)) return;
    int64_t count = 0;
    CFHolder<CFURLRef> source;
    if (cursor.sampleLocation(0, &count, nullptr, nullptr, &source) != 0 || count < 1 || count > kMaxSections)
        return;
    std::vector<int64_t> offsets(static_cast<size_t>(count), -1);
    std::vector<int64_t> lengths(static_cast<size_t>(count), -1);
    int64_t given = 0;
    if (cursor.sampleLocation(count, &given, offsets.data(), lengths.data(), &source) != 0 || given != count)
        return;
    HostFileHandle file(fileHandle);
    int64_t total = 0;
    for (int64_t i = 0; i < count; ++i) {
        const int64_t offset = offsets[size_t(i)], length = lengths[size_t(i)];
        if (offset < 0 || length < 0 || __builtin_add_overflow(total, length, &total) ||
            !InsideFile(file, offset, length))
            return;
    }
    if (total < 1 || uint64_t(total) > kCMBlockBufferMaxBlockLength) return;

    const size_t size = static_cast<size_t>(total);
    CFHolder<CMBlockBufferRef> block;
    char* data = nullptr;
    if (CMBlockBufferCreateWithMemoryBlock(nullptr, nullptr, size, kCFAllocatorDefault, nullptr, 0, size,
                                           kCMBlockBufferAssureMemoryNowFlag, block.Out()) != 0 ||
        CMBlockBufferGetDataPointer(block.Get(), 0, nullptr, nullptr, &data) != 0 || !data)
        return;
    int64_t at = 0;
    for (int64_t i = 0; i < count; ++i) {
        const int64_t offset = offsets[size_t(i)], length = lengths[size_t(i)];
        if (file.SeekFromStart(offset) != offset || file.Read(data + at, size_t(length)) != length) return;
        at += length;
    }

    CMSampleTimingInfo timing = TimingOf(cursor);
    CFHolder<CMSampleBufferRef> sample;
    if (CMSampleBufferCreate(nullptr, block.Get(), true, nullptr, nullptr, format, 1, 1, &timing, 1, &size,
                             sample.Out()) != 0)
        return;
    if (cursor.respondsTo(Message::sampleDependencyAttributes)) {
        CFHolder<CFDictionaryRef> attributes = cursor.sampleDependencyAttributes();
        CFArrayRef attachments = CMSampleBufferGetSampleAttachmentsArray(sample.Get(), true);
        CFMutableDictionaryRef target =
            attachments && CFArrayGetCount(attachments) > 0
                ? CFDictionaryAsMutable(CFCast<CFDictionary>(CFArrayGetValueAtIndex(attachments, 0)))
                : nullptr;
        if (attributes && target)
            for (const CFDictionary::Entry& entry : attributes.Get()->Entries())
                CFDictionarySetValue(target, entry.first, entry.second);
    }
    *out = sample.Detach();
}

// The label of a mono buffer's channel: its layout's own description, or
// discrete channel `channel` when the layout has none (a tag only, or no
// layout at all).
AudioChannelLabel LabelOf(CMFormatDescriptionRef format, uint32_t channel) {
    size_t size = 0;
    const AudioChannelLayout* layout = CMAudioFormatDescriptionGetChannelLayout(format, &size);
    if (layout && size >= sizeof(AudioChannelLayout) &&
        layout->mChannelLayoutTag == kAudioChannelLayoutTag_UseChannelDescriptions &&
        layout->mNumberChannelDescriptions >= 1)
        return layout->mChannelDescriptions[0].mChannelLabel;
    return kAudioChannelLabel_Discrete_0 + channel;
}

bool SameStream(const AudioStreamBasicDescription& a, const AudioStreamBasicDescription& b) {
    return a.mSampleRate == b.mSampleRate && a.mFormatID == b.mFormatID && a.mFormatFlags == b.mFormatFlags &&
           a.mBytesPerPacket == b.mBytesPerPacket && a.mFramesPerPacket == b.mFramesPerPacket &&
           a.mBytesPerFrame == b.mBytesPerFrame && a.mChannelsPerFrame == b.mChannelsPerFrame &&
           a.mBitsPerChannel == b.mBitsPerChannel;
}

}  // namespace

extern "C" {

void CreateSampleBufferFromSampleCursor(MIORADSampleCursorProtocol* cursor, int fileHandle,
                                        FourCharCode mediaType, CMSampleBufferRef* sampleBufferOut) {
    if (!sampleBufferOut) return;
    *sampleBufferOut = nullptr;
    if (!cursor) return;
    CMFormatDescriptionRef format = cursor->formatDescription();
    if (mediaType == kCMMediaType_Audio && cursor->respondsTo(Message::chunkDetails))
        AudioChunkSampleBuffer(*cursor, fileHandle, format, sampleBufferOut);
    else if (mediaType == kCMMediaType_Video || mediaType == kCMMediaType_Audio)
        SectionsSampleBuffer(*cursor, fileHandle, format, sampleBufferOut);
}

void CoalesceAudioSampleBuffers(CFArrayRef sampleBuffers, CMSampleBufferRef* sampleBufferOut) {
    if (!sampleBufferOut) return;
    *sampleBufferOut = nullptr;
    const CFIndex n = sampleBuffers ? CFArrayGetCount(sampleBuffers) : 0;
    if (n < 1 || n > CFIndex{UINT32_MAX / 2}) return;

    struct Channel {
        CMSampleBufferRef buffer;
        CMBlockBufferRef data;
        AudioChannelLabel label;
    };
    std::vector<Channel> channels;
    const AudioStreamBasicDescription* first = nullptr;
    CMItemCount samples = 0;
    for (CFIndex i = 0; i < n; ++i) {
        CMSampleBufferRef buffer =
            const_cast<CMSampleBufferRef>(CFCast<CMSampleBuffer>(CFArrayGetValueAtIndex(sampleBuffers, i)));
        CMFormatDescriptionRef format = CMSampleBufferGetFormatDescription(buffer);
        const AudioStreamBasicDescription* stream = CMAudioFormatDescriptionGetStreamBasicDescription(format);
        CMBlockBufferRef data = CMSampleBufferGetDataBuffer(buffer);
        if (!stream || !data || stream->mChannelsPerFrame != 1 || stream->mBytesPerFrame == 0) return;
        if (i == 0) {
            first = stream;
            samples = CMSampleBufferGetNumSamples(buffer);
        } else if (!SameStream(*stream, *first) || CMSampleBufferGetNumSamples(buffer) != samples) {
            return;
        }
        // Each channel's block is exactly its samples: the next channel
        // starts where a reader of this one stops.
        if (static_cast<unsigned __int128>(samples) * stream->mBytesPerFrame !=
            CMBlockBufferGetDataLength(data))
            return;
        channels.push_back({buffer, data, LabelOf(format, static_cast<uint32_t>(i))});
    }

    CMSampleTimingInfo timing;
    if (CMSampleBufferGetSampleTimingInfo(channels[0].buffer, 0, &timing) != 0) return;
    AudioStreamBasicDescription stream = *first;
    stream.mChannelsPerFrame = static_cast<uint32_t>(n);
    stream.mFormatFlags |= kAudioFormatFlagIsNonInterleaved;
    const size_t layoutSize = offsetof(AudioChannelLayout, mChannelDescriptions) +
                              sizeof(AudioChannelDescription) * static_cast<size_t>(n);
    std::vector<uint8_t> layoutBytes(std::max(layoutSize, sizeof(AudioChannelLayout)), 0);
    auto* layout = reinterpret_cast<AudioChannelLayout*>(layoutBytes.data());
    layout->mChannelLayoutTag = kAudioChannelLayoutTag_UseChannelDescriptions;
    layout->mNumberChannelDescriptions = static_cast<uint32_t>(n);
    for (size_t k = 0; k < channels.size(); ++k)
        layout->mChannelDescriptions[k].mChannelLabel = channels[k].label;

    CFHolder<CMFormatDescriptionRef> format;
    CMAudioFormatDescriptionRef made = nullptr;
    if (CMAudioFormatDescriptionCreate(
            nullptr, &stream, layoutSize, layout, 0, nullptr,
            CMFormatDescriptionGetExtensions(CMSampleBufferGetFormatDescription(channels[0].buffer)),
            &made) != 0)
        return;
    format.Reset(made);
    CFHolder<CMBlockBufferRef> block;
    if (CMBlockBufferCreateEmpty(nullptr, static_cast<uint32_t>(n), 0, block.Out()) != 0) return;
    for (const Channel& channel : channels)
        if (CMBlockBufferAppendBufferReference(block.Get(), channel.data, 0,
                                               CMBlockBufferGetDataLength(channel.data),
                                               kCMBlockBufferPermitEmptyReferenceFlag) != 0)
            return;
    CMSampleBufferCreate(nullptr, block.Get(), true, nullptr, nullptr, format.Get(), samples, 1, &timing, 0,
                         nullptr, sampleBufferOut);
}

OSStatus ReadAndCreateBlockBuffer(int fileHandle, int64_t length, int64_t offset,
                                  CMBlockBufferRef* blockBufferOut, int64_t* bytesReadOut) {
    if (blockBufferOut) *blockBufferOut = nullptr;
    if (bytesReadOut) *bytesReadOut = 0;
    if (!blockBufferOut || length < 0 || offset < 0) return kMIORADParameterErr;
    HostFileHandle file(fileHandle);
    if (!InsideFile(file, offset, length)) {
        // The file ends first: what is there is read only to be counted.
        if (file.SeekFromStart(offset) != offset) return kMIORADEndOfFileErr;
        std::vector<unsigned char> scratch(kCountingBytes);
        int64_t read = 0;
        for (int64_t n = 0; read < length; read += n) {
            n = file.Read(scratch.data(),
                          static_cast<size_t>(std::min<int64_t>(length - read, kCountingBytes)));
            if (n <= 0) break;
        }
        if (bytesReadOut) *bytesReadOut = read;
        return kMIORADEndOfFileErr;
    }
    const size_t size = static_cast<size_t>(length);
    CFHolder<CMBlockBufferRef> block;
    const OSStatus status =
        CMBlockBufferCreateWithMemoryBlock(nullptr, nullptr, size, kCFAllocatorDefault, nullptr, 0, size,
                                           kCMBlockBufferAssureMemoryNowFlag, block.Out());
    if (status != 0) return status;
    char* data = nullptr;
    const OSStatus pointer = CMBlockBufferGetDataPointer(block.Get(), 0, nullptr, nullptr, &data);
    if (pointer != 0) return pointer;
    if (file.SeekFromStart(offset) != offset) return kMIORADEndOfFileErr;
    const int64_t read = file.Read(data, size);
    if (read != length) {
        if (bytesReadOut) *bytesReadOut = std::max<int64_t>(read, 0);
        return kMIORADEndOfFileErr;
    }
    if (bytesReadOut) *bytesReadOut = length;
    *blockBufferOut = block.Detach();
    return 0;
}

OSStatus GetAvailableLengthAtOffset(int fileHandle, int64_t offset, int64_t* lengthOut) {
    const int64_t end = HostFileHandle(fileHandle).SeekToEnd();
    if (lengthOut) *lengthOut = end < 0 || offset < 0 ? 0 : std::max<int64_t>(end - offset, 0);
    return 0;
}

}  // extern "C"

}  // namespace ComVantoVantoQZ64RADPlug
