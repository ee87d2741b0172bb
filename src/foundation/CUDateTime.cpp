#include "CUDateTime.h"

#include "CUFailure.h"
#include "CUStringMac.h"

#include <unicode/calendar.h>
#include <unicode/datefmt.h>
#include <unicode/gregocal.h>
#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <utility>

namespace ComVantoVantoQZ64RADPlug {

namespace {

// Seconds from 1970-01-01 to 2001-01-01 (both 00:00:00 GMT).
constexpr double kEpochDelta = 978307200.0;

// Construction failures carry the value 1, the code callers test for.
[[noreturn]] void Fail(const char* what) {
    throw CUError(CUFailure(1, what));
}

UDate ToUDate(CFAbsoluteTime t) {
    return (t + kEpochDelta) * 1000.0;
}
CFAbsoluteTime FromUDate(UDate d) {
    return d / 1000.0 - kEpochDelta;
}

icu::TimeZone* CreateZone(bool local) {
    return local ? icu::TimeZone::createDefault() : icu::TimeZone::getGMT()->clone();
}

// Calendars, and the formatters that hold one, are made one at a time: ICU
// fills shared calendar data lazily on first use, with synchronisation inside
// the uninstrumented library that the thread sanitizer cannot see, and host
// threads make dates concurrently.
std::mutex& CalendarCreationLock() {
    static std::mutex lock;
    return lock;
}

// A Gregorian calendar in the system zone (local) or GMT; null on failure.
std::unique_ptr<icu::Calendar> CreateCalendar(bool local) {
    std::lock_guard<std::mutex> lock(CalendarCreationLock());
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Calendar> cal(new icu::GregorianCalendar(CreateZone(local), status));
    if (U_FAILURE(status)) return nullptr;
    return cal;
}

// This thread's calendar in the system zone (local) or GMT, made at its
// first use: making a calendar costs far more than using one. The local one
// takes the system zone afresh each time, as a new calendar would. Callers
// set every field they read (clear and set, or setTime). Null on failure.
icu::Calendar* ThreadCalendar(bool local) {
    thread_local std::unique_ptr<icu::Calendar> calendars[2];
    std::unique_ptr<icu::Calendar>& cal = calendars[local ? 1 : 0];
    if (!cal) {
        cal = CreateCalendar(local);
    } else if (local) {
        icu::TimeZone* zone = CreateZone(true);
        if (!zone) return nullptr;
        cal->adoptTimeZone(zone);
    }
    return cal.get();
}

// The absolute time of a wall-clock time in the system zone or GMT.
bool WallClockToAbsolute(bool local, int year, int month, int day, int hour, int minute, double second,
                         CFAbsoluteTime& out) {
    icu::Calendar* cal = ThreadCalendar(local);
    if (!cal) return false;
    const double whole = std::floor(second);
    if (!std::isfinite(whole) || whole < INT32_MIN || whole > INT32_MAX) return false;
    cal->clear();
    cal->set(UCAL_EXTENDED_YEAR, year);
    cal->set(UCAL_MONTH, month - 1);
    cal->set(UCAL_DATE, day);
    cal->set(UCAL_HOUR_OF_DAY, hour);
    cal->set(UCAL_MINUTE, minute);
    cal->set(UCAL_SECOND, static_cast<int32_t>(whole));
    UErrorCode status = U_ZERO_ERROR;
    const UDate d = cal->getTime(status);
    if (U_FAILURE(status)) return false;
    out = FromUDate(d) + (second - whole);
    return std::isfinite(out);
}

CUSharedPtr<CUStringMac> MakeString(const icu::UnicodeString& text) {
    return CUSharedPtr<CUStringMac>(new CUStringMac(std::u16string(text.getBuffer(), text.length())));
}

CUSharedPtr<CUStringMac> NullText() {
    return CUStringMac::Create("(NULL)");
}

bool ToStyle(long style, icu::DateFormat::EStyle& out) {
    switch (style) {
        case 0:
            out = icu::DateFormat::kNone;
            return true;
        case 1:
            out = icu::DateFormat::kShort;
            return true;
        case 2:
            out = icu::DateFormat::kMedium;
            return true;
        case 3:
            out = icu::DateFormat::kLong;
            return true;
        case 4:
            out = icu::DateFormat::kFull;
            return true;
        default:
            return false;
    }
}

// Construction failures (a CUError, or no memory) give a null pointer.
template <class... Args>
CUSharedPtr<CUDateTime> Make(Args&&... args) {
    try {
        return CUSharedPtr<CUDateTime>(new CUDateTime(std::forward<Args>(args)...));
    } catch (const CUError&) {
        return nullptr;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

}  // namespace

CUDateTime::CUDateTime() {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    m_Date = std::chrono::duration<double>(now).count() - kEpochDelta;
}

CUDateTime::CUDateTime(CFAbsoluteTime absoluteTime) {
    if (!std::isfinite(absoluteTime)) Fail("date from a time that is not a finite number");
    m_Date = absoluteTime;
}

CUDateTime::CUDateTime(int year, int month, int day, int hour, int minute, int second) {
    CFAbsoluteTime t = 0;
    if (!WallClockToAbsolute(true, year, month, day, hour, minute, second, t))
        Fail("date from fields that name no calendar time");
    m_Date = t;
}

CUDateTime::CUDateTime(_DateTimeInfo& info) {
    // The fields are a wall clock at a fixed offset: read them as GMT and
    // take the offset off (in double, so no offset can overflow).
    CFAbsoluteTime t = 0;
    if (!WallClockToAbsolute(false, info.year, info.month, info.day, info.hour, info.minute, info.second, t))
        Fail("date from fields that name no calendar time");
    t -= static_cast<double>(info.offsetFromGMT);
    if (info.daylightSaving) t -= 3600.0;
    m_Date = t;
}

CUDateTime::CUDateTime(const CUDateTime& other) : CUObject(), m_Date(other.m_Date) {}

CUDateTime::CUDateTime(NullTag) {}

CUDateTime::~CUDateTime() = default;

CUSharedPtr<CUDateTime> CUDateTime::Create() {
    return Make();
}

CUSharedPtr<CUDateTime> CUDateTime::Create(CFAbsoluteTime absoluteTime) {
    return Make(absoluteTime);
}

CUSharedPtr<CUDateTime> CUDateTime::Create(int year, int month, int day, int hour, int minute, int second) {
    return Make(year, month, day, hour, minute, second);
}

CUSharedPtr<CUDateTime> CUDateTime::Create(_DateTimeInfo& info) {
    return Make(info);
}

CUSharedPtr<CUDateTime> CUDateTime::CreateNull() {
    return CUSharedPtr<CUDateTime>(new CUDateTime(NullTag{}));
}

CUDateTime& CUDateTime::operator=(const CUDateTime& other) {
    m_Date = other.m_Date;
    return *this;
}

bool CUDateTime::operator==(const CUDateTime& other) const {
    return m_Date.has_value() && other.m_Date.has_value() && *m_Date == *other.m_Date;
}

bool CUDateTime::operator<(const CUDateTime& other) const {
    return m_Date.has_value() && other.m_Date.has_value() && *m_Date < *other.m_Date;
}

CUSharedPtr<CUStringMac> CUDateTime::Description() const {
    if (!m_Date) return NullText();
    UErrorCode status = U_ZERO_ERROR;
    std::unique_lock<std::mutex> creation(CalendarCreationLock());
    icu::SimpleDateFormat format(icu::UnicodeString(u"yyyy/MM/dd HH:mm:ss"), icu::Locale::getRoot(), status);
    creation.unlock();
    if (U_FAILURE(status)) return NullText();
    icu::UnicodeString text;
    format.format(ToUDate(*m_Date), text);
    return MakeString(text);
}

CFGregorianDate CUDateTime::GregorianDate(bool local) const {
    CFGregorianDate out;
    if (!m_Date) return out;
    icu::Calendar* cal = ThreadCalendar(local);
    if (!cal) return out;
    UErrorCode status = U_ZERO_ERROR;
    cal->setTime(ToUDate(*m_Date), status);
    const int32_t year = cal->get(UCAL_EXTENDED_YEAR, status);
    const int32_t month = cal->get(UCAL_MONTH, status) + 1;
    const int32_t day = cal->get(UCAL_DATE, status);
    const int32_t hour = cal->get(UCAL_HOUR_OF_DAY, status);
    const int32_t minute = cal->get(UCAL_MINUTE, status);
    const int32_t second = cal->get(UCAL_SECOND, status);
    const int32_t millis = cal->get(UCAL_MILLISECOND, status);
    if (U_FAILURE(status)) return out;
    out.year = year;
    out.month = static_cast<int8_t>(month);
    out.day = static_cast<int8_t>(day);
    out.hour = static_cast<int8_t>(hour);
    out.minute = static_cast<int8_t>(minute);
    out.second = second + millis / 1000.0;
    return out;
}

uint32_t CUDateTime::GetYear(bool local) const {
    return static_cast<uint32_t>(GregorianDate(local).year);
}
uint32_t CUDateTime::GetMonth(bool local) const {
    return static_cast<uint32_t>(GregorianDate(local).month);
}
uint32_t CUDateTime::GetDay(bool local) const {
    return static_cast<uint32_t>(GregorianDate(local).day);
}
uint32_t CUDateTime::GetHour(bool local) const {
    return static_cast<uint32_t>(GregorianDate(local).hour);
}
uint32_t CUDateTime::GetMinute(bool local) const {
    return static_cast<uint32_t>(GregorianDate(local).minute);
}
uint32_t CUDateTime::GetSecond(bool local) const {
    return static_cast<uint32_t>(static_cast<int32_t>(GregorianDate(local).second));
}

CUSharedPtr<CUDateTime> CUDateTime::AddSeconds(double seconds) const {
    if (!m_Date) return nullptr;
    return Create(*m_Date + seconds);
}
CUSharedPtr<CUDateTime> CUDateTime::AddMinutes(double minutes) const {
    return AddSeconds(minutes * 60.0);
}
CUSharedPtr<CUDateTime> CUDateTime::AddHours(double hours) const {
    return AddSeconds(hours * 60.0 * 60.0);
}
CUSharedPtr<CUDateTime> CUDateTime::AddDays(double days) const {
    return AddSeconds(days * 24.0 * 60.0 * 60.0);
}

CUSharedPtr<CUStringMac> CUDateTime::GetString(bool local, long dateStyle, long timeStyle) const {
    if (!m_Date) return NullText();
    icu::DateFormat::EStyle ds, ts;
    if (!ToStyle(dateStyle, ds) || !ToStyle(timeStyle, ts)) return NullText();
    if (ds == icu::DateFormat::kNone && ts == icu::DateFormat::kNone) return CUStringMac::Create("");
    std::unique_ptr<icu::DateFormat> format;
    {
        std::lock_guard<std::mutex> creation(CalendarCreationLock());
        format.reset(icu::DateFormat::createDateTimeInstance(ds, ts, icu::Locale::getDefault()));
    }
    if (!format) return NullText();
    // The GMT wall clock is shown by formatting in GMT rather than by reading
    // the GMT fields back as a local time: the latter shifts the times that
    // fall into a skipped or repeated daylight-saving hour and labels them
    // with the local zone's name.
    format->adoptTimeZone(CreateZone(local));
    icu::UnicodeString text;
    format->format(ToUDate(*m_Date), text);
    if (text.isBogus()) return NullText();
    return MakeString(text);
}

CUSharedPtr<CUStringMac> CUDateTime::GetString(bool local) const {
    return GetString(local, 2, 2);
}
CUSharedPtr<CUStringMac> CUDateTime::GetDateString(bool local) const {
    return GetString(local, 2, 0);
}
CUSharedPtr<CUStringMac> CUDateTime::GetTimeString(bool local) const {
    return GetString(local, 0, 2);
}

void CUDateTime::ResetSystemTimeZone() {
    icu::TimeZone::adoptDefault(icu::TimeZone::detectHostTimeZone());
}

}  // namespace ComVantoVantoQZ64RADPlug
