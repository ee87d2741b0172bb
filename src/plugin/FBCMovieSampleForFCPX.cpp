#include "FBCMovieSampleForFCPX.h"

#include "AudioChannelLayout.h"
#include "CFBoolean.h"
#include "CFHolder.h"
#include "CFNumber.h"
#include "CUAutoLock.h"
#include "CUStringMac.h"
#include "CVImageBuffer.h"
#include "ClipClock.h"
#include "MXFStream.h"
#include "MovieValueReading.h"
#include "STMetadataSets.h"
#include "STTrack.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace ComVantoVantoQZ64RADPlug {

namespace {

constexpr uint32_t kNoFrame = 0xFFFFFFFFu;
constexpr size_t kAudioScratchBytes = 4096;
constexpr uint32_t kStereoBytesPerSample = 4;

using DictionaryHolder = CFHolder<CFMutableDictionaryRef>;

// The clock of a time base's picture and sound rates. A sample index counts
// audioTimescale units, so a sample lasting any other number of them gives
// a clock without sound samples.
ClipClock SoundClock(const FBCHostTimeBase& base) {
    if (base.audioDuration != 1) return ClipClock();
    return ClipClock(base.mediaTimescale, base.frameDuration, 0, false, base.audioTimescale);
}

void SetInt32(CFMutableDictionaryRef dictionary, CFStringRef key, int32_t value) {
    CFHolder<CFNumberRef> number =
        CFHolder<CFNumberRef>::Adopt(CFNumberCreate(nullptr, kCFNumberSInt32Type, &value));
    if (number) CFDictionarySetValue(dictionary, key, number.Get());
}

DictionaryHolder NewDictionary() {
    return DictionaryHolder::Adopt(CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks,
                                                             &kCFTypeDictionaryValueCallBacks));
}

// Whether sound track `number` is one 16-bit channel of 48000/1 Hz with
// 2-byte blocks: the only layout whose elements are 16-bit mono samples.
bool IsMono16At48k(FBCMovieStream& movie, uint32_t number) {
    _MxfTrackInfo* sound = movie.MxfTrackInfoFromType(kMxfTrackSound, number);
    if (!sound || !sound->track) return false;
    _Rational rate;
    uint32_t bits = 0;
    uint32_t channels = 0;
    uint16_t blockAlign = 0;
    bool present = false;
    const CUFailure failure = movievalue::Guarded([&] {
        present = movievalue::Read(*sound->track, kLocalTag_AudioSamplingRate, rate) &&
                  movievalue::Read(*sound->track, kLocalTag_QuantizationBits, bits) &&
                  movievalue::Read(*sound->track, kLocalTag_ChannelCount, channels) &&
                  movievalue::Read(*sound->track, kLocalTag_BlockAlign, blockAlign);
    });
    return !failure.Failed() && present && rate.numerator == 48000 && rate.denominator == 1 && bits == 16 &&
           channels == 1 && blockAlign == 2;
}

// Left and right 16-bit samples into stereo pairs in one pass; samples
// past a track's `held` are silent.
void Interleave(const unsigned char* left, int64_t leftHeld, const unsigned char* right, int64_t rightHeld,
                int64_t count, unsigned char* out) {
    const int64_t both = std::min(leftHeld, rightHeld);
    int64_t i = 0;
    for (; i < both; ++i, out += kStereoBytesPerSample) {
        std::memcpy(out, left + 2 * i, 2);
        std::memcpy(out + 2, right + 2 * i, 2);
    }
    for (; i < count; ++i, out += kStereoBytesPerSample) {
        if (i < leftHeld)
            std::memcpy(out, left + 2 * i, 2);
        else
            out[0] = out[1] = 0;
        if (i < rightHeld)
            std::memcpy(out + 2, right + 2 * i, 2);
        else
            out[2] = out[3] = 0;
    }
}

}  // namespace

FBCMovieSampleForFCPX::FBCMovieSampleForFCPX() = default;

FBCMovieSampleForFCPX::~FBCMovieSampleForFCPX() {
    CFRelease(m_videoFormat);
    CFRelease(m_audioFormat);
    CFRelease(m_timeCodeFormat);
    CFRelease(m_formatName);
}

