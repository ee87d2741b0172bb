#include "FBC_Utl_Timecode.h"

#include <array>

namespace ComVantoVantoQZ64RADPlug {

namespace {
// What each recording frame rate is: pictures per second as
// timescale / duration (a 59.94i or 50i frame is one picture of two
// fields) and its timecode bases.
struct RateFacts {
    int64_t timescale;
    int64_t duration;
    uint32_t rounded;
    uint32_t recorded;
};

RateFacts FactsOf(_Frame_Rate rate) {
    switch (rate) {
        case kFrameRate5994i:
        case kFrameRate2997P:
            return {30000, 1001, 30, 30};
        case kFrameRate50i:
        case kFrameRate25P:
            return {25, 1, 25, 25};
        case kFrameRate2398P:
        case kFrameRate2398PsF:
            return {24000, 1001, 24, 24};
        case kFrameRate24P:
            return {24, 1, 24, 24};
        case kFrameRate5994P:
            return {60000, 1001, 60, 30};
        case kFrameRate50P:
            return {50, 1, 50, 25};
        default:
            return {0, 0, 0, 0};
    }
}

bool IsDropFrameCounting(uint32_t base, uint32_t flags) {
    return (flags & kTimecodeFlagDropFrame) && base == 30;
}
}  // namespace

uint32_t FBC_Utl_RoundedTimecodeBase(_Frame_Rate rate) {
    return FactsOf(rate).rounded;
}
uint32_t FBC_Utl_RecordedTimecodeBase(_Frame_Rate rate) {
    return FactsOf(rate).recorded;
}
std::pair<int64_t, int64_t> FBC_Utl_PictureRate(_Frame_Rate rate) {
    const RateFacts facts = FactsOf(rate);
    return {facts.timescale, facts.duration};
}

uint32_t FBC_Utl_CalculateDropFrameCount(const CUSharedPtr<TimecodeInfo>& timecode, uint32_t base) {
    if (!timecode || base != 30) return 0;
    const uint32_t m = timecode->hours * 60u + timecode->minutes;
    return 18 * (m / 10) + 2 * (m % 10);
}

uint64_t FBC_Utl_TimecodeFromFrame(const CUSharedPtr<TimecodeInfo>& timecode, uint32_t base, uint32_t flags) {
    if (!timecode || base == 0) return 0;
    const uint64_t seconds = timecode->hours * 3600ull + timecode->minutes * 60ull + timecode->seconds;
    uint64_t count = seconds * base + timecode->frames;
    // A label that drop-frame counting skips (frame 0 or 1 of most minutes)
    // goes through the same formula and lands on the frame before it.
    if (IsDropFrameCounting(base, flags)) count -= FBC_Utl_CalculateDropFrameCount(timecode, base);
    return count;
}

CUSharedPtr<TimecodeInfo> FBC_Utl_FrameFromTimecode(int64_t frameCount, uint32_t base, uint32_t flags) {
    CUSharedPtr<TimecodeInfo> result = TimecodeInfo::Create();
    if (base == 0) return result;
    uint64_t n = static_cast<uint64_t>(frameCount);
    if (frameCount < 0 && (flags & kTimecodeFlagAbsolute)) n = 0 - n;

    std::array<uint64_t, 10> skips{};
    const bool drop = IsDropFrameCounting(base, flags);
    if (drop) skips.fill(2), skips[0] = 0;
    uint64_t tenMinutes = 600ull * base;
    for (uint64_t d : skips) tenMinutes -= d;

    const uint64_t q = n / tenMinutes;
    uint64_t r = n % tenMinutes;
    size_t k = 0;
    // r < tenMinutes, so the walk stops within the ten minutes.
    while (k < skips.size() - 1 && r >= 60ull * base - skips[k]) {
        r -= 60ull * base - skips[k];
        ++k;
    }
    const uint64_t v = r + skips[k];
    const uint64_t minutesTotal = k + 10 * q;
    result->frames = static_cast<uint8_t>(v % base);
    result->seconds = static_cast<uint8_t>(v / base);
    result->minutes = static_cast<uint8_t>(minutesTotal % 60);
    result->hours = static_cast<uint8_t>(minutesTotal / 60);
    result->dropFrame = (flags & kTimecodeFlagDropFrame) ? 1 : 0;
    return result;
}

CUSharedPtr<TimecodeInfo> FBC_Utl_ReductionTimecode(const CUSharedPtr<TimecodeInfo>& a,
                                                    const CUSharedPtr<TimecodeInfo>& b, _Frame_Rate rate) {
    CUSharedPtr<TimecodeInfo> result = TimecodeInfo::Create();
    if (!a || !b || *b < *a) return result;
    const int base = static_cast<int>(FBC_Utl_RecordedTimecodeBase(rate));

    int frames = b->frames - a->frames;
    int borrow = 0;
    if (frames < 0) {
        frames += base;
        borrow = 1;
        // Without a base there is nothing to borrow the frames from.
        if (frames < 0) frames = 0;
    }
    int seconds = b->seconds - a->seconds - borrow;
    borrow = 0;
    if (seconds < 0) seconds += 60, borrow = 1;
    int minutes = b->minutes - a->minutes - borrow;
    borrow = 0;
    if (minutes < 0) minutes += 60, borrow = 1;
    const int hours = b->hours - a->hours - borrow;

    result->frames = static_cast<uint8_t>(frames);
    result->seconds = static_cast<uint8_t>(seconds);
    result->minutes = static_cast<uint8_t>(minutes);
    result->hours = static_cast<uint8_t>(hours);
    return result;
}

CUSharedPtr<TimecodeInfo> FBC_Utl_AddTimecode(const CUSharedPtr<TimecodeInfo>& a,
                                              const CUSharedPtr<TimecodeInfo>& b, _Frame_Rate rate,
                                              bool addFrames) {
    CUSharedPtr<TimecodeInfo> result = TimecodeInfo::Create();
    if (!a || !b) return result;
    const unsigned base = FBC_Utl_RecordedTimecodeBase(rate);

    unsigned carry = 0;
    if (addFrames) {
        unsigned frames = unsigned{a->frames} + b->frames;
        // Without a base the frames are summed and never carried.
        if (base != 0 && frames >= base) carry = frames / base, frames %= base;
        result->frames = static_cast<uint8_t>(frames);
    }
    unsigned seconds = unsigned{a->seconds} + b->seconds + carry;
    carry = seconds / 60;
    result->seconds = static_cast<uint8_t>(seconds % 60);
    unsigned minutes = unsigned{a->minutes} + b->minutes + carry;
    carry = minutes / 60;
    result->minutes = static_cast<uint8_t>(minutes % 60);
    result->hours = static_cast<uint8_t>(a->hours + b->hours + carry);
    return result;
}

}  // namespace ComVantoVantoQZ64RADPlug
