#pragma once
// What an export will write, decided before anything is written: the
// output sets (one clip, or one recording joined across clips and cards),
// each with its pieces, its in and out points and the base name of its
// files. Two sets of one run never share a name: where sets of different
// cards would, each gets its card folder's name as a prefix
// ("CARD2_QZ0001"). Built on the caller's thread; plain data after.
#include "CFBCClip.h"
#include "CFBCContent.h"
#include "CUSharedPtr.h"
#include "MIORADClipDataSourceProtocol.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qzimport {

class PluginHost;

// A card of the export, as the reader and as the plug-in see it.
struct ExportCard {
    std::string folder;  // as given
    std::string name;    // the folder's own name, for prefixes and messages
    std::string mediumId;
    ComVantoVantoQZ64RADPlug::CUSharedPtr<ComVantoVantoQZ64RADPlug::CFBCContent> content;
    // The clips the plug-in's volume offers, by upper-case clip ID, and
    // their IDs in the volume's order.
    std::map<std::string, std::shared_ptr<ComVantoVantoQZ64RADPlug::MIORADClipDataSourceProtocol>> offered;
    std::vector<std::string> order;
};

struct PlannedPiece {
    size_t card = 0;  // position in the export's cards
    std::string clipId;
    ComVantoVantoQZ64RADPlug::CUSharedPtr<ComVantoVantoQZ64RADPlug::CFBCClip> clip;
    // Null when the plug-in does not offer the clip.
    std::shared_ptr<ComVantoVantoQZ64RADPlug::MIORADClipDataSourceProtocol> descriptor;
    bool continuesPrevious = true;  // its timecode follows the piece before
};

struct OutputSetPlan {
    std::string baseName;
    std::vector<PlannedPiece> pieces;
    bool recording = false;  // made with --join
    // Frame indices of the clip in presentation order (single clips only).
    std::optional<uint32_t> inFrame;
    std::optional<uint32_t> outFrame;
    std::string inText, outText;  // as given
    // Why the set cannot be exported, decided at planning (a clip the
    // plug-in does not offer, a recording with a piece on no card given);
    // empty when it can.
    std::string failure;
    // Things to say about the set (a gap between pieces, a timecode break).
    std::vector<std::string> notices;
};

struct ExportSelection {
    std::vector<std::string> clipIds;  // one card only; empty: every clip
    bool join = false;
    bool allowMissing = false;   // --join: export what is present of a recording
    bool splitAtBreaks = false;  // --join: one set per run of continuous timecode
    std::string inText, outText;
};

class ExportPlan {
public:
    // Opens every card (ImportError kNotACard) and asks the plug-in for its
    // volume and clips (kNotACard when it makes none).
    static std::vector<ExportCard> OpenCards(PluginHost& host, const std::vector<std::string>& folders);
    // The output sets of the selection. Throws ImportError: kNoSuchClip for
    // a clip ID the card lacks, kUsage for an in or out point that is no
    // frame of a clip.
    static std::vector<OutputSetPlan> Build(const std::vector<ExportCard>& cards,
                                            const ExportSelection& selection);
};

}  // namespace qzimport
