#pragma once
// Recording frame rates of a QZ clip and the timing facts the card writer
// derives from them (edit rate, timecode bases, scan mode).
// Plain values and pure functions: safe to use from any thread.
#include <cstdint>
#include <string>
#include <string_view>

namespace ComVantoVantoQZ64RADPlug::CardWriter {

// The values are the frame-rate codes stored in the clip information block.
// Any other value may be cast in on purpose to write an unsupported clip.
enum class FrameRate : uint8_t {
    k59_94i = 1,
    k50i = 2,
    k29_97p = 3,
    k25p = 4,
    k23_98p = 5,
    k59_94p = 6,
    k50p = 7,
    k23_98pPulldown = 8,
    k24p = 9,
};

// Frame-rate family bits of the media index's system bitmap.
enum FrameRateFamily : uint8_t {
    kFamilyNone = 0,
    kFamily59_94 = 0x01,  // 59.94i, 29.97P, 23.98P, 59.94P, 23.98P pull-down
    kFamily50 = 0x02,     // 50i, 25P, 50P
    kFamily24 = 0x04,     // 24.00P
};

struct FrameRateTraits {
    uint32_t editRateNumerator = 0;    // pictures per second = numerator / denominator
    uint32_t editRateDenominator = 1;  // (frames, not fields, for interlaced rates)
    uint32_t roundedBase = 0;          // picture rate rounded: 30, 25, 24, 60 or 50; 0 when unknown
    uint32_t recordedBase = 0;         // rate the clip information timecodes count at: 30, 25 or 24
    bool interlaced = false;
    bool dropFrameAllowed = false;  // only the 1000/1001 rates with rounded base 30 or 60
    FrameRateFamily family = kFamilyNone;
    bool known = false;
};

// Traits of a rate; an unknown code gives traits with known == false.
FrameRateTraits TraitsOf(FrameRate rate);

// "59.94i", "50i", "29.97p", "25p", "23.98p", "59.94p", "50p", "23.98p-pulldown", "24p".
std::string FrameRateName(FrameRate rate);
// Accepts the names above (case-insensitive, "P"/"p"); false when unknown.
bool ParseFrameRate(std::string_view text, FrameRate& rate);

// The nine rates, in code order.
inline constexpr FrameRate kAllFrameRates[] = {
    FrameRate::k59_94i, FrameRate::k50i, FrameRate::k29_97p,         FrameRate::k25p, FrameRate::k23_98p,
    FrameRate::k59_94p, FrameRate::k50p, FrameRate::k23_98pPulldown, FrameRate::k24p,
};

}  // namespace ComVantoVantoQZ64RADPlug::CardWriter
