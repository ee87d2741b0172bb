#pragma once
// SMPTE-style timecode values and frame-count conversions used by the card
// writer (clip information timecodes, MXF timecode start positions).
// Pure functions: safe to use from any thread.
#include <cstdint>
#include <string>

namespace ComVantoVantoQZ64RADPlug::CardWriter {

struct Timecode {
    uint32_t hours = 0;  // not wrapped at 24
    uint32_t minutes = 0;
    uint32_t seconds = 0;
    uint32_t frames = 0;
    bool operator==(const Timecode&) const = default;
};

// Frame labels skipped per minute in drop-frame counting: 2 at base 30,
// 4 at base 60, 0 otherwise (drop frame exists only for those bases).
uint32_t DropFramesPerMinute(uint32_t base);

// Frame count of a timecode at the given base; with dropFrame the skipped
// labels (frames 0.. of minutes not divisible by ten) are not counted.
// Base 0 gives 0.
uint64_t TimecodeToFrameCount(const Timecode& tc, uint32_t base, bool dropFrame);

// Inverse of TimecodeToFrameCount; base 0 gives the zero timecode.
Timecode FrameCountToTimecode(uint64_t frameCount, uint32_t base, bool dropFrame);

// "HH:MM:SS:FF", with ';' before the frames in drop-frame mode.
std::string TimecodeText(const Timecode& tc, bool dropFrame);

// Parses "HH:MM:SS:FF" or "HH:MM:SS;FF" (the ';' sets dropFrame); false on
// malformed text.
bool ParseTimecode(const std::string& text, Timecode& tc, bool& dropFrame);

}  // namespace ComVantoVantoQZ64RADPlug::CardWriter
