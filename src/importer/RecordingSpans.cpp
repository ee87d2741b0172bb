#include "RecordingSpans.h"

#include "CIFStream.h"
#include "CIFValueTag.h"
#include "CUArray.h"
#include "CUNumber.h"
#include "CUStringMac.h"
#include "CUUUID.h"
#include "ValueTexts.h"
#include "FBCClipValueTag.h"
#include "FBCContentValueTag.h"
#include "RelayInformation.h"
#include "UMID.h"

#include <algorithm>
#include <set>
#include <tuple>

namespace qzimport {

using namespace ComVantoVantoQZ64RADPlug;

bool RelayIdentity::Names(const RelayIdentity& other) const {
    if (!umid.empty() && !other.umid.empty()) return umid == other.umid;
    return !clipID.empty() && clipID == other.clipID && mediumID == other.mediumID;
}

size_t Recording::MissingCount() const {
    return static_cast<size_t>(
        std::count_if(pieces.begin(), pieces.end(), [](const RecordingPiece& p) { return p.missing; }));
}

uint64_t Recording::FramesPresent() const {
    uint64_t frames = 0;
    for (const RecordingPiece& p : pieces) frames += p.frames;
    return frames;
}

const RecordingPiece& Recording::FirstPresent() const {
    for (const RecordingPiece& p : pieces)
        if (!p.missing) return p;
    return pieces.front();
}

namespace {

std::string Text(const CUSharedPtr<CUStringMac>& s) {
    return s && !s->IsNull() ? s->Utf8() : std::string();
}

std::string UmidText(const CUSharedPtr<UMID>& umid) {
    return umid && umid->Length() > 0 ? umid->Description()->Utf8() : std::string();
}

}  // namespace

LinkedClip ReadLinkedClip(size_t cardIndex, const std::string& folder, const std::string& cardMedium,
                          const CUSharedPtr<CFBCClip>& clip) {
    LinkedClip linked;
    RecordingPiece& piece = linked.piece;
    piece.cardIndex = cardIndex;
    piece.card = folder;
    piece.clip = clip;
    piece.identity.clipID = Text(clip->GetClipID());
    piece.identity.mediumID = cardMedium;
    piece.identity.umid = UmidText(CUDynamicCast<UMID>(clip->ValueForTag(kClipValueRelayPackageUID)));
    CUSharedPtr<CUNumber> frames = CUDynamicCast<CUNumber>(clip->ValueForTag(kClipValueDurationFrames));
    piece.frames = frames ? frames->UInt64Value() : 0;
    piece.startTimecode = TimecodeText(clip->ValueForTag(kClipValueStartTimecode));
    piece.endTimecode = TimecodeText(clip->ValueForTag(kClipValueEndTimecode));
    piece.recorded = DateTimeUTCText(clip->ValueForTag(kClipValueShootingDateTime));

    CUSharedPtr<CIFStream> cif = clip->GetCIFStream();
    CUSharedPtr<RelayInformation> relay =
        cif ? CUDynamicCast<RelayInformation>(cif->ValueForTag(kCIFValueRelayInformation)) : nullptr;
    if (!relay) return linked;
    if (relay->mediumID) piece.identity.mediumID = UUIDText(relay->mediumID);
    linked.previous = {UUIDText(relay->previousMediumID), Text(relay->previousClipID),
                       UmidText(relay->previousUMID)};
    linked.next = {UUIDText(relay->nextMediumID), Text(relay->nextClipID), UmidText(relay->nextUMID)};
    return linked;
}

namespace {

// Position of the clip a link names; -1 when no card given holds it.
long Find(const std::vector<LinkedClip>& clips, const RelayIdentity& link) {
    if (link.Empty()) return -1;
    for (size_t i = 0; i < clips.size(); ++i)
        if (link.Names(clips[i].piece.identity)) return static_cast<long>(i);
    return -1;
}

RecordingPiece Missing(const RelayIdentity& link) {
    RecordingPiece piece;
    piece.missing = true;
    piece.identity = link;
    return piece;
}

}  // namespace

std::vector<Recording> FindRecordings(const std::vector<std::string>& cardFolders,
                                      const std::vector<CUSharedPtr<CFBCContent>>& cards) {
    std::vector<LinkedClip> clips;
    std::set<std::string> media;
    for (size_t c = 0; c < cards.size(); ++c) {
        const std::string medium = UUIDText(cards[c]->ValueForTag(kContentValueMediaID));
        if (!medium.empty() && !media.insert(medium).second) continue;
        CUSharedPtr<CUArray> list = cards[c]->ClipList();
        for (size_t i = 0; list && i < list->Count(); ++i)
            if (CUSharedPtr<CFBCClip> clip = list->ObjectAtIndex(i))
                clips.push_back(ReadLinkedClip(c, cardFolders[c], medium, clip));
    }
    return LinkRecordings(clips);
}

std::vector<Recording> LinkRecordings(const std::vector<LinkedClip>& clips) {
    // Runs of clips present on the cards, each from a clip whose previous
    // piece is absent or on no card given, along the next links.
    struct Run {
        std::vector<size_t> members;
        RelayIdentity before;  // empty: the recording starts here
        RelayIdentity after;   // empty: the recording ends here
    };
    std::vector<Run> runs;
    std::vector<bool> used(clips.size(), false);
    auto follow = [&](size_t head) {
        Run run;
        // A loop of links has no clip before it that is absent.
        if (Find(clips, clips[head].previous) < 0) run.before = clips[head].previous;
        for (long at = static_cast<long>(head); at >= 0 && !used[at];) {
            used[at] = true;
            run.members.push_back(static_cast<size_t>(at));
            const RelayIdentity& next = clips[at].next;
            const long found = Find(clips, next);
            if (found < 0) run.after = next;
            at = found;
        }
        runs.push_back(run);
    };
    for (size_t i = 0; i < clips.size(); ++i)
        if (!used[i] && Find(clips, clips[i].previous) < 0) follow(i);
    // What is left is a loop of links; list it from its first clip.
    for (size_t i = 0; i < clips.size(); ++i)
        if (!used[i]) follow(i);

    // A run that ends at a missing piece continues in the run that starts
    // after that same piece.
    std::vector<bool> joined(runs.size(), false);
    for (size_t r = 0; r < runs.size(); ++r)
        for (size_t s = 0; s < runs.size(); ++s)
            if (s != r && !joined[s] && !runs[r].after.Empty() && runs[r].after.Names(runs[s].before)) {
                joined[s] = true;
                break;
            }
    std::vector<Recording> recordings;
    for (size_t r = 0; r < runs.size(); ++r) {
        if (joined[r]) continue;
        Recording recording;
        if (!runs[r].before.Empty()) recording.pieces.push_back(Missing(runs[r].before));
        std::set<size_t> seen;
        for (size_t at = r; seen.insert(at).second;) {
            for (size_t m : runs[at].members) recording.pieces.push_back(clips[m].piece);
            if (runs[at].after.Empty()) break;
            recording.pieces.push_back(Missing(runs[at].after));
            size_t nextRun = runs.size();
            for (size_t s = 0; s < runs.size(); ++s)
                if (joined[s] && runs[at].after.Names(runs[s].before)) nextRun = s;
            if (nextRun == runs.size()) break;
            at = nextRun;
        }
        recordings.push_back(std::move(recording));
    }
    std::stable_sort(recordings.begin(), recordings.end(), [](const Recording& a, const Recording& b) {
        const RecordingPiece& x = a.FirstPresent();
        const RecordingPiece& y = b.FirstPresent();
        return std::tie(x.recorded, x.identity.mediumID, x.identity.clipID) <
               std::tie(y.recorded, y.identity.mediumID, y.identity.clipID);
    });
    return recordings;
}

namespace {
nlohmann::ordered_json TextOrNull(const std::string& text) {
    return text.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(text);
}
}  // namespace

nlohmann::ordered_json RecordingJson(const Recording& recording) {
    nlohmann::ordered_json j;
    j["firstClipId"] = recording.FirstPresent().identity.clipID;
    j["complete"] = recording.MissingCount() == 0;
    j["pieceCount"] = recording.pieces.size();
    j["missingCount"] = recording.MissingCount();
    j["framesPresent"] = recording.FramesPresent();
    j["pieces"] = nlohmann::ordered_json::array();
    for (const RecordingPiece& piece : recording.pieces) {
        nlohmann::ordered_json p;
        p["missing"] = piece.missing;
        p["card"] = piece.missing ? nlohmann::ordered_json() : nlohmann::ordered_json(piece.card);
        p["mediumId"] = TextOrNull(piece.identity.mediumID);
        p["clipId"] = TextOrNull(piece.identity.clipID);
        p["umid"] = TextOrNull(piece.identity.umid);
        if (!piece.missing) {
            p["frames"] = piece.frames;
            p["startTimecode"] = TextOrNull(piece.startTimecode);
            p["endTimecode"] = TextOrNull(piece.endTimecode);
        }
        j["pieces"].push_back(std::move(p));
    }
    return j;
}

}  // namespace qzimport
