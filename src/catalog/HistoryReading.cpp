#include "HistoryReading.h"

#include "CUFailure.h"
#include "CardReading.h"
#include "CatalogError.h"
#include "MhlHistory.h"
#include "OffloadError.h"

#include <algorithm>
#include <filesystem>
#include <limits>
#include <map>
#include <optional>
#include <set>

namespace qzcatalog {

using namespace ComVantoVantoQZ64RADPlug;
using qzoffload::HashAction;
using qzoffload::MhlFileEntry;

namespace {

struct NewestEntry {
    const MhlFileEntry* entry = nullptr;
    size_t generation = 0;  // position in the history
};

// Where a card's folder would begin in `path`: before its CONTENTS folder.
std::optional<std::string> CardRootOf(const std::string& path) {
    const std::string contents = "CONTENTS/";
    if (path.rfind(contents, 0) == 0) return std::string();
    const size_t at = path.find("/" + contents);
    if (at == std::string::npos) return std::nullopt;
    return path.substr(0, at);
}

// A size a history gives, when a file can have it.
std::optional<int64_t> Size(const std::optional<uint64_t>& size) {
    if (!size || *size > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) return std::nullopt;
    return static_cast<int64_t>(*size);
}

CopySeen CopyOf(const qzoffload::MhlHistory& history, const NewestEntry& newest,
                const std::string& onVolume) {
    const MhlFileEntry& entry = *newest.entry;
    const qzoffload::HashList& generation = history.Generations()[newest.generation];
    CopySeen copy;
    copy.path = onVolume;
    copy.size = Size(entry.size);
    copy.modified = entry.modified;
    // A generation may leave out the size and time; the earlier ones still tell them.
    if (const MhlFileEntry* vouched = history.NewestVouched(entry.path)) {
        if (!copy.size) copy.size = Size(vouched->size);
        if (!copy.modified) copy.modified = vouched->modified;
    }
    copy.hashes = entry.hashes;
    copy.vouchedAt = generation.creationDate;
    bool failed = false, verified = false;
    for (const auto& [format, hash] : entry.hashes) {
        failed |= hash.action == HashAction::kFailed;
        verified |= hash.action == HashAction::kVerified;
        if (hash.hashDate && *hash.hashDate > copy.vouchedAt) copy.vouchedAt = *hash.hashDate;
    }
    copy.action = failed ? HashAction::kFailed : verified ? HashAction::kVerified : HashAction::kOriginal;
    copy.generation = newest.generation + 1;
    copy.generationFile = history.Chain()[newest.generation].path;
    return copy;
}

}  // namespace

std::vector<CopiesSeen> HistoryReading::Read(const std::string& folder, int64_t seenAt) {
    qzoffload::MhlHistory history;
    try {
        history = qzoffload::MhlHistory::Load(folder);
    } catch (const qzoffload::OffloadError& e) {
        throw CatalogError(e.what(), CUFailureKind::kProblems);
    }
    return Read(folder, history, std::nullopt, seenAt);
}

std::vector<CopiesSeen> HistoryReading::Read(const std::string& folder, const qzoffload::MhlHistory& history,
                                             const std::optional<CardSeen>& folderCard, int64_t seenAt) {
    if (history.Empty()) return {};
    CUVolumeIdentity volume;
    try {
        volume = CUVolumeIdentity::Of(folder);
    } catch (const CUError& e) {
        throw CatalogError("cannot tell the volume of " + folder + ": " + e.Failure().Describe(),
                           CUFailureKind::kProblems);
    }

    // The newest entry of each file that has hashes of a format we know.
    std::map<std::string, NewestEntry> newest;
    const auto& generations = history.Generations();
    for (size_t g = 0; g < generations.size(); ++g)
        for (const MhlFileEntry& entry : generations[g].files)
            if (!entry.hashes.empty()) newest[entry.path] = {&entry, g};

    // The card folders the paths lie in, each opened as a card once.
    std::map<std::string, std::optional<CardSeen>> roots;
    if (folderCard) {
        roots[""] = *folderCard;
        roots[""]->files.clear();
        roots[""]->volumeKey.clear();
    }
    for (const auto& [path, entry] : newest)
        if (const std::optional<std::string> root = CardRootOf(path); root && !roots.count(*root))
            roots[*root] = CardReading::Identify(root->empty() ? folder : folder + "/" + *root, seenAt);

    std::map<std::string, CopiesSeen> byRoot;
    CopiesSeen notACard;
    notACard.card.copyKey = volume.Key() + ":" + volume.pathOnVolume;
    notACard.card.folderName =
        std::filesystem::path(volume.pathOnVolume.empty() ? volume.mountPoint : volume.pathOnVolume)
            .filename()
            .string();
    for (const auto& [path, entry] : newest) {
        // The innermost card folder holding the file.
        std::string cardRoot;
        const CardSeen* card = nullptr;
        for (const auto& [root, seen] : roots)
            if (seen && (root.empty() || path.rfind(root + "/", 0) == 0) &&
                (!card || root.size() > cardRoot.size())) {
                cardRoot = root;
                card = &*seen;
            }
        CopiesSeen& target = card ? byRoot[cardRoot] : notACard;
        if (card && target.copies.empty()) target.card = *card;
        const std::string cardPath = card && !cardRoot.empty() ? path.substr(cardRoot.size() + 1) : path;
        const std::string onVolume = volume.pathOnVolume.empty() ? path : volume.pathOnVolume + "/" + path;
        CopySeen copy = CopyOf(history, entry, onVolume);
        copy.cardPath = cardPath;
        CardFileSeen file;
        file.path = cardPath;
        file.size = copy.size;
        // A date no nanosecond count holds (a history may say year 9999) is left unknown.
        constexpr int64_t kLimit = std::numeric_limits<int64_t>::max() / 1000000000;
        if (copy.modified && *copy.modified<kLimit&& * copy.modified> - kLimit)
            file.modifiedNs = *copy.modified * 1000000000;
        if (card) file.clipId = CardReading::ClipOfPath(cardPath);
        target.card.files.push_back(file);
        target.copies.push_back(std::move(copy));
    }

    std::vector<CopiesSeen> found;
    auto finish = [&](CopiesSeen& seen) {
        if (seen.copies.empty()) return;
        seen.card.direct = false;
        // A card known through its copy was seen when the copy was made.
        seen.card.seenAt = seenAt;
        for (const CopySeen& copy : seen.copies)
            seen.card.seenAt = std::min(seen.card.seenAt, copy.vouchedAt);
        seen.volume = volume;
        seen.historyPath = volume.pathOnVolume;
        found.push_back(std::move(seen));
    };
    for (auto& [root, seen] : byRoot) finish(seen);
    finish(notACard);
    return found;
}

}  // namespace qzcatalog
