#include "CodingInfo.h"

#include "CUStringMac.h"

#include <cstdio>

namespace ComVantoVantoQZ64RADPlug {

CUSharedPtr<CodingInfo> CodingInfo::Create() {
    return CUSharedPtr<CodingInfo>(new CodingInfo());
}

CUSharedPtr<CodingInfo> CodingInfo::Create(const unsigned char bytes[4]) {
    CUSharedPtr<CodingInfo> info = Create();
    info->videoType = static_cast<_Video_Type>(bytes[0] >> 4);
    info->aspectRatio = bytes[0] & 0x0Fu;
    info->videoFormat = static_cast<_Video_Format>(bytes[1] >> 4);
    info->frameRate = bytes[1] & 0x0Fu;
    info->audioType = static_cast<_Audio_Type>(bytes[2] >> 4);
    info->samplingFrequency = static_cast<_Sampling_Frequency>(bytes[2] & 0x0Fu);
    info->audioChannel = static_cast<_Audio_Channel>(bytes[3] >> 4);
    return info;
}

_Frame_Rate CodingInfo::FrameRate() const {
    if (frameRate < kFrameRate5994i || frameRate > kFrameRate24P) return kFrameRateUnknown;
    return static_cast<_Frame_Rate>(frameRate);
}

CUSharedPtr<CUStringMac> CodingInfo::Description() const {
    char text[192];
    std::snprintf(text, sizeof text,
                  "videoType=%u aspectRatio=%u videoFormat=%u frameRate=%u audioType=%u samplingFrequency=%u "
                  "audioChannel=%u",
                  static_cast<unsigned>(videoType), aspectRatio, static_cast<unsigned>(videoFormat),
                  frameRate, static_cast<unsigned>(audioType), static_cast<unsigned>(samplingFrequency),
                  static_cast<unsigned>(audioChannel));
    return CUStringMac::Create(text);
}

}  // namespace ComVantoVantoQZ64RADPlug