CUSharedPtr<FBCMovieSampleForFCPX> FBCMovieSampleForFCPX::Create(const CUSharedPtr<CUStringMac>& path,
                                                                 CFStringRef formatName, uint32_t codecType) {
    CUSharedPtr<FBCMovieSampleForFCPX> movie(new FBCMovieSampleForFCPX());
    if (!movie->Init(path, formatName, codecType)) return CUSharedPtr<FBCMovieSampleForFCPX>();
    return movie;
}

bool FBCMovieSampleForFCPX::Init(const CUSharedPtr<CUStringMac>& path, CFStringRef formatName,
                                 uint32_t codecType) {
    CUAutoLock lock(&LockObject());
    if (!FBCMovieSample::Init(path)) return false;
    m_codecType = codecType;
    CFRelease(m_formatName);
    m_formatName = formatName ? CFStringCreateCopy(nullptr, formatName) : nullptr;
    CFRelease(m_videoFormat);
    m_videoFormat = createVideoFormatDescription();
    CFRelease(m_audioFormat);
    m_audioFormat = createAudioFormatDescription();
    CFRelease(m_timeCodeFormat);
    m_timeCodeFormat = createTimeCodeFormatDescription();
    return m_videoFormat != nullptr;
}

CMFormatDescriptionRef FBCMovieSampleForFCPX::videoFormatDescription() const {
    CUAutoLock lock(&LockObject());
    return m_videoFormat;
}

CMFormatDescriptionRef FBCMovieSampleForFCPX::audioFormatDescription() const {
    CUAutoLock lock(&LockObject());
    return m_audioFormat;
}

CMFormatDescriptionRef FBCMovieSampleForFCPX::timeCodeFormatDescription() const {
    CUAutoLock lock(&LockObject());
    return m_timeCodeFormat;
}

uint32_t FBCMovieSampleForFCPX::codecType() const {
    CUAutoLock lock(&LockObject());
    return m_codecType;
}

CMFormatDescriptionRef FBCMovieSampleForFCPX::createVideoFormatDescription() {
    CUAutoLock lock(&LockObject());
    _MxfTrackInfo* picture = MxfTrackInfoFromType(kMxfTrackPicture, 0);
    if (!picture) return nullptr;
    int32_t width = 0;
    int32_t height = 0;
    uint8_t layout = 0;
    if (GetVideoInfoFromTrack(picture->track, &width, &height, &layout) != 0) return nullptr;
    DictionaryHolder extensions = NewDictionary();
    if (!extensions) return nullptr;
    if (m_formatName)
        CFDictionarySetValue(extensions.Get(), kCMFormatDescriptionExtension_FormatName, m_formatName);
    if (layout == 1) {
        CFDictionarySetValue(extensions.Get(), kCVImageBufferFieldDetailKey,
                             kCVImageBufferFieldDetailSpatialFirstLineEarly);
        SetInt32(extensions.Get(), kCVImageBufferFieldCountKey, 2);
    } else {
        SetInt32(extensions.Get(), kCVImageBufferFieldCountKey, 1);
    }
    DictionaryHolder aspect = NewDictionary();
    if (!aspect) return nullptr;
    const bool anamorphic = width == 1440;
    SetInt32(aspect.Get(), kCVImageBufferPixelAspectRatioHorizontalSpacingKey, anamorphic ? 4 : 1);
    SetInt32(aspect.Get(), kCVImageBufferPixelAspectRatioVerticalSpacingKey, anamorphic ? 3 : 1);
    CFDictionarySetValue(extensions.Get(), kCVImageBufferPixelAspectRatioKey, aspect.Get());
    CFDictionarySetValue(extensions.Get(), kCVImageBufferColorPrimariesKey,
                         kCVImageBufferColorPrimaries_ITU_R_709_2);
    CFDictionarySetValue(extensions.Get(), kCVImageBufferTransferFunctionKey,
                         kCVImageBufferTransferFunction_ITU_R_709_2);
    CFDictionarySetValue(extensions.Get(), kCVImageBufferYCbCrMatrixKey,
                         kCVImageBufferYCbCrMatrix_ITU_R_709_2);
    CMVideoFormatDescriptionRef description = nullptr;
    if (CMVideoFormatDescriptionCreate(nullptr, m_codecType, width, height, extensions.Get(), &description) !=
        0)
        return nullptr;
    return description;
}

