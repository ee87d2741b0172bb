#pragma once
// The built-in sample card (qzcard sample-card, tests, benchmarks) and the
// long clip for throughput work. Pure functions returning descriptions.
#include "CardDescription.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace ComVantoVantoQZ64RADPlug::CardWriter {

struct SampleCardOptions {
    uint32_t clipCount = 6;        // clips beyond the built-in set repeat it with new numbers
    uint32_t durationFrames = 60;  // per clip; the spanned clip gets 3x this, in three files
    // Every clip at this rate; empty = a mix of interlaced and progressive
    // rates of `family`.
    std::optional<FrameRate> rate;
    FrameRateFamily family = kFamily59_94;
    // Every clip's pictures from this stream, at its rate and picture size
    // (a `rate` that differs is refused). durationFrames 0 then means the
    // stream's picture count; a duration that would cut B pictures off from
    // the picture they display after is shortened to the nearest clean end
    // (lengthened when there is none before it). The spanned clip is cut
    // at GOPs whose leading B pictures reach back into the file before.
    std::shared_ptr<const Mpeg2EssenceStream> essence;
    // The card's medium UUID (MediumIdentity.h), from which the writer
    // derives the clips' UMIDs; the cards of a relay set are numbered from
    // it (MediumOfSetCard).
    Uuid medium = CardDescription().mediaUuid;
};

// Several clips covering interlaced and progressive rates of one family, the
// three picture sizes, 2 and 4 channels, CBR and VBR, a clip spanned over
// three MXF files, drop-frame timecode and full XML metadata.
// Throws CardWriterError for essence that cannot fill the card's clips.
CardDescription SampleCardDescription(const SampleCardOptions& options = {});

// One recording that fills `cardCount` cards, as a camera writes it: each
// card, a medium of its own numbered from `medium`, holds one piece of it
// (clip numbers continue from card to card), linked to the piece before and
// after by relay links naming the other card's medium, clip ID and relay
// UMID. The first card also holds a
// standalone clip before the recording and the last card one after it.
// Pieces carry `durationFrames` frames each (made even at 50 and 59.94
// progressive, whose timecode counts every second picture) at `rate`
// (59.94i when empty); their start timecodes and record times continue
// across the joints. `clipCount`, `family` and `essence` are not used.
// Throws CardWriterError for a card count outside 1-99.
std::vector<CardDescription> RelaySampleCardDescriptions(uint32_t cardCount,
                                                         const SampleCardOptions& options = {});

// One 1920x1080 50 Mbps clip of `frames` pictures (at least 3000 by default)
// in a card of its own.
CardDescription LongClipCardDescription(uint32_t frames = 3000, FrameRate rate = FrameRate::k59_94i);

}  // namespace ComVantoVantoQZ64RADPlug::CardWriter
