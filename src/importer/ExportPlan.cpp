#include "ExportPlan.h"

#include "CUArray.h"
#include "CUNumber.h"
#include "CUStringMac.h"
#include "CardOpening.h"
#include "ClipStates.h"
#include "ValueTexts.h"
#include "ClipClock.h"
#include "ClipFramePoints.h"
#include "FBCClipValueTag.h"
#include "FBCContentValueTag.h"
#include "ImportError.h"
#include "PluginHost.h"
#include "RecordingSpans.h"
#include "TimecodeInfo.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>
#include <utility>

namespace qzimport {

using namespace ComVantoVantoQZ64RADPlug;

namespace {

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string FolderName(const std::string& folder) {
    std::error_code error;
    std::filesystem::path path = std::filesystem::weakly_canonical(folder, error);
    if (error) path = std::filesystem::path(folder).lexically_normal();
    if (path.filename().empty()) path = path.parent_path();
    return path.filename().string();
}

// The pictures since midnight that the clip's first picture's timecode
// stands for, and the pictures of a day, at the clip's own rate; nothing
// without a start timecode or a known rate.
std::optional<std::pair<int64_t, int64_t>> StartPicture(CFBCClip& clip) {
    const ClipClock clock = clip.Clock();
    const std::optional<int64_t> start =
        clock.FramesOfTimecode(CUDynamicCast<TimecodeInfo>(clip.ValueForTag(kClipValueStartTimecode)));
    if (!start) return std::nullopt;
    return std::make_pair(*start, clock.FramesPerDay());
}

PlannedPiece PieceOf(const std::vector<ExportCard>& cards, size_t card, const CUSharedPtr<CFBCClip>& clip) {
    PlannedPiece piece;
    piece.card = card;
    CUSharedPtr<CUStringMac> id = clip->GetClipID();
    piece.clipId = id ? id->Utf8() : std::string();
    piece.clip = clip;
    const auto offered = cards[card].offered.find(Upper(piece.clipId));
    if (offered != cards[card].offered.end()) piece.descriptor = offered->second;
    return piece;
}

std::string NotOffered(const ExportCard& card, const PlannedPiece& piece) {
    CUSharedPtr<CUArray> clips = card.content->ClipList();
    for (size_t i = 0; clips && i < clips->Count(); ++i)
        if (CUSharedPtr<CFBCClip>(clips->ObjectAtIndex(i)) == piece.clip)
            return "the plug-in does not offer it (" + ClipStateText(*card.content, i) + ")";
    return "the plug-in does not offer it";
}

// Whether a piece's first picture carries the timecode after the previous
// piece's last (across midnight too).
bool Continues(const RecordingPiece& previous, const RecordingPiece& piece) {
    if (previous.clip->RoundedTimecodeBase() != piece.clip->RoundedTimecodeBase() ||
        previous.clip->isDropFrame() != piece.clip->isDropFrame())
        return false;
    const auto before = StartPicture(*previous.clip), after = StartPicture(*piece.clip);
    if (!before || !after) return false;
    return (before->first + static_cast<int64_t>(previous.frames)) % before->second == after->first;
}

std::vector<OutputSetPlan> RecordingSets(const std::vector<ExportCard>& cards, const Recording& recording,
                                         const ExportSelection& selection) {
    std::vector<OutputSetPlan> sets;
    const std::string firstId = recording.FirstPresent().identity.clipID;
    const auto name = [](const RelayIdentity& id) {
        return (id.clipID.empty() ? "-" : id.clipID) + " (medium " +
               (id.mediumID.empty() ? "-" : id.mediumID) + ")";
    };
    if (recording.MissingCount() > 0 && !selection.allowMissing) {
        OutputSetPlan set;
        set.recording = true;
        for (const RecordingPiece& piece : recording.pieces)
            if (!piece.missing) set.pieces.push_back(PieceOf(cards, piece.cardIndex, piece.clip));
        for (const RecordingPiece& piece : recording.pieces)
            if (piece.missing) {
                set.failure = "recording " + firstId + ": its piece " + name(piece.identity) +
                              " is on no card given (--allow-missing exports the pieces present)";
                break;
            }
        sets.push_back(std::move(set));
        return sets;
    }
    // Each run of present pieces (and, with splitAtBreaks, of continuous
    // timecode) is one set named after its first clip.
    const RecordingPiece* previous = nullptr;
    std::string gapBefore;
    for (const RecordingPiece& piece : recording.pieces) {
        if (piece.missing) {
            gapBefore = name(piece.identity);
            previous = nullptr;
            continue;
        }
        const bool continues = !previous || Continues(*previous, piece);
        if (!previous || (!continues && selection.splitAtBreaks)) {
            sets.emplace_back();
            sets.back().recording = true;
            if (!gapBefore.empty())
                sets.back().notices.push_back("recording " + firstId + ": piece " + gapBefore +
                                              " is on no card given; exporting from " +
                                              piece.identity.clipID);
        }
        PlannedPiece planned = PieceOf(cards, piece.cardIndex, piece.clip);
        planned.continuesPrevious = continues;
        if (!continues)
            sets.back().notices.push_back("recording " + firstId + ": " + piece.identity.clipID +
                                          " starts at " + piece.startTimecode + ", not after " +
                                          previous->endTimecode +
                                          (selection.splitAtBreaks ? "; a new file starts there" : ""));
        if (!planned.descriptor && sets.back().failure.empty())
            sets.back().failure = piece.identity.clipID + " on " + cards[piece.cardIndex].folder + ": " +
                                  NotOffered(cards[piece.cardIndex], planned);
        sets.back().pieces.push_back(std::move(planned));
        previous = &piece;
        gapBefore.clear();
    }
    return sets;
}

// Gives every set its base name: the first clip's ID, prefixed with its
// card folder's name where sets of different cards would share it.
void NameSets(const std::vector<ExportCard>& cards, std::vector<OutputSetPlan>& sets) {
    std::map<std::string, std::set<size_t>> cardsOfName;
    for (const OutputSetPlan& set : sets)
        cardsOfName[Upper(set.pieces.front().clipId)].insert(set.pieces.front().card);
    std::set<std::string> taken;
    for (OutputSetPlan& set : sets) {
        const PlannedPiece& first = set.pieces.front();
        std::string base = first.clipId;
        if (cardsOfName[Upper(base)].size() > 1) base = cards[first.card].name + "_" + first.clipId;
        // Two card folders of one name: their media tell them apart.
        if (taken.count(Upper(base)))
            base =
                cards[first.card].name + "-" + cards[first.card].mediumId.substr(0, 8) + "_" + first.clipId;
        taken.insert(Upper(base));
        set.baseName = base;
    }
}

}  // namespace

std::vector<ExportCard> ExportPlan::OpenCards(PluginHost& host, const std::vector<std::string>& folders) {
    std::vector<ExportCard> cards;
    for (const std::string& folder : folders) {
        ExportCard card;
        card.folder = folder;
        card.name = FolderName(folder);
        card.content = OpenCard(folder);
        card.mediumId = UUIDText(card.content->ValueForTag(kContentValueMediaID));
        for (const NamedClip& clip : host.NamedClips(host.CardVolume(folder))) {
            if (card.offered.count(Upper(clip.name))) continue;
            card.offered[Upper(clip.name)] = clip.descriptor;
            card.order.push_back(clip.name);
        }
        cards.push_back(std::move(card));
    }
    return cards;
}

std::vector<OutputSetPlan> ExportPlan::Build(const std::vector<ExportCard>& cards,
                                             const ExportSelection& selection) {
    std::vector<OutputSetPlan> sets;
    if (selection.join) {
        std::vector<std::string> folders;
        std::vector<CUSharedPtr<CFBCContent>> contents;
        for (const ExportCard& card : cards) folders.push_back(card.folder), contents.push_back(card.content);
        for (const Recording& recording : FindRecordings(folders, contents))
            for (OutputSetPlan& set : RecordingSets(cards, recording, selection))
                sets.push_back(std::move(set));
        NameSets(cards, sets);
        return sets;
    }
    const ExportCard& card = cards.at(0);
    // Without clip IDs: every clip the volume offers, and every other clip
    // of the card too, so that one the plug-in leaves out is reported
    // instead of silently not imported. A clip named twice counts once.
    std::vector<CUSharedPtr<CFBCClip>> wanted;
    const auto add = [&wanted](const CUSharedPtr<CFBCClip>& clip) {
        if (std::find(wanted.begin(), wanted.end(), clip) == wanted.end()) wanted.push_back(clip);
    };
    if (selection.clipIds.empty()) {
        for (const std::string& id : card.order) add(FindClip(*card.content, card.folder, id));
        CUSharedPtr<CUArray> clips = card.content->ClipList();
        for (size_t i = 0; clips && i < clips->Count(); ++i)
            if (CUSharedPtr<CFBCClip> clip = clips->ObjectAtIndex(i)) add(clip);
    } else {
        for (const std::string& id : selection.clipIds) add(FindClip(*card.content, card.folder, id));
    }
    for (const CUSharedPtr<CFBCClip>& clip : wanted) {
        OutputSetPlan set;
        set.pieces.push_back(PieceOf(cards, 0, clip));
        set.inText = selection.inText, set.outText = selection.outText;
        const auto text = [](const std::string& t) {
            return t.empty() ? std::nullopt : std::optional<std::string>(t);
        };
        const FramePoints points = ClipFramePoints(text(selection.inText), text(selection.outText), *clip);
        if (points.in) set.inFrame = static_cast<uint32_t>(*points.in);
        if (points.out) set.outFrame = static_cast<uint32_t>(*points.out);
        if (!set.pieces.front().descriptor) set.failure = NotOffered(card, set.pieces.front());
        sets.push_back(std::move(set));
    }
    NameSets(cards, sets);
    return sets;
}

}  // namespace qzimport
