#include "TimecodeInfo.h"

#include "CUStringMac.h"

#include <cstdio>
#include <tuple>

namespace ComVantoVantoQZ64RADPlug {

TimecodeInfo::TimecodeInfo(uint8_t h, uint8_t m, uint8_t s, uint8_t f, bool df)
    : frames(f), dropFrame(df ? 1 : 0), seconds(s), minutes(m), hours(h) {}

CUSharedPtr<TimecodeInfo> TimecodeInfo::Create() {
    return CUSharedPtr<TimecodeInfo>(new TimecodeInfo());
}

CUSharedPtr<TimecodeInfo> TimecodeInfo::Create(uint8_t h, uint8_t m, uint8_t s, uint8_t f, bool df) {
    return CUSharedPtr<TimecodeInfo>(new TimecodeInfo(h, m, s, f, df));
}

CUSharedPtr<CUStringMac> TimecodeInfo::Description() const {
    char text[32];
    std::snprintf(text, sizeof text, "%u:%u:%u:%u%s", hours, minutes, seconds, frames,
                  dropFrame ? " DF" : "");
    return CUStringMac::Create(text);
}

bool TimecodeInfo::operator<(const TimecodeInfo& o) const {
    return std::tie(hours, minutes, seconds, frames) < std::tie(o.hours, o.minutes, o.seconds, o.frames);
}

bool TimecodeInfo::operator==(const TimecodeInfo& o) const {
    return std::tie(hours, minutes, seconds, frames, dropFrame) ==
           std::tie(o.hours, o.minutes, o.seconds, o.frames, o.dropFrame);
}

}  // namespace ComVantoVantoQZ64RADPlug
