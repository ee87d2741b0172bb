#pragma once
// Coding information of a clip information block (4 bytes at offset 4):
// video type and aspect ratio, video format and frame rate, audio type and
// sampling frequency, audio channel, each a 4-bit code held as a 32-bit
// value (0xFFFFFFFF until read). Plain record built fresh per request; not
// synchronised.
#include "CUObject.h"
#include "CUSharedPtr.h"
#include "FBCClipTypes.h"

#include <cstdint>

namespace ComVantoVantoQZ64RADPlug {

class CUStringMac;

class CodingInfo : public CUObject {
public:
    static constexpr uint32_t kNotRead = 0xFFFFFFFFu;

    static CUSharedPtr<CodingInfo> Create();
    // Decodes the four stored bytes.
    static CUSharedPtr<CodingInfo> Create(const unsigned char bytes[4]);

    // The frame rate as the enumeration: codes 1-9, anything else unknown.
    _Frame_Rate FrameRate() const;

    // "videoType=1 aspectRatio=3 videoFormat=1 frameRate=1 audioType=1
    // samplingFrequency=1 audioChannel=2"
    CUSharedPtr<CUStringMac> Description() const override;

    _Video_Type videoType = kVideoTypeNotRead;
    uint32_t aspectRatio = kNotRead;
    _Video_Format videoFormat = kVideoFormatNotRead;
    uint32_t frameRate = kNotRead;  // _Frame_Rate code
    _Audio_Type audioType = kAudioTypeNotRead;
    _Sampling_Frequency samplingFrequency = kSamplingFrequencyNotRead;
    _Audio_Channel audioChannel = kAudioChannelNotRead;
};

}  // namespace ComVantoVantoQZ64RADPlug
