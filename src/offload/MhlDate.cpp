#include "MhlDate.h"

#include <chrono>
#include <cstdio>

namespace qzoffload {

namespace {

struct Fields {
    int year;
    unsigned month, day, hour, minute, second;
};

Fields FieldsOf(int64_t seconds) {
    using namespace std::chrono;
    const sys_seconds time{std::chrono::seconds(seconds)};
    const sys_days day = floor<days>(time);
    const year_month_day date{day};
    const hh_mm_ss<std::chrono::seconds> clock{time - day};
    return {static_cast<int>(date.year()),
            static_cast<unsigned>(date.month()),
            static_cast<unsigned>(date.day()),
            static_cast<unsigned>(clock.hours().count()),
            static_cast<unsigned>(clock.minutes().count()),
            static_cast<unsigned>(clock.seconds().count())};
}

bool Digits(const std::string& text, size_t at, size_t count, int& value) {
    if (at + count > text.size()) return false;
    value = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

}  // namespace

std::string MhlDate::Format(int64_t seconds) {
    const Fields f = FieldsOf(seconds);
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02u:%02u:%02uZ", f.year, f.month, f.day, f.hour,
                  f.minute, f.second);
    return text;
}

std::string MhlDate::FileNameStamp(int64_t seconds) {
    const Fields f = FieldsOf(seconds);
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u_%02u%02u%02uZ", f.year, f.month, f.day, f.hour, f.minute,
                  f.second);
    return text;
}

std::optional<int64_t> MhlDate::Parse(const std::string& text) {
    // YYYY-MM-DDTHH:MM:SS[.fraction][Z|(+|-)HH:MM]
    int year, month, day, hour, minute, second;
    if (!Digits(text, 0, 4, year) || text.size() < 19 || text[4] != '-' || !Digits(text, 5, 2, month) ||
        text[7] != '-' || !Digits(text, 8, 2, day) || text[10] != 'T' || !Digits(text, 11, 2, hour) ||
        text[13] != ':' || !Digits(text, 14, 2, minute) || text[16] != ':' || !Digits(text, 17, 2, second))
        return std::nullopt;
    size_t at = 19;
    if (at < text.size() && text[at] == '.') {
        ++at;
        const size_t start = at;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;
        if (at == start) return std::nullopt;
    }
    int offset = 0;
    if (at < text.size() && text[at] == 'Z') {
        ++at;
    } else if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        int hours, minutes;
        if (!Digits(text, at + 1, 2, hours) || at + 3 >= text.size() || text[at + 3] != ':' ||
            !Digits(text, at + 4, 2, minutes) || hours > 14 || minutes > 59)
            return std::nullopt;
        offset = (text[at] == '-' ? -1 : 1) * (hours * 3600 + minutes * 60);
        at += 6;
    }
    if (at != text.size()) return std::nullopt;
    using namespace std::chrono;
    const year_month_day date{std::chrono::year(year), std::chrono::month(static_cast<unsigned>(month)),
                              std::chrono::day(static_cast<unsigned>(day))};
    if (!date.ok() || hour > 23 || minute > 59 || second > 60) return std::nullopt;
    const int64_t days = sys_days(date).time_since_epoch().count();
    return days * 86400 + hour * 3600 + minute * 60 + second - offset;
}

}  // namespace qzoffload
