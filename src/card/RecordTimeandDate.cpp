#include "RecordTimeandDate.h"

#include "CUStringMac.h"

#include <cstdio>
#include <cstdlib>

namespace ComVantoVantoQZ64RADPlug {

CUSharedPtr<RecordTimeandDate> RecordTimeandDate::Create() {
    return CUSharedPtr<RecordTimeandDate>(new RecordTimeandDate());
}

bool RecordTimeandDate::HasTimeZone() const {
    return timeZoneHours >= 0 && timeZoneHours < kNoTimeZone;
}

int32_t RecordTimeandDate::TimeZoneOffsetMinutes() const {
    if (!HasTimeZone()) return 0;
    const int32_t minutes = timeZoneHours * 60 + (timeZoneHalfHour == 1 ? 30 : 0);
    return timeZoneSign == 1 ? -minutes : minutes;
}

bool RecordTimeandDate::IsValidTime() const {
    return month >= 1 && month <= 12 && day >= 1 && day <= 31 && hour <= 23 && minute <= 59 && second <= 59;
}

CUSharedPtr<CUStringMac> RecordTimeandDate::Description() const {
    char text[64];
    int n =
        std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", static_cast<unsigned>(year),
                      static_cast<unsigned>(month), static_cast<unsigned>(day), static_cast<unsigned>(hour),
                      static_cast<unsigned>(minute), static_cast<unsigned>(second));
    if (HasTimeZone() && n > 0 && static_cast<size_t>(n) < sizeof text) {
        const int32_t offset = TimeZoneOffsetMinutes();
        n += std::snprintf(text + n, sizeof text - static_cast<size_t>(n), " %c%02d:%02d",
                           offset < 0 ? '-' : '+', std::abs(offset) / 60, std::abs(offset) % 60);
    }
    if (daylightSavingTime == 1 && n > 0 && static_cast<size_t>(n) < sizeof text)
        n += std::snprintf(text + n, sizeof text - static_cast<size_t>(n), " DST");
    if (!IsValidTime() && n > 0 && static_cast<size_t>(n) < sizeof text)
        std::snprintf(text + n, sizeof text - static_cast<size_t>(n), " (invalid)");
    return CUStringMac::Create(text);
}

}  // namespace ComVantoVantoQZ64RADPlug
