#pragma once
// In and out points of a clip as a person gives them, a frame index or a
// timecode of the clip, turned into frame indices, and refused with the
// option, the text and what the option accepts when they name no frame of
// the clip. For `frames --in/--out` and the export's. Reads the clip under
// its own lock; call from one thread per clip.
#include "CFBCClip.h"

#include <cstdint>
#include <optional>
#include <string>

namespace qzimport {

// The frame index that `text`, given as option `option` ("--in", "--out"),
// names in clip `clip`, in presentation order (0 = the clip's first
// picture). `text` is a frame index (decimal digits) below the clip's
// frame count (tag DurationFrames), or a timecode of the clip, HH:MM:SS:FF
// with ";" or "." before the frames in drop-frame (FBC_Utl_ParseTimecode),
// from the clip's start timecode to the timecode of its last picture. At 50
// and 60 pictures per second a timecode labels two pictures and names the
// first of them (an even index). Throws ImportError (kUsage), one line:
// "--in 500: the clip QZ0001 has 300 frames; --in takes a frame index from
// 0 to 299 or a timecode from 01:00:00:00 to 01:00:09:29".
int64_t FramePoint(const std::string& option, const std::string& text,
                   ComVantoVantoQZ64RADPlug::CFBCClip& clip);

// Throws ImportError (kUsage) when the in point lies after the out point.
void CheckInNotAfterOut(int64_t in, int64_t out);

struct FramePoints {
    std::optional<int64_t> in;
    std::optional<int64_t> out;
};

// Both points as FramePoint reads them ("--in", "--out"; an absent text
// gives no point), and checked with CheckInNotAfterOut when both are given.
FramePoints ClipFramePoints(const std::optional<std::string>& in, const std::optional<std::string>& out,
                            ComVantoVantoQZ64RADPlug::CFBCClip& clip);

}  // namespace qzimport
