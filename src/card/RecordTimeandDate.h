#pragma once
// Record date and time of a clip information block (8 bytes at offset 960):
// the camera's wall-clock time with its time-zone flags. Plain record built
// fresh per request; not synchronised.
#include "CUObject.h"
#include "CUSharedPtr.h"

#include <cstdint>

namespace ComVantoVantoQZ64RADPlug {

class CUStringMac;

class RecordTimeandDate : public CUObject {
public:
    // Time-zone hours value that means "no time zone recorded".
    static constexpr int32_t kNoTimeZone = 15;

    static CUSharedPtr<RecordTimeandDate> Create();

    // A time zone was recorded (hours 0-14).
    bool HasTimeZone() const;
    // Signed offset from UTC in minutes (hours and half hour, daylight saving
    // not added); 0 without a time zone.
    int32_t TimeZoneOffsetMinutes() const;

    // Month 1-12, day 1-31, hour 0-23, minute and second 0-59. A block
    // from a damaged or foreign card may hold anything in these bytes.
    bool IsValidTime() const;

    // "2026-12-06 09:30:00", then " +01:00" with a time zone, then " DST"
    // when the daylight-saving flag is set, then " (invalid)" when the
    // fields do not name a possible time (so "59:01:00" is never shown as
    // a time of day).
    CUSharedPtr<CUStringMac> Description() const override;

    // Flag byte: bit 6, bit 5 (set: negative offset), bits 4-1, bit 0.
    int32_t daylightSavingTime = -1;
    int32_t timeZoneSign = -1;
    int32_t timeZoneHours = 0;
    int32_t timeZoneHalfHour = -1;
    uint16_t year = 0;  // 100 x century + year
    uint8_t month = 0;
    uint8_t day = 0;
    uint8_t hour = 0;
    uint8_t minute = 0;
    uint8_t second = 0;
};

}  // namespace ComVantoVantoQZ64RADPlug