CMFormatDescriptionRef FBCMovieSampleForFCPX::createAudioFormatDescription() {
    CUAutoLock lock(&LockObject());
    // Left and right are the first two tracks, each delivered as it is
    // stored: both must be 16-bit mono at 48 kHz.
    if (trackCountFromType(kMxfTrackSound) < 2 || !IsMono16At48k(*this, 0) || !IsMono16At48k(*this, 1))
        return nullptr;
    if (AudioTimescale() != 48000 || AudioDuration() != 1) return nullptr;
    AudioStreamBasicDescription stream;
    stream.mSampleRate = 48000.0;
    stream.mFormatID = kAudioFormatLinearPCM;
    stream.mFormatFlags =
        kAudioFormatFlagIsSignedInteger | kAudioFormatFlagIsPacked | kAudioFormatFlagsNativeEndian;
    stream.mBytesPerPacket = kStereoBytesPerSample;
    stream.mFramesPerPacket = 1;
    stream.mBytesPerFrame = kStereoBytesPerSample;
    stream.mChannelsPerFrame = 2;
    stream.mBitsPerChannel = 16;
    AudioChannelLayout layout;
    std::memset(&layout, 0, sizeof layout);
    layout.mChannelLayoutTag = kAudioChannelLayoutTag_Stereo;
    CMAudioFormatDescriptionRef description = nullptr;
    if (CMAudioFormatDescriptionCreate(nullptr, &stream, sizeof layout, &layout, 0, nullptr, nullptr,
                                       &description) != 0)
        return nullptr;
    return description;
}

CMFormatDescriptionRef FBCMovieSampleForFCPX::createTimeCodeFormatDescription() {
    CUAutoLock lock(&LockObject());
    if (FrameDuration() < 1 || MediaTimescale() < 1) return nullptr;
    DictionaryHolder extensions = NewDictionary();
    CFHolder<CFStringRef> key = CFHolder<CFStringRef>::Adopt(
        CFStringCreateWithCString(nullptr, "Framenumber", kCFStringEncodingASCII));
    if (!extensions || !key) return nullptr;
    SetInt32(extensions.Get(), key.Get(), static_cast<int32_t>(StartTimecode()));
    CMTimeCodeFormatDescriptionRef description = nullptr;
    if (CMTimeCodeFormatDescriptionCreate(
            nullptr, kCMTimeCodeFormatType_Counter32, CMTimeMake(FrameDuration(), MediaTimescale()),
            RoundedTimecodeBase(), isDropFrame() ? uint32_t{kCMTimeCodeFlag_DropFrame} : 0u, extensions.Get(),
            &description) != 0)
        return nullptr;
    return description;
}

CMTime FBCMovieSampleForFCPX::presentationTimeAtIndex(int64_t frame) {
    CUAutoLock lock(&LockObject());
    if (frame < 0 || frame >= FrameCountInClip() || timescale() < 1) return kCMTimeInvalid;
    return CMTimeMake(int64_t{durationPerFrame()} * frame, static_cast<CMTimeScale>(timescale()));
}

uint32_t FBCMovieSampleForFCPX::frameIndexAtCMTime(CMTime time) {
    CUAutoLock lock(&LockObject());
    const uint32_t scale = timescale();
    if (!CMTIME_IS_NUMERIC(time) || scale < 1 || scale > uint32_t{kCMTimeMaxTimescale} || time.timescale < 1)
        return kNoFrame;
    // The floor: a time inside a frame's span belongs to that frame.
    const CMTime media = CMTimeConvertScale(time, static_cast<int32_t>(scale),
                                            kCMTimeRoundingMethod_RoundTowardNegativeInfinity);
    if (!CMTIME_IS_NUMERIC(media)) return kNoFrame;
    const int64_t frame = frameIndexAtMediaTime(media.value);
    return frame < 0 ? kNoFrame : static_cast<uint32_t>(frame);
}

