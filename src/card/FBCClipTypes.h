#pragma once
// Enumerations of clip values, shared by the clip information reader, the
// clip values and the timecode arithmetic.
#include <cstdint>

namespace ComVantoVantoQZ64RADPlug {

// Recording frame rate of a clip; any other value is unknown.
enum _Frame_Rate : uint8_t {
    kFrameRateUnknown = 0,
    kFrameRate5994i = 1,
    kFrameRate50i = 2,
    kFrameRate2997P = 3,
    kFrameRate25P = 4,
    kFrameRate2398P = 5,
    kFrameRate5994P = 6,
    kFrameRate50P = 7,
    kFrameRate2398PsF = 8,  // 23.98P recorded with pull-down
    kFrameRate24P = 9,
};

}  // namespace ComVantoVantoQZ64RADPlug
