#include "MemberStreamInfo.h"

#include "CUStringMac.h"

#include <cstdio>

namespace ComVantoVantoQZ64RADPlug {

CUSharedPtr<MemberStreamInfo> MemberStreamInfo::Create(uint8_t number, uint32_t frames) {
    return CUSharedPtr<MemberStreamInfo>(new MemberStreamInfo(number, frames));
}

CUSharedPtr<CUStringMac> MemberStreamInfo::Description() const {
    char text[32];
    std::snprintf(text, sizeof text, "%02u:%u", static_cast<unsigned>(streamNumber), frameCnt);
    return CUStringMac::Create(text);
}

}  // namespace ComVantoVantoQZ64RADPlug
