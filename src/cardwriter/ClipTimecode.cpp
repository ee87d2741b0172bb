#include "ClipTimecode.h"

#include <cstdio>

namespace ComVantoVantoQZ64RADPlug::CardWriter {

uint32_t DropFramesPerMinute(uint32_t base) {
    if (base == 30) return 2;
    if (base == 60) return 4;
    return 0;
}

uint64_t TimecodeToFrameCount(const Timecode& tc, uint32_t base, bool dropFrame) {
    if (base == 0) return 0;
    const uint64_t totalMinutes = uint64_t{tc.hours} * 60 + tc.minutes;
    uint64_t count = (totalMinutes * 60 + tc.seconds) * base + tc.frames;
    if (dropFrame) {
        const uint64_t skipped = uint64_t{DropFramesPerMinute(base)} * (totalMinutes - totalMinutes / 10);
        count = count >= skipped ? count - skipped : 0;
    }
    return count;
}

Timecode FrameCountToTimecode(uint64_t frameCount, uint32_t base, bool dropFrame) {
    if (base == 0) return {};
    uint64_t labels = frameCount;
    const uint64_t drop = dropFrame ? DropFramesPerMinute(base) : 0;
    if (drop != 0) {
        // Add back the labels skipped before this frame so the plain
        // breakdown below gives the drop-frame label.
        const uint64_t perTenMinutes = uint64_t{base} * 600 - 9 * drop;
        const uint64_t perMinute = uint64_t{base} * 60 - drop;
        const uint64_t tens = frameCount / perTenMinutes;
        const uint64_t rest = frameCount % perTenMinutes;
        labels += 9 * drop * tens;
        if (rest >= drop) labels += drop * ((rest - drop) / perMinute);
    }
    Timecode tc;
    tc.frames = static_cast<uint32_t>(labels % base);
    const uint64_t totalSeconds = labels / base;
    tc.seconds = static_cast<uint32_t>(totalSeconds % 60);
    tc.minutes = static_cast<uint32_t>((totalSeconds / 60) % 60);
    tc.hours = static_cast<uint32_t>(totalSeconds / 3600);
    return tc;
}

std::string TimecodeText(const Timecode& tc, bool dropFrame) {
    char text[48];
    std::snprintf(text, sizeof text, "%02u:%02u:%02u%c%02u", tc.hours, tc.minutes, tc.seconds,
                  dropFrame ? ';' : ':', tc.frames);
    return text;
}

bool ParseTimecode(const std::string& text, Timecode& tc, bool& dropFrame) {
    unsigned h = 0, m = 0, s = 0, f = 0;
    char separator = 0;
    int consumed = 0;
    if (std::sscanf(text.c_str(), "%2u:%2u:%2u%c%2u%n", &h, &m, &s, &separator, &f, &consumed) != 5)
        return false;
    if (static_cast<size_t>(consumed) != text.size() || (separator != ':' && separator != ';')) return false;
    if (m > 59 || s > 59) return false;
    tc = Timecode{h, m, s, f};
    dropFrame = separator == ';';
    return true;
}

}  // namespace ComVantoVantoQZ64RADPlug::CardWriter
