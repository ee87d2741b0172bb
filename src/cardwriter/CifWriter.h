#pragma once
// Builds a clip's 2560-byte clip information block (the .CIF file and its
// copy in the media index): coding, duration, member files, device, record
// date, BCD timecodes, recording mode, attributes and relay links.
// Pure function of the description; safe from any thread.
#include "CardDescription.h"

#include <array>
#include <cstdint>
#include <vector>

namespace ComVantoVantoQZ64RADPlug::CardWriter {

inline constexpr uint32_t kClipInformationSize = 2560;
inline constexpr uint32_t kClipInformationMaxMembers = 99;

// The block of clip `clipIndex` (position in card.clips). Throws
// CardWriterError for more than 99 members, a timecode or date field that
// does not fit its BCD bytes, or a record date and time that is not a
// possible one (month 13, hour 24, February 30, ...).
std::vector<uint8_t> BuildClipInformation(const CardDescription& card, size_t clipIndex);

// The start timecode as the block stores it: four BCD bytes frames,
// seconds, minutes, hours. Throws CardWriterError for a field above 99.
std::array<uint8_t, 4> TimecodeBcd(const Timecode& tc);

// The timecode of the clip's last picture, counted at the recorded base
// (the block's second timecode unless overridden).
Timecode LastFrameTimecode(const ClipDescription& clip);

}  // namespace ComVantoVantoQZ64RADPlug::CardWriter
