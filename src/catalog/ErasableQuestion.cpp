#include "ErasableQuestion.h"

#include "CUFailure.h"
#include "CUVolumeIdentity.h"
#include "CardCopies.h"
#include "CardReading.h"
#include "CardTable.h"

#include <ctime>
#include <map>
#include <set>

namespace qzcatalog {

namespace {

constexpr int64_t kNanoseconds = 1000000000;

// Whether the file now differs in size or time (to the second: a history
// records seconds) from what the catalog knows of it.
bool ChangedSince(const KnownFile& known, const CardFileSeen& now) {
    if (known.size && now.size && *known.size != *now.size) return true;
    if (known.modifiedNs && now.modifiedNs) {
        const auto seconds = [](int64_t ns) {
            return ns >= 0 ? ns / kNanoseconds : -((-ns + kNanoseconds - 1) / kNanoseconds);
        };
        if (seconds(*known.modifiedNs) != seconds(*now.modifiedNs)) return true;
    }
    return false;
}

}  // namespace

const char* ErasableQuestion::Key(ShortReason reason) {
    switch (reason) {
        case ShortReason::kMissing:
            return "missing";
        case ShortReason::kChangedSince:
            return "changedSince";
        case ShortReason::kTooFewVolumes:
            return "tooFewVolumes";
        case ShortReason::kCopyRefused:
            break;
    }
    return "copyRefused";
}

ErasableAnswer ErasableQuestion::Ask(Catalog& catalog, const std::string& folder, int64_t copies,
                                     bool rehash) {
    ErasableAnswer answer;
    answer.card = folder;
    answer.copiesNeeded = copies;
    answer.rehashed = rehash;
    const CardSeen card = CardReading::ReadFiles(folder, static_cast<int64_t>(std::time(nullptr)));
    answer.mediumId = card.mediumId;
    answer.files = card.files.size();

    std::map<std::string, KnownFile> known;
    catalog.Read([&] {
        if (const std::optional<int64_t> cardId = CardTable(catalog.Db()).IdOfKey(card.Key()))
            known = CardCopies::Load(catalog.Db(), *cardId);
    });

    for (const CardFileSeen& now : card.files) {
        ErasableFile file;
        file.path = now.path;
        file.size = now.size.value_or(0);
        const auto found = known.find(now.path);
        if (found == known.end() || found->second.copies.empty()) {
            file.reasons.push_back(ShortReason::kMissing);
            answer.shortFiles.push_back(std::move(file));
            continue;
        }
        const KnownFile& record = found->second;
        CardFileFacts facts{now.size, record.HashesOf(now.size, now.modifiedNs)};
        if (rehash) {
            std::set<qzoffload::HashFormat> formats;
            for (const KnownCopy& copy : record.copies)
                for (const auto& [format, value] : copy.facts.hashes) formats.insert(format);
            std::string failure;
            facts.hashes = qzoffload::HashSet::OfFile(folder + "/" + now.path,
                                                      {formats.begin(), formats.end()}, failure);
            if (!failure.empty())
                throw CatalogError("cannot read " + folder + "/" + now.path + ": " + failure,
                                   CUFailureKind::kProblems);
        } else if (ChangedSince(record, now)) {
            file.reasons.push_back(ShortReason::kChangedSince);
        }
        std::set<int64_t> volumes;
        bool refused = false;
        for (const KnownCopy& copy : record.copies) {
            // A copy on the card's own volume goes with the card when it is erased.
            const CopyVerdict verdict = copy.volumeKey == card.volumeKey
                                            ? CopyVerdict::kOnTheCardsVolume
                                            : CopyRule::Judge(facts, copy.facts, true);
            if (verdict == CopyVerdict::kCounts)
                volumes.insert(copy.volumeId);
            else
                refused = true;
            file.copies.push_back({copy.volumeKey, copy.volumeLabel, copy.mountPoint, copy.path,
                                   qzoffload::HashActionName(copy.facts.action), verdict});
        }
        file.volumes = volumes.size();
        if (static_cast<int64_t>(file.volumes) < copies) {
            if (file.volumes > 0) file.reasons.push_back(ShortReason::kTooFewVolumes);
            if (refused) file.reasons.push_back(ShortReason::kCopyRefused);
        }
        if (!file.reasons.empty() || static_cast<int64_t>(file.volumes) < copies)
            answer.shortFiles.push_back(std::move(file));
    }
    return answer;
}

}  // namespace qzcatalog
