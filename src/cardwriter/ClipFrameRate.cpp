#include "ClipFrameRate.h"

#include <cctype>

namespace ComVantoVantoQZ64RADPlug::CardWriter {

FrameRateTraits TraitsOf(FrameRate rate) {
    //                 num    den  rounded recorded interlaced drop  family
    auto make = [](uint32_t num, uint32_t den, uint32_t rounded, uint32_t recorded, bool interlaced,
                   bool drop, FrameRateFamily family) {
        return FrameRateTraits{num, den, rounded, recorded, interlaced, drop, family, true};
    };
    switch (rate) {
        case FrameRate::k59_94i:
            return make(30000, 1001, 30, 30, true, true, kFamily59_94);
        case FrameRate::k50i:
            return make(25, 1, 25, 25, true, false, kFamily50);
        case FrameRate::k29_97p:
            return make(30000, 1001, 30, 30, false, true, kFamily59_94);
        case FrameRate::k25p:
            return make(25, 1, 25, 25, false, false, kFamily50);
        case FrameRate::k23_98p:
            return make(24000, 1001, 24, 24, false, false, kFamily59_94);
        case FrameRate::k59_94p:
            return make(60000, 1001, 60, 30, false, true, kFamily59_94);
        case FrameRate::k50p:
            return make(50, 1, 50, 25, false, false, kFamily50);
        case FrameRate::k23_98pPulldown:
            return make(24000, 1001, 24, 24, false, false, kFamily59_94);
        case FrameRate::k24p:
            return make(24, 1, 24, 24, false, false, kFamily24);
    }
    return FrameRateTraits{};
}

namespace {

struct RateName {
    FrameRate rate;
    const char* name;
};
constexpr RateName kRateNames[] = {
    {FrameRate::k59_94i, "59.94i"}, {FrameRate::k50i, "50i"},
    {FrameRate::k29_97p, "29.97p"}, {FrameRate::k25p, "25p"},
    {FrameRate::k23_98p, "23.98p"}, {FrameRate::k59_94p, "59.94p"},
    {FrameRate::k50p, "50p"},       {FrameRate::k23_98pPulldown, "23.98p-pulldown"},
    {FrameRate::k24p, "24p"},
};

}  // namespace

std::string FrameRateName(FrameRate rate) {
    for (const auto& entry : kRateNames)
        if (entry.rate == rate) return entry.name;
    return "rate-" + std::to_string(static_cast<unsigned>(rate));
}

bool ParseFrameRate(std::string_view text, FrameRate& rate) {
    std::string lower;
    for (char c : text) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const auto& entry : kRateNames) {
        if (lower == entry.name) {
            rate = entry.rate;
            return true;
        }
    }
    return false;
}

}  // namespace ComVantoVantoQZ64RADPlug::CardWriter
