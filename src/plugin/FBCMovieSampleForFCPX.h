#pragma once
// The one object per clip through which the host gets media: the video,
// audio and timecode format descriptions, the mappings between frame
// indices, host times and 48 kHz audio sample indices, and ready sample
// buffers for one video frame or a run of one frame's audio samples
// (the first two sound tracks as left and right).
// Thread safety: every operation holds the movie lock, so host threads may
// ask for buffers of one clip at once; they are built one at a time.
// Objects returned by create... and copy... belong to the caller.
#include "CFString.h"
#include "CFURL.h"
#include "CMFormatDescription.h"
#include "CMSampleBuffer.h"
#include "CMTime.h"
#include "FBCMovieSample.h"

#include <cstdint>

namespace ComVantoVantoQZ64RADPlug {

// The codec type a movie offers until Init is given another.
constexpr uint32_t kFBCDefaultCodecType = 0x717A7A31;  // 'qzz1'

// The most 16-bit samples of one track a frame may hold (one 4096-byte
// element): every supported rate needs at most 2002.
constexpr int64_t kFBCMaxAudioSamplesPerFrame = 2048;

// The time bases the audio mappings work in: a frame lasts frameDuration
// over mediaTimescale seconds, an audio sample audioDuration over
// audioTimescale.
struct FBCHostTimeBase {
    int64_t frameDuration = 0;
    int32_t mediaTimescale = 0;
    int64_t audioDuration = 0;
    int32_t audioTimescale = 0;
};

class FBCMovieSampleForFCPX : public FBCMovieSample {
public:
    FBCMovieSampleForFCPX();
    ~FBCMovieSampleForFCPX() override;

    // Empty when Init fails. `formatName` may be null; it is copied.
    static CUSharedPtr<FBCMovieSampleForFCPX> Create(const CUSharedPtr<CUStringMac>& path,
                                                     CFStringRef formatName, uint32_t codecType);
    // FBCMovieSample::Init, then the three descriptions; true when the video
    // description could be made.
    bool Init(const CUSharedPtr<CUStringMac>& path, CFStringRef formatName, uint32_t codecType);

    // The stored descriptions, not retained for the caller; null when absent.
    CMFormatDescriptionRef videoFormatDescription() const;
    CMFormatDescriptionRef audioFormatDescription() const;
    CMFormatDescriptionRef timeCodeFormatDescription() const;
    uint32_t codecType() const;

    // New descriptions owned by the caller, or null. Video: null when the
    // picture size or frame layout cannot be read. Audio: only for two or
    // more sound tracks of 48000/1 Hz, 16 bits, one channel each and block
    // align 2 (the first two of them), as interleaved 16-bit stereo.
    // Timecode: a 32-bit frame counter, null without a time base.
    CMFormatDescriptionRef createVideoFormatDescription();
    CMFormatDescriptionRef createAudioFormatDescription();
    CMFormatDescriptionRef createTimeCodeFormatDescription();

    // Presentation time of frame position `frame`; invalid outside
    // 0 <= frame < FrameCountInClip().
    CMTime presentationTimeAtIndex(int64_t frame);
    // The frame whose span holds `time` (exact floor), capped at the frame
    // count; a time before 0 gives 0. 0xFFFFFFFF for an invalid or
    // non-numeric time or without a time base.
    uint32_t frameIndexAtCMTime(CMTime time);

    // First audio sample of frame `frame` (0 <= frame <= FrameCountInClip(),
    // the end allowed); -1 without a usable time base.
    int64_t audioSampleIndexAtFrameIndex(int64_t frame);
    // The frame holding audio sample `sample` (>= 0); 0xFFFFFFFF when none.
    uint32_t frameIndexAtAudioSampleIndex(int64_t sample);
    // Samples of frame `frame` (0 <= frame < FrameCountInClip()); -1 otherwise.
    int64_t audioSampleCountAtFrameIndex(int64_t frame);
    // Samples of the whole clip; -1 without a usable time base.
    int64_t audioSampleCount();

    // The same mappings on a given time base (no frame-count limits), as
    // the members above use them. The sample index counts audioTimescale
    // units, so an audio duration other than 1 has none (-1).
    static int64_t AudioSampleIndexAtFrame(const FBCHostTimeBase& base, int64_t frame);
    static int64_t FrameAtAudioSampleIndex(const FBCHostTimeBase& base, int64_t sample);

    // New dictionary of the frame's four dependency booleans.
    CFMutableDictionaryRef createVideoSampleAttributesAtIndex(uint32_t frame);
    // One video sample: the picture element's bytes, decode time at the
    // stored position, presentation time at the display position, and the
    // dependency attachments. Null on any failure.
    CMSampleBufferRef createVideoSampleBufferAtIndex(int64_t frame);
    // The audio of frame `frame` from sample `offset` of the frame
    // (0 <= offset <= its sample count) up to `end` (rounded to the nearest
    // sample, at most the frame's end; +infinity is the frame's end), as
    // interleaved stereo. A run of 0 samples gives a buffer of 0 samples;
    // an end before the offset, or a frame no file holds, gives null.
    // Samples a track's element does not hold are silent.
    CMSampleBufferRef createAudioSampleBufferAtIndex(int64_t frame, int32_t offset, CMTime end);

    // Byte offset and length of element `element` of the frame in its file;
    // false when no file holds the frame, the element is missing, longer
    // than 2^31 - 1 bytes or does not lie inside its file.
    bool editInfoAtIndex(int64_t frame, uint32_t element, int64_t* offset, int32_t* length);
    // File URL of the member file holding the frame; null when none.
    CFURLRef copyUrlAtFrameIndex(int64_t frame);

private:
    FBCHostTimeBase TimeBase() const;

    CMFormatDescriptionRef m_videoFormat = nullptr;
    CMFormatDescriptionRef m_audioFormat = nullptr;
    CMFormatDescriptionRef m_timeCodeFormat = nullptr;
    CFStringRef m_formatName = nullptr;
    uint32_t m_codecType = kFBCDefaultCodecType;
};

}  // namespace ComVantoVantoQZ64RADPlug
