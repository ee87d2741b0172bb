#include "CMFormatDescription.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace ComVantoVantoQZ64RADPlug {

namespace {

const CFString sFormatName("FormatName", CFType::kConstant);

// Makes the description and its extensions copy; null when memory is short.
CMFormatDescription* Make(CMMediaType mediaType, FourCharCode subType, CFDictionaryRef extensions) {
    auto* description = new (std::nothrow) CMFormatDescription(mediaType, subType, extensions);
    if (description && extensions && !description->Extensions()) {
        CFRelease(description);
        return nullptr;
    }
    return description;
}

OSStatus Finish(CMFormatDescription* description, CMFormatDescriptionRef* out) {
    *out = description;
    return description ? 0 : kCMFormatDescriptionError_AllocationFailed;
}

}  // namespace

const CFStringRef kCMFormatDescriptionExtension_FormatName = &sFormatName;

CMFormatDescription::CMFormatDescription(CMMediaType mediaType, FourCharCode mediaSubType,
                                         CFDictionaryRef extensions)
    : m_mediaType(mediaType),
      m_mediaSubType(mediaSubType),
      m_extensions(extensions ? CFDictionaryCreateCopy(nullptr, extensions) : nullptr) {}

CMFormatDescription::~CMFormatDescription() {
    CFRelease(m_extensions);
}

bool CMFormatDescription::Equals(const CFType& other) const {
    const auto& b = static_cast<const CMFormatDescription&>(other);
    const bool sameExtensions = (!m_extensions && !b.m_extensions) || CFEqual(m_extensions, b.m_extensions);
    return m_mediaType == b.m_mediaType && m_mediaSubType == b.m_mediaSubType && sameExtensions &&
           m_dimensions.width == b.m_dimensions.width && m_dimensions.height == b.m_dimensions.height &&
           std::memcmp(&m_streamDescription, &b.m_streamDescription, sizeof m_streamDescription) == 0 &&
           m_channelLayout == b.m_channelLayout && m_magicCookie == b.m_magicCookie &&
           std::memcmp(&m_frameDuration, &b.m_frameDuration, sizeof m_frameDuration) == 0 &&
           m_frameQuanta == b.m_frameQuanta && m_timeCodeFlags == b.m_timeCodeFlags;
}

OSStatus CMVideoFormatDescriptionCreate(CFAllocatorRef, CMVideoCodecType codecType, int32_t width,
                                        int32_t height, CFDictionaryRef extensions,
                                        CMVideoFormatDescriptionRef* formatDescriptionOut) {
    if (!formatDescriptionOut) return kCMFormatDescriptionError_InvalidParameter;
    *formatDescriptionOut = nullptr;
    if (width < 0 || height < 0) return kCMFormatDescriptionError_InvalidParameter;
    CMFormatDescription* description = Make(kCMMediaType_Video, codecType, extensions);
    if (description) description->m_dimensions = {width, height};
    return Finish(description, formatDescriptionOut);
}

OSStatus CMAudioFormatDescriptionCreate(CFAllocatorRef, const AudioStreamBasicDescription* asbd,
                                        size_t layoutSize, const AudioChannelLayout* layout,
                                        size_t magicCookieSize, const void* magicCookie,
                                        CFDictionaryRef extensions,
                                        CMAudioFormatDescriptionRef* formatDescriptionOut) {
    if (!formatDescriptionOut) return kCMFormatDescriptionError_InvalidParameter;
    *formatDescriptionOut = nullptr;
    if (!asbd || asbd->mFormatID == 0 || !(asbd->mSampleRate >= 0) || !std::isfinite(asbd->mSampleRate))
        return kCMFormatDescriptionError_InvalidParameter;
    if ((layout == nullptr) != (layoutSize == 0)) return kCMFormatDescriptionError_InvalidParameter;
    if (layout) {
        const size_t needed = 12 + size_t(20) * layout->mNumberChannelDescriptions;
        if (layoutSize < needed || layoutSize > std::max(needed, sizeof(AudioChannelLayout)))
            return kCMFormatDescriptionError_InvalidParameter;
    }
    if ((magicCookie == nullptr) != (magicCookieSize == 0) ||
        magicCookieSize > kCMFormatDescriptionMaxMagicCookieSize)
        return kCMFormatDescriptionError_InvalidParameter;
    CMFormatDescription* description = Make(kCMMediaType_Audio, asbd->mFormatID, extensions);
    if (!description) return kCMFormatDescriptionError_AllocationFailed;
    try {
        const auto* layoutBytes = reinterpret_cast<const uint8_t*>(layout);
        const auto* cookieBytes = static_cast<const uint8_t*>(magicCookie);
        description->m_streamDescription = *asbd;
        description->m_channelLayout.assign(layoutBytes, layoutBytes + layoutSize);
        description->m_magicCookie.assign(cookieBytes, cookieBytes + magicCookieSize);
    } catch (const std::bad_alloc&) {
        CFRelease(description);
        return kCMFormatDescriptionError_AllocationFailed;
    }
    return Finish(description, formatDescriptionOut);
}

