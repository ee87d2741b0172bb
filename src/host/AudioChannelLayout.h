#pragma once
// The host's audio channel layout record, laid out as the host lays it
// out: 12 bytes of header and a variable array of 20-byte channel
// descriptions (one declared, so the record alone is 32 bytes).
#include <cstddef>
#include <cstdint>

namespace ComVantoVantoQZ64RADPlug {

using AudioChannelLayoutTag = uint32_t;
using AudioChannelLabel = uint32_t;
using AudioChannelBitmap = uint32_t;
using AudioChannelFlags = uint32_t;

// The high 16 bits name the layout, the low 16 bits its channel count.
constexpr AudioChannelLayoutTag kAudioChannelLayoutTag_UseChannelDescriptions = 0;
constexpr AudioChannelLayoutTag kAudioChannelLayoutTag_UseChannelBitmap = 1u << 16;
constexpr AudioChannelLayoutTag kAudioChannelLayoutTag_Mono = (100u << 16) | 1;
constexpr AudioChannelLayoutTag kAudioChannelLayoutTag_Stereo = (101u << 16) | 2;  // 0x650002

// Channel labels: the speaker a channel is for, a discrete channel N
// (kAudioChannelLabel_Discrete_0 + N) when it is for none, or unknown.
constexpr AudioChannelLabel kAudioChannelLabel_Unknown = 0xFFFFFFFFu;
constexpr AudioChannelLabel kAudioChannelLabel_Left = 1;
constexpr AudioChannelLabel kAudioChannelLabel_Right = 2;
constexpr AudioChannelLabel kAudioChannelLabel_Mono = 42;
constexpr AudioChannelLabel kAudioChannelLabel_Discrete_0 = 1u << 16;

struct AudioChannelDescription {
    AudioChannelLabel mChannelLabel;
    AudioChannelFlags mChannelFlags;
    float mCoordinates[3];
};

struct AudioChannelLayout {
    AudioChannelLayoutTag mChannelLayoutTag;
    AudioChannelBitmap mChannelBitmap;
    uint32_t mNumberChannelDescriptions;
    AudioChannelDescription mChannelDescriptions[1];  // mNumberChannelDescriptions of them
};

static_assert(sizeof(AudioChannelDescription) == 20, "the host's layout is 20 bytes");
static_assert(offsetof(AudioChannelLayout, mChannelDescriptions) == 12, "12 bytes before the descriptions");
static_assert(sizeof(AudioChannelLayout) == 32, "the host's layout is 32 bytes");

}  // namespace ComVantoVantoQZ64RADPlug