FBCHostTimeBase FBCMovieSampleForFCPX::TimeBase() const {
    return {FrameDuration(), MediaTimescale(), AudioDuration(), AudioTimescale()};
}

int64_t FBCMovieSampleForFCPX::AudioSampleIndexAtFrame(const FBCHostTimeBase& base, int64_t frame) {
    return SoundClock(base).SampleAtFrame(frame).value_or(-1);
}

int64_t FBCMovieSampleForFCPX::FrameAtAudioSampleIndex(const FBCHostTimeBase& base, int64_t sample) {
    return SoundClock(base).FrameAtSample(sample).value_or(-1);
}

int64_t FBCMovieSampleForFCPX::audioSampleIndexAtFrameIndex(int64_t frame) {
    CUAutoLock lock(&LockObject());
    if (frame < 0 || frame > FrameCountInClip()) return -1;
    return AudioSampleIndexAtFrame(TimeBase(), frame);
}

uint32_t FBCMovieSampleForFCPX::frameIndexAtAudioSampleIndex(int64_t sample) {
    CUAutoLock lock(&LockObject());
    const int64_t frame = FrameAtAudioSampleIndex(TimeBase(), sample);
    return frame < 0 || frame >= kNoFrame ? kNoFrame : static_cast<uint32_t>(frame);
}

int64_t FBCMovieSampleForFCPX::audioSampleCountAtFrameIndex(int64_t frame) {
    CUAutoLock lock(&LockObject());
    if (frame < 0 || frame >= FrameCountInClip()) return -1;
    const int64_t a = audioSampleIndexAtFrameIndex(frame);
    const int64_t b = audioSampleIndexAtFrameIndex(frame + 1);
    if (a < 0 || b < 1) return -1;
    return b - a;
}

int64_t FBCMovieSampleForFCPX::audioSampleCount() {
    CUAutoLock lock(&LockObject());
    return audioSampleIndexAtFrameIndex(FrameCountInClip());
}

CFMutableDictionaryRef FBCMovieSampleForFCPX::createVideoSampleAttributesAtIndex(uint32_t frame) {
    CUAutoLock lock(&LockObject());
    const uint32_t flags = sampleFlagAtIndex(frame);
    CFMutableDictionaryRef attributes = CFDictionaryCreateMutable(nullptr, 4, &kCFTypeDictionaryKeyCallBacks,
                                                                  &kCFTypeDictionaryValueCallBacks);
    if (!attributes) return nullptr;
    auto boolean = [](bool value) { return value ? kCFBooleanTrue : kCFBooleanFalse; };
    CFDictionarySetValue(attributes, kCMSampleAttachmentKey_NotSync, boolean(flags & kMediaSampleNotSync));
    CFDictionarySetValue(attributes, kCMSampleAttachmentKey_PartialSync,
                         boolean(flags & kMediaSamplePartialSync));
    CFDictionarySetValue(attributes, kCMSampleAttachmentKey_EarlierDisplayTimesAllowed,
                         boolean(flags & kMediaSampleEarlierDisplayTimesAllowed));
    CFDictionarySetValue(attributes, kCMSampleAttachmentKey_IsDependedOnByOthers,
                         boolean(!(flags & kMediaSampleDroppable)));
    return attributes;
}

