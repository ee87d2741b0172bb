#pragma once
// Reading a timecode that a person typed ("HH:MM:SS:FF", with ";" or "."
// before the frames for drop-frame) into a TimecodeInfo, refusing what no
// timecode clock of the given base shows. Pure functions: any thread.
#include "CUSharedPtr.h"
#include "TimecodeInfo.h"

#include <cstdint>
#include <string>

namespace ComVantoVantoQZ64RADPlug {

// The timecode of `text`: four fields of one or two decimal digits each,
// separated by ":", except ";" or "." before the frames, which mark a
// drop-frame label (the result's drop-frame field). `base` is the rate the
// timecode counts at (the recorded base: 30 for 59.94P). With
// `dropFrameCounting` at base 30 the labels that counting skips (frames 0
// and 1 of every minute not divisible by ten) are refused too.
// Null when the text is no such timecode; `why` (when given) then says
// which rule it breaks: "not HH:MM:SS:FF", "hours must be below 24",
// "minutes must be below 60", "seconds must be below 60", "frames must be
// below 30", "drop-frame counting skips this label".
CUSharedPtr<TimecodeInfo> FBC_Utl_ParseTimecode(const std::string& text, uint32_t base,
                                                bool dropFrameCounting, std::string* why = nullptr);

}  // namespace ComVantoVantoQZ64RADPlug
