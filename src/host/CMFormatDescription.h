#pragma once
// What the samples of a track are: media type and subtype (codec), an
// immutable copy of the caller's extensions dictionary, and the values of
// its kind (video dimensions; audio stream description, channel layout and
// magic cookie; timecode frame duration, quanta and flags), each kept
// exactly as given. Immutable once made, so any thread may read one.
#include <vector>

#include "AudioChannelLayout.h"
#include "AudioStreamBasicDescription.h"
#include "CFDictionary.h"
#include "CFString.h"
#include "CMTime.h"

namespace ComVantoVantoQZ64RADPlug {

using CMMediaType = FourCharCode;
using CMVideoCodecType = FourCharCode;
using CMTimeCodeFormatType = FourCharCode;

inline constexpr CMMediaType kCMMediaType_Video = 0x76696465;     // 'vide'
inline constexpr CMMediaType kCMMediaType_Audio = 0x736F756E;     // 'soun'
inline constexpr CMMediaType kCMMediaType_TimeCode = 0x746D6364;  // 'tmcd'

inline constexpr CMTimeCodeFormatType kCMTimeCodeFormatType_TimeCode32 = 0x74633332;  // 'tc32'
inline constexpr CMTimeCodeFormatType kCMTimeCodeFormatType_TimeCode64 = 0x74633634;  // 'tc64'
inline constexpr CMTimeCodeFormatType kCMTimeCodeFormatType_Counter32 = 0x636E3332;   // 'cn32'
inline constexpr CMTimeCodeFormatType kCMTimeCodeFormatType_Counter64 = 0x636E3634;   // 'cn64'

enum : uint32_t {
    kCMTimeCodeFlag_DropFrame = 1u << 0,
    kCMTimeCodeFlag_24HourMax = 1u << 1,
    kCMTimeCodeFlag_NegTimesOK = 1u << 2,
};

enum : OSStatus {
    kCMFormatDescriptionError_InvalidParameter = -12710,
    kCMFormatDescriptionError_AllocationFailed = -12711,
    kCMFormatDescriptionError_ValueNotAvailable = -12718,
};

// A magic cookie is at most this many bytes.
inline constexpr size_t kCMFormatDescriptionMaxMagicCookieSize = 1u << 20;

// Extension key of the format's display name (a string).
extern const CFStringRef kCMFormatDescriptionExtension_FormatName;

struct CMVideoDimensions {
    int32_t width;
    int32_t height;
};

class CMFormatDescription final : public CFType {
public:
    CMFormatDescription(CMMediaType mediaType, FourCharCode mediaSubType, CFDictionaryRef extensions);
    ~CMFormatDescription() override;

    CFTypeID TypeID() const override { return kCMFormatDescriptionTypeID; }
    bool Equals(const CFType& other) const override;

    CMMediaType MediaType() const { return m_mediaType; }
    FourCharCode MediaSubType() const { return m_mediaSubType; }
    CFDictionaryRef Extensions() const { return m_extensions; }

    CMVideoDimensions m_dimensions = {0, 0};
    AudioStreamBasicDescription m_streamDescription;
    std::vector<uint8_t> m_channelLayout;  // the bytes given, empty when none
    std::vector<uint8_t> m_magicCookie;
    CMTime m_frameDuration = kCMTimeInvalid;
    uint32_t m_frameQuanta = 0;
    uint32_t m_timeCodeFlags = 0;

private:
    CMMediaType m_mediaType;
    FourCharCode m_mediaSubType;
    CFDictionaryRef m_extensions;  // owned copy, null when none was given
};

using CMFormatDescriptionRef = const CMFormatDescription*;
using CMVideoFormatDescriptionRef = CMFormatDescriptionRef;
using CMAudioFormatDescriptionRef = CMFormatDescriptionRef;
using CMTimeCodeFormatDescriptionRef = CMFormatDescriptionRef;

// Negative dimensions are refused.
OSStatus CMVideoFormatDescriptionCreate(CFAllocatorRef allocator, CMVideoCodecType codecType, int32_t width,
                                        int32_t height, CFDictionaryRef extensions,
                                        CMVideoFormatDescriptionRef* formatDescriptionOut);
// The stream description is required. A layout, when given, is layoutSize
// bytes holding its header and every channel description it counts
// (12 + 20 × count bytes, or the record's own 32 bytes when that is more).
OSStatus CMAudioFormatDescriptionCreate(CFAllocatorRef allocator, const AudioStreamBasicDescription* asbd,
                                        size_t layoutSize, const AudioChannelLayout* layout,
                                        size_t magicCookieSize, const void* magicCookie,
                                        CFDictionaryRef extensions,
                                        CMAudioFormatDescriptionRef* formatDescriptionOut);
// frameDuration must be a numeric time above zero; the format type one of
// the four timecode types.
OSStatus CMTimeCodeFormatDescriptionCreate(CFAllocatorRef allocator, CMTimeCodeFormatType timeCodeFormatType,
                                           CMTime frameDuration, uint32_t frameQuanta, uint32_t flags,
                                           CFDictionaryRef extensions,
                                           CMTimeCodeFormatDescriptionRef* formatDescriptionOut);

CMMediaType CMFormatDescriptionGetMediaType(CMFormatDescriptionRef description);
FourCharCode CMFormatDescriptionGetMediaSubType(CMFormatDescriptionRef description);
// Not retained for the caller; null when the description has none.
CFDictionaryRef CMFormatDescriptionGetExtensions(CMFormatDescriptionRef description);
CFTypeRef CMFormatDescriptionGetExtension(CMFormatDescriptionRef description, CFStringRef key);
Boolean CMFormatDescriptionEqual(CMFormatDescriptionRef description1, CMFormatDescriptionRef description2);

// {0, 0} for a description that is not video.
CMVideoDimensions CMVideoFormatDescriptionGetDimensions(CMVideoFormatDescriptionRef description);
// Null for a description that is not audio; pointers stay valid as long as
// the description.
const AudioStreamBasicDescription* CMAudioFormatDescriptionGetStreamBasicDescription(
    CMAudioFormatDescriptionRef description);
const AudioChannelLayout* CMAudioFormatDescriptionGetChannelLayout(CMAudioFormatDescriptionRef description,
                                                                   size_t* layoutSizeOut);
const void* CMAudioFormatDescriptionGetMagicCookie(CMAudioFormatDescriptionRef description,
                                                   size_t* magicCookieSizeOut);
// kCMTimeInvalid and 0 for a description that is not timecode.
CMTime CMTimeCodeFormatDescriptionGetFrameDuration(CMTimeCodeFormatDescriptionRef description);
uint32_t CMTimeCodeFormatDescriptionGetFrameQuanta(CMTimeCodeFormatDescriptionRef description);
uint32_t CMTimeCodeFormatDescriptionGetTimeCodeFlags(CMTimeCodeFormatDescriptionRef description);

}  // namespace ComVantoVantoQZ64RADPlug
