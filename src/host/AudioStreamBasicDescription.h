#pragma once
// The host's description of a linear PCM stream, laid out as the host
// media framework lays it out (40 bytes, native byte order), so values
// pass to a host unchanged.
#include <cstdint>

namespace ComVantoVantoQZ64RADPlug {

// Four-character codes are big-endian packed into 32 bits: 'lpcm'.
constexpr uint32_t kAudioFormatLinearPCM = 0x6C70636Du;
constexpr uint32_t kAudioFormatFlagIsFloat = 1u << 0;
constexpr uint32_t kAudioFormatFlagIsBigEndian = 1u << 1;
constexpr uint32_t kAudioFormatFlagIsSignedInteger = 1u << 2;
constexpr uint32_t kAudioFormatFlagIsPacked = 1u << 3;
constexpr uint32_t kAudioFormatFlagIsAlignedHigh = 1u << 4;
constexpr uint32_t kAudioFormatFlagIsNonInterleaved = 1u << 5;
constexpr uint32_t kAudioFormatFlagsNativeEndian = 0;  // little-endian hosts

struct AudioStreamBasicDescription {
    double mSampleRate = 0.0;  // frames per second
    uint32_t mFormatID = 0;
    uint32_t mFormatFlags = 0;
    uint32_t mBytesPerPacket = 0;
    uint32_t mFramesPerPacket = 0;
    uint32_t mBytesPerFrame = 0;
    uint32_t mChannelsPerFrame = 0;
    uint32_t mBitsPerChannel = 0;
    uint32_t mReserved = 0;
};
static_assert(sizeof(AudioStreamBasicDescription) == 40, "the host's layout is 40 bytes");

}  // namespace ComVantoVantoQZ64RADPlug