CMSampleBufferRef FBCMovieSampleForFCPX::createVideoSampleBufferAtIndex(int64_t frame) {
    CUAutoLock lock(&LockObject());
    const int64_t duration = FrameDuration();
    const int32_t scale = MediaTimescale();
    if (!m_videoFormat || duration < 1 || scale < 1 || frame < 0 || frame >= FrameCountInClip())
        return nullptr;
    const uint32_t f = static_cast<uint32_t>(frame);
    const int32_t element = trackIndexFromType(kMxfTrackPicture, 0);
    if (element < 0) return nullptr;
    int32_t length = 0;
    if (!editInfoAtIndex(frame, static_cast<uint32_t>(element), nullptr, &length) || length < 1)
        return nullptr;

    // The picture is read straight into the buffer's own block.
    const size_t size = static_cast<size_t>(length);
    CFHolder<CMBlockBufferRef> block;
    if (CMBlockBufferCreateWithMemoryBlock(nullptr, nullptr, size, kCFAllocatorDefault, nullptr, 0, size,
                                           kCMBlockBufferAssureMemoryNowFlag, block.Out()) != 0 ||
        !block)
        return nullptr;
    char* data = nullptr;
    if (CMBlockBufferGetDataPointer(block.Get(), 0, nullptr, nullptr, &data) != 0 || !data) return nullptr;
    if (ReadSampleData(f, kMxfTrackPicture, 0, reinterpret_cast<unsigned char*>(data),
                       static_cast<uint32_t>(length)) != static_cast<uint32_t>(length))
        return nullptr;

    const int64_t display = DisplayOffsetAtIndex(f);
    CMSampleTimingInfo timing;
    timing.duration = CMTimeMake(duration, scale);
    timing.presentationTimeStamp = CMTimeMake(duration * (frame + display), scale);
    timing.decodeTimeStamp = CMTimeMake(duration * frame, scale);
    CFHolder<CMSampleBufferRef> sample;
    if (CMSampleBufferCreate(nullptr, block.Get(), true, nullptr, nullptr, m_videoFormat, 1, 1, &timing, 1,
                             &size, sample.Out()) != 0 ||
        !sample)
        return nullptr;

    CFArrayRef attachments = CMSampleBufferGetSampleAttachmentsArray(sample.Get(), true);
    if (attachments && CFArrayGetCount(attachments) > 0) {
        CFMutableDictionaryRef target =
            CFDictionaryAsMutable(CFCast<CFDictionary>(CFArrayGetValueAtIndex(attachments, 0)));
        DictionaryHolder attributes = DictionaryHolder::Adopt(createVideoSampleAttributesAtIndex(f));
        if (target && attributes)
            for (const CFDictionary::Entry& entry : attributes.Get()->Entries())
                CFDictionarySetValue(target, entry.first, entry.second);
    }
    return sample.Detach();
}

CMSampleBufferRef FBCMovieSampleForFCPX::createAudioSampleBufferAtIndex(int64_t frame, int32_t offset,
                                                                        CMTime end) {
    CUAutoLock lock(&LockObject());
    const int64_t duration = AudioDuration();
    const int32_t scale = AudioTimescale();
    if (!m_audioFormat || duration < 1 || scale < 1 || frame < 0 || frame >= FrameCountInClip())
        return nullptr;
    const uint32_t f = static_cast<uint32_t>(frame);
    const int64_t a = audioSampleIndexAtFrameIndex(frame);
    const int64_t n = audioSampleCountAtFrameIndex(frame);
    const int64_t b = audioSampleIndexAtFrameIndex(frame + 1);
    if (a < 0 || n < 0 || n > kFBCMaxAudioSamplesPerFrame) return nullptr;
    if (offset < 0 || offset > n) return nullptr;
    // A frame no file holds has no audio, not silence.
    if (!mxfAtFrameIndex(f)) return nullptr;

    int64_t e = b;
    if (!(CMTIME_IS_VALID(end) && CMTIME_IS_POSITIVE_INFINITY(end))) {
        const CMTime at = CMTimeConvertScale(end, scale, kCMTimeRoundingMethod_RoundHalfAwayFromZero);
        e = CMTIME_IS_NUMERIC(at) ? std::min(at.value, b) : 0;
    }
    const int64_t s = a + offset;
    if (e < s) return nullptr;
    const int64_t count = e - s;  // at most n - offset

    CFHolder<CMBlockBufferRef> block;
    if (count == 0) {
        if (CMBlockBufferCreateEmpty(nullptr, 0, 0, block.Out()) != 0 || !block) return nullptr;
    } else {
        const size_t bytes = static_cast<size_t>(count) * kStereoBytesPerSample;
        if (CMBlockBufferCreateWithMemoryBlock(nullptr, nullptr, bytes, kCFAllocatorDefault, nullptr, 0,
                                               bytes, kCMBlockBufferAssureMemoryNowFlag, block.Out()) != 0 ||
            !block)
            return nullptr;
        char* data = nullptr;
        if (CMBlockBufferGetDataPointer(block.Get(), 0, nullptr, nullptr, &data) != 0 || !data)
            return nullptr;
        // Each track's element holds its own sample count: samples it does
        // not hold are silent, the rest are copied as stored. The two
        // elements lie one after the other and are read in one call.
        unsigned char scratch[3 * kAudioScratchBytes];  // two elements and what lies between
        MXFEssenceRange values[2];
        const unsigned char* stored[2];
        int64_t held[2];
        if (ReadSampleElements(f, kMxfTrackSound, 0, 2, scratch, sizeof scratch, values) != 0) {
            for (uint32_t track = 0; track < 2; ++track) {
                stored[track] = scratch + values[track].first;
                // An element too large for a frame's audio is not delivered.
                const int64_t samples =
                    values[track].second <= kAudioScratchBytes ? values[track].second / 2 : 0;
                held[track] = std::clamp<int64_t>(samples - offset, 0, count);
            }
        } else {
            for (uint32_t track = 0; track < 2; ++track) {
                unsigned char* into = scratch + track * kAudioScratchBytes;
                stored[track] = into;
                const int64_t samples =
                    ReadSampleData(f, kMxfTrackSound, track, into, kAudioScratchBytes) / 2;
                held[track] = std::clamp<int64_t>(samples - offset, 0, count);
            }
        }
        Interleave(stored[0] + 2 * offset, held[0], stored[1] + 2 * offset, held[1], count,
                   reinterpret_cast<unsigned char*>(data));
    }

    CMSampleTimingInfo timing;
    timing.duration = CMTimeMake(duration, scale);
    timing.presentationTimeStamp = CMTimeMake(s, scale);
    timing.decodeTimeStamp = CMTimeMake(s, scale);
    CMSampleBufferRef sample = nullptr;
    if (CMSampleBufferCreate(nullptr, block.Get(), true, nullptr, nullptr, m_audioFormat, count, 1, &timing,
                             0, nullptr, &sample) != 0)
        return nullptr;
    return sample;
}

