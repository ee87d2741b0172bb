#include "FBC_Utl_TimecodeParse.h"

#include <cctype>

namespace ComVantoVantoQZ64RADPlug {

namespace {

// One field of one or two digits at `at`; moves `at` past it.
bool ReadField(const std::string& text, size_t& at, unsigned& value) {
    size_t digits = 0;
    value = 0;
    while (at < text.size() && digits < 3 && std::isdigit(static_cast<unsigned char>(text[at]))) {
        value = value * 10 + static_cast<unsigned>(text[at] - '0');
        ++at;
        ++digits;
    }
    return digits == 1 || digits == 2;
}

CUSharedPtr<TimecodeInfo> Refuse(std::string* why, const std::string& reason) {
    if (why) *why = reason;
    return CUSharedPtr<TimecodeInfo>();
}

}  // namespace

CUSharedPtr<TimecodeInfo> FBC_Utl_ParseTimecode(const std::string& text, uint32_t base,
                                                bool dropFrameCounting, std::string* why) {
    unsigned fields[4] = {0, 0, 0, 0};
    bool dropLabel = false;
    size_t at = 0;
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            const char separator = at < text.size() ? text[at] : '\0';
            const bool frameSeparator = i == 3 && (separator == ';' || separator == '.');
            if (separator != ':' && !frameSeparator) return Refuse(why, "not HH:MM:SS:FF");
            dropLabel = frameSeparator;
            ++at;
        }
        if (!ReadField(text, at, fields[i])) return Refuse(why, "not HH:MM:SS:FF");
    }
    if (at != text.size()) return Refuse(why, "not HH:MM:SS:FF");
    const unsigned hours = fields[0], minutes = fields[1], seconds = fields[2], frames = fields[3];
    if (hours >= 24) return Refuse(why, "hours must be below 24");
    if (minutes >= 60) return Refuse(why, "minutes must be below 60");
    if (seconds >= 60) return Refuse(why, "seconds must be below 60");
    if (frames >= base) return Refuse(why, "frames must be below " + std::to_string(base));
    if (dropFrameCounting && base == 30 && seconds == 0 && frames < 2 && minutes % 10 != 0)
        return Refuse(why, "drop-frame counting skips this label");
    return TimecodeInfo::Create(static_cast<uint8_t>(hours), static_cast<uint8_t>(minutes),
                                static_cast<uint8_t>(seconds), static_cast<uint8_t>(frames), dropLabel);
}

}  // namespace ComVantoVantoQZ64RADPlug
