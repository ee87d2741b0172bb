#pragma once
// A point in time (seconds since 2001-01-01 00:00:00 GMT, or null) with
// calendar access in the system time zone or GMT and text forms. Immutable
// except through operator=; may be read from several threads.
#include "CUObject.h"
#include "CUSharedPtr.h"

#include <cstdint>
#include <optional>

namespace ComVantoVantoQZ64RADPlug {

class CUStringMac;

// Calendar fields handed to CUDateTime.
struct _DateTimeInfo {
    int32_t year = 0;
    int32_t month = 0;   // 1 to 12
    int32_t day = 0;     // 1 to 31
    int32_t hour = 0;    // 0 to 23
    int32_t minute = 0;  // 0 to 59
    int32_t second = 0;  // 0 to 59
    // Seconds east of GMT of the zone in which the fields above are given.
    int32_t offsetFromGMT = 0;
    // Non-zero when the fields are daylight-saving time (one hour is taken off).
    uint8_t daylightSaving = 0;
};

// The calendar record GregorianDate answers; all zero for a null date.
struct CFGregorianDate {
    int32_t year = 0;
    int8_t month = 0;
    int8_t day = 0;
    int8_t hour = 0;
    int8_t minute = 0;
    double second = 0;
};

// Seconds since 2001-01-01 00:00:00 GMT.
typedef double CFAbsoluteTime;

class CUDateTime : public CUObject {
public:
    // The current time. Every constructor throws 1 when the date cannot be made.
    CUDateTime();
    explicit CUDateTime(CFAbsoluteTime absoluteTime);
    // Wall-clock time in the system time zone.
    CUDateTime(int year, int month, int day, int hour, int minute, int second);
    // Wall-clock time at info.offsetFromGMT; 3600 s earlier when the
    // daylight-saving flag is set.
    explicit CUDateTime(_DateTimeInfo& info);
    // Same absolute time; a null date stays null.
    CUDateTime(const CUDateTime& other);
    ~CUDateTime() override;

    // Null pointer when construction throws.
    static CUSharedPtr<CUDateTime> Create();
    static CUSharedPtr<CUDateTime> Create(CFAbsoluteTime absoluteTime);
    static CUSharedPtr<CUDateTime> Create(int year, int month, int day, int hour, int minute, int second);
    static CUSharedPtr<CUDateTime> Create(_DateTimeInfo& info);
    // A date whose platform date is null (what a failed copy leaves).
    static CUSharedPtr<CUDateTime> CreateNull();

    virtual CUDateTime& operator=(const CUDateTime& other);
    // Absolute times compared; false when either date is null.
    virtual bool operator==(const CUDateTime& other) const;
    virtual bool operator<(const CUDateTime& other) const;

    // "yyyy/MM/dd HH:mm:ss" in the system time zone; "(NULL)" for a null date.
    CUSharedPtr<CUStringMac> Description() const override;

    // Fields in the system time zone (local true) or GMT.
    CFGregorianDate GregorianDate(bool local) const;
    uint32_t GetYear(bool local) const;
    uint32_t GetMonth(bool local) const;
    uint32_t GetDay(bool local) const;
    uint32_t GetHour(bool local) const;
    uint32_t GetMinute(bool local) const;
    // Whole seconds (truncated).
    uint32_t GetSecond(bool local) const;

    // New dates that many seconds later (earlier when negative); null for a
    // null date. The receiver is unchanged.
    CUSharedPtr<CUDateTime> AddSeconds(double seconds) const;
    CUSharedPtr<CUDateTime> AddMinutes(double minutes) const;
    CUSharedPtr<CUDateTime> AddHours(double hours) const;
    CUSharedPtr<CUDateTime> AddDays(double days) const;

    // Formatted with the current locale. Styles: 0 none, 1 short, 2 medium,
    // 3 long, 4 full. The fields of GregorianDate(local) are shown as a
    // wall-clock time, so local false shows the GMT wall clock. "(NULL)" for
    // a null date or a formatting failure.
    CUSharedPtr<CUStringMac> GetString(bool local, long dateStyle, long timeStyle) const;
    CUSharedPtr<CUStringMac> GetString(bool local) const;      // medium date, medium time
    CUSharedPtr<CUStringMac> GetDateString(bool local) const;  // medium date, no time
    CUSharedPtr<CUStringMac> GetTimeString(bool local) const;  // no date, medium time

    bool IsNull() const { return !m_Date.has_value(); }
    // The absolute time; 0 for a null date.
    CFAbsoluteTime GetAbsoluteTime() const { return m_Date.value_or(0.0); }

    // Makes the system time zone follow the process's TZ setting again
    // (after setenv("TZ", ...) and tzset()); the zone is otherwise read once.
    static void ResetSystemTimeZone();

private:
    struct NullTag {};
    explicit CUDateTime(NullTag);

    std::optional<CFAbsoluteTime> m_Date;
};

}  // namespace ComVantoVantoQZ64RADPlug