bool FBCMovieSampleForFCPX::editInfoAtIndex(int64_t frame, uint32_t element, int64_t* offset,
                                            int32_t* length) {
    CUAutoLock lock(&LockObject());
    if (frame < 0 || frame >= FrameCountInClip()) return false;
    uint32_t local = 0;
    CUSharedPtr<MXFStream> stream = mxfAtFrameIndex(static_cast<uint32_t>(frame), &local);
    if (!stream) return false;
    // Its key and length alone: a cursor moving over pictures it does not
    // read costs a few bytes each, not a cache block.
    const MXFEssenceRange range = stream->PeekEssenceRange(local, element);
    if (range.first == MXFStream::kNoEssenceOffset) return false;
    if (range.second > uint64_t{std::numeric_limits<int32_t>::max()}) return false;
    CUSharedPtr<CUStream> file = stream->GetFileStream();
    const uint64_t fileLength = file ? file->Length() : 0;
    if (range.first > fileLength || range.second > fileLength - range.first) return false;
    if (offset) *offset = static_cast<int64_t>(range.first);
    if (length) *length = static_cast<int32_t>(range.second);
    return true;
}

CFURLRef FBCMovieSampleForFCPX::copyUrlAtFrameIndex(int64_t frame) {
    CUAutoLock lock(&LockObject());
    if (frame < 0 || frame >= FrameCountInClip()) return nullptr;
    const uint32_t f = static_cast<uint32_t>(frame);
    for (size_t i = 0; i < StreamInfoCount(); ++i) {
        const _MxfStreamInfo* info = StreamInfoAtIndex(static_cast<int64_t>(i));
        if (!info || f < info->startFrame || f - info->startFrame >= info->frameCount) continue;
        if (!info->path) return nullptr;
        CFHolder<CFStringRef> path = CFHolder<CFStringRef>::Adopt(
            CFStringCreateWithCString(nullptr, info->path->Utf8().c_str(), kCFStringEncodingUTF8));
        if (!path) return nullptr;
        return CFURLCreateWithFileSystemPath(nullptr, path.Get(), kCFURLPOSIXPathStyle, false);
    }
    return nullptr;
}

}  // namespace ComVantoVantoQZ64RADPlug
