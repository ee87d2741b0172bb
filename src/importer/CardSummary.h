#pragma once
// A card in a few values, as `list` shows it: its medium ID, its media
// index's version, system bitmap and frame-rate type, and the summary of
// every clip in card order with how many are ready to import. Reads each
// clip under its own lock; call from one thread per card.
#include "CFBCContent.h"
#include "ClipSummary.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qzimport {

struct CardSummary {
    std::string mediaID;       // UUIDText of the medium; empty when it has none
    std::string indexVersion;  // "1.02": the major number, then the minor byte in hex
    uint32_t systemBitmap = 0;
    uint32_t frameRateType = 0;  // FrameRateTypeText names it
    std::vector<ClipSummary> clips;
    size_t readyCount = 0;  // clips in state "ready"
};

CardSummary SummarizeCard(const ComVantoVantoQZ64RADPlug::CFBCContent& content);

}  // namespace qzimport
