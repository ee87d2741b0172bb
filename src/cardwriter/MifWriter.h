#pragma once
// Builds the card's media index INDEX.MIF: header, clip identifier table,
// clip information table (a copy of each clip's block), media metadata block
// and extension word, at their fixed offsets. Pure function of the
// description; safe from any thread.
#include "CardDescription.h"

#include <array>
#include <cstdint>
#include <vector>

namespace ComVantoVantoQZ64RADPlug::CardWriter {

inline constexpr uint32_t kMediaIndexSize = 2573824;  // the file always spans every table slot
inline constexpr uint32_t kMediaIndexMaxClips = 999;

// The 12-byte clip identifier record: user ID (2 bytes), 2 zero bytes,
// clip number (32-bit big-endian), 4 zero bytes.
std::array<uint8_t, 12> ClipIdRecord(const ClipId& id);

// The whole INDEX.MIF image (kMediaIndexSize bytes). Throws CardWriterError
// for more than 999 index entries.
std::vector<uint8_t> BuildMediaIndex(const CardDescription& card);

}  // namespace ComVantoVantoQZ64RADPlug::CardWriter