OSStatus CMTimeCodeFormatDescriptionCreate(CFAllocatorRef, CMTimeCodeFormatType timeCodeFormatType,
                                           CMTime frameDuration, uint32_t frameQuanta, uint32_t flags,
                                           CFDictionaryRef extensions,
                                           CMTimeCodeFormatDescriptionRef* formatDescriptionOut) {
    if (!formatDescriptionOut) return kCMFormatDescriptionError_InvalidParameter;
    *formatDescriptionOut = nullptr;
    if (timeCodeFormatType != kCMTimeCodeFormatType_TimeCode32 &&
        timeCodeFormatType != kCMTimeCodeFormatType_TimeCode64 &&
        timeCodeFormatType != kCMTimeCodeFormatType_Counter32 &&
        timeCodeFormatType != kCMTimeCodeFormatType_Counter64)
        return kCMFormatDescriptionError_InvalidParameter;
    if (!CMTIME_IS_NUMERIC(frameDuration) || frameDuration.value <= 0)
        return kCMFormatDescriptionError_InvalidParameter;
    CMFormatDescription* description = Make(kCMMediaType_TimeCode, timeCodeFormatType, extensions);
    if (description) {
        description->m_frameDuration = frameDuration;
        description->m_frameQuanta = frameQuanta;
        description->m_timeCodeFlags = flags;
    }
    return Finish(description, formatDescriptionOut);
}

CMMediaType CMFormatDescriptionGetMediaType(CMFormatDescriptionRef description) {
    return description ? description->MediaType() : 0;
}

FourCharCode CMFormatDescriptionGetMediaSubType(CMFormatDescriptionRef description) {
    return description ? description->MediaSubType() : 0;
}

CFDictionaryRef CMFormatDescriptionGetExtensions(CMFormatDescriptionRef description) {
    return description ? description->Extensions() : nullptr;
}

CFTypeRef CMFormatDescriptionGetExtension(CMFormatDescriptionRef description, CFStringRef key) {
    return CFDictionaryGetValue(CMFormatDescriptionGetExtensions(description), key);
}

Boolean CMFormatDescriptionEqual(CMFormatDescriptionRef description1, CMFormatDescriptionRef description2) {
    return CFEqual(description1, description2);
}

CMVideoDimensions CMVideoFormatDescriptionGetDimensions(CMVideoFormatDescriptionRef description) {
    if (!description || description->MediaType() != kCMMediaType_Video) return {0, 0};
    return description->m_dimensions;
}

const AudioStreamBasicDescription* CMAudioFormatDescriptionGetStreamBasicDescription(
    CMAudioFormatDescriptionRef description) {
    if (!description || description->MediaType() != kCMMediaType_Audio) return nullptr;
    return &description->m_streamDescription;
}

const AudioChannelLayout* CMAudioFormatDescriptionGetChannelLayout(CMAudioFormatDescriptionRef description,
                                                                   size_t* layoutSizeOut) {
    const bool has = description && description->MediaType() == kCMMediaType_Audio &&
                     !description->m_channelLayout.empty();
    if (layoutSizeOut) *layoutSizeOut = has ? description->m_channelLayout.size() : 0;
    return has ? reinterpret_cast<const AudioChannelLayout*>(description->m_channelLayout.data()) : nullptr;
}

const void* CMAudioFormatDescriptionGetMagicCookie(CMAudioFormatDescriptionRef description,
                                                   size_t* magicCookieSizeOut) {
    const bool has =
        description && description->MediaType() == kCMMediaType_Audio && !description->m_magicCookie.empty();
    if (magicCookieSizeOut) *magicCookieSizeOut = has ? description->m_magicCookie.size() : 0;
    return has ? description->m_magicCookie.data() : nullptr;
}

CMTime CMTimeCodeFormatDescriptionGetFrameDuration(CMTimeCodeFormatDescriptionRef description) {
    if (!description || description->MediaType() != kCMMediaType_TimeCode) return kCMTimeInvalid;
    return description->m_frameDuration;
}

uint32_t CMTimeCodeFormatDescriptionGetFrameQuanta(CMTimeCodeFormatDescriptionRef description) {
    if (!description || description->MediaType() != kCMMediaType_TimeCode) return 0;
    return description->m_frameQuanta;
}

uint32_t CMTimeCodeFormatDescriptionGetTimeCodeFlags(CMTimeCodeFormatDescriptionRef description) {
    if (!description || description->MediaType() != kCMMediaType_TimeCode) return 0;
    return description->m_timeCodeFlags;
}

}  // namespace ComVantoVantoQZ64RADPlug
