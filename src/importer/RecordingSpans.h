#pragma once
// Recordings that continue across clips and cards: the pieces of each
// recording in order, found by following the relay links (previous and next
// clip identities) between the clips of every card given, with the pieces
// no card given holds named as missing. Built once on the caller's thread.
#include "CFBCClip.h"
#include "CFBCContent.h"
#include "CUSharedPtr.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>
#include <vector>

namespace qzimport {

// Who a relay link or a clip is: the medium, the clip ID text and the
// clip's relay UMID (dotted hex). Any of them may be empty.
struct RelayIdentity {
    std::string mediumID;
    std::string clipID;
    std::string umid;
    bool Empty() const { return mediumID.empty() && clipID.empty() && umid.empty(); }
    // The same clip: equal UMIDs when both links carry one, else the same
    // medium and clip ID.
    bool Names(const RelayIdentity& other) const;
};

// One piece of a recording: a clip of a given card, or a missing one.
struct RecordingPiece {
    bool missing = false;
    RelayIdentity identity;
    // Present pieces only.
    size_t cardIndex = 0;  // position in the cards given
    std::string card;      // the card folder as given
    ComVantoVantoQZ64RADPlug::CUSharedPtr<ComVantoVantoQZ64RADPlug::CFBCClip> clip;
    uint64_t frames = 0;
    std::string startTimecode;  // "HH:MM:SS:FF" (";" when drop frame); empty when unknown
    std::string endTimecode;    // of the last frame
    std::string recorded;       // shooting date and time (UTC text), the order of recordings
};

struct Recording {
    std::vector<RecordingPiece> pieces;
    size_t MissingCount() const;
    uint64_t FramesPresent() const;
    // The first clip present (every recording has one).
    const RecordingPiece& FirstPresent() const;
};

// A clip with the links it makes to the pieces before and after it.
struct LinkedClip {
    RecordingPiece piece;
    RelayIdentity previous;
    RelayIdentity next;
};

// Clip `clip` of the card at `folder` (position `cardIndex` in the cards
// given, whose medium identifier is `cardMedium`) with its relay links.
LinkedClip ReadLinkedClip(
    size_t cardIndex, const std::string& folder, const std::string& cardMedium,
    const ComVantoVantoQZ64RADPlug::CUSharedPtr<ComVantoVantoQZ64RADPlug::CFBCClip>& clip);

// The recordings the clips make, each a run of pieces along their links
// with the pieces none of them is named as missing, ordered by shooting
// time, then medium and clip ID.
std::vector<Recording> LinkRecordings(const std::vector<LinkedClip>& clips);

// Every recording of the cards, ordered by shooting time, then medium and
// clip ID, so the order the cards are given in does not matter. A card
// given twice (the same medium identifier) counts once.
std::vector<Recording> FindRecordings(
    const std::vector<std::string>& cardFolders,
    const std::vector<ComVantoVantoQZ64RADPlug::CUSharedPtr<ComVantoVantoQZ64RADPlug::CFBCContent>>& cards);

// A recording as `spans --json` and the report print it: firstClipId,
// complete, pieceCount, missingCount, framesPresent and pieces (missing,
// card, mediumId, clipId, umid; frames and timecodes of present pieces).
nlohmann::ordered_json RecordingJson(const Recording& recording);

}  // namespace qzimport
