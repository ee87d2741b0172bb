#include "ErasableQuestion.h"

#include "CUFailure.h"
#include "CUVolumeIdentity.h"
#include "CardCopies.h"
#include "CardReading.h"

#include <ctime>
#include <functional>
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

// Judges each of `files` (the card's files as they are now) against the
// copies `known` holds, with the card file's facts as `facts` gives them
// (which sets `changed` when the file is not as the catalog knows it): the
// short files and the volumes holding copies into `answer`.
void JudgeFiles(
    const std::vector<CardFileSeen>& files, const std::map<std::string, KnownFile>& known,
    const std::string& cardVolumeKey, int64_t copies,
    const std::function<CardFileFacts(const CardFileSeen&, const KnownFile&, bool& changed)>& facts,
    ErasableAnswer& answer) {
    std::map<std::string, ErasableVolume> byKey;
    for (const CardFileSeen& now : files) {
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
        bool changed = false;
        const CardFileFacts card = facts(now, record, changed);
        if (changed) file.reasons.push_back(ShortReason::kChangedSince);
        std::set<int64_t> volumes;
        std::map<std::string, bool> onVolume;  // whether a copy there counts
        bool refused = false;
        for (const KnownCopy& copy : record.copies) {
            // A copy on the card's own volume goes with the card when it is erased.
            const CopyVerdict verdict = copy.volumeKey == cardVolumeKey
                                            ? CopyVerdict::kOnTheCardsVolume
                                            : CopyRule::Judge(card, copy.facts, true);
            if (verdict == CopyVerdict::kCounts)
                volumes.insert(copy.volumeId);
            else
                refused = true;
            file.copies.push_back({copy.volumeKey, copy.volumeLabel, copy.mountPoint, copy.path,
                                   qzoffload::HashActionName(copy.facts.action), verdict});
            onVolume[copy.volumeKey] = onVolume[copy.volumeKey] || verdict == CopyVerdict::kCounts;
            byKey.try_emplace(copy.volumeKey,
                              ErasableVolume{copy.volumeKey, copy.volumeLabel, copy.mountPoint});
        }
        for (const auto& [key, counts] : onVolume) {
            ++byKey[key].files;
            if (counts) ++byKey[key].counts;
        }
        file.volumes = volumes.size();
        if (static_cast<int64_t>(file.volumes) < copies) {
            if (file.volumes > 0) file.reasons.push_back(ShortReason::kTooFewVolumes);
            if (refused) file.reasons.push_back(ShortReason::kCopyRefused);
        }
        if (!file.reasons.empty() || static_cast<int64_t>(file.volumes) < copies)
            answer.shortFiles.push_back(std::move(file));
    }
    for (auto& [key, volume] : byKey) answer.volumes.push_back(std::move(volume));
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

std::string ErasableQuestion::VolumeName(const std::string& key, const std::optional<std::string>& label,
                                         const std::optional<std::string>& mountPoint) {
    if (label) return *label;
    if (key.rfind("uuid:", 0) == 0) return key;
    return mountPoint.value_or(key);
}

std::string ErasableQuestion::Why(const ErasableFile& file) {
    std::string why;
    auto add = [&why](const std::string& text) { why += (why.empty() ? "" : "; ") + text; };
    for (ShortReason reason : file.reasons) {
        switch (reason) {
            case ShortReason::kMissing:
                add("no copy");
                break;
            case ShortReason::kChangedSince:
                add("changed since (size or time)");
                break;
            case ShortReason::kTooFewVolumes:
                add("only " + std::to_string(file.volumes) + (file.volumes == 1 ? " volume" : " volumes"));
                break;
            case ShortReason::kCopyRefused:
                break;
        }
    }
    for (const ErasableCopy& copy : file.copies)
        if (copy.verdict != CopyVerdict::kCounts)
            add(VolumeName(copy.volumeKey, copy.volumeLabel, copy.mountPoint) + ": " +
                CopyRule::Describe(copy.verdict));
    return why;
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
    catalog.Read([&] { known = CardCopies::LoadByKey(catalog.Db(), card.Key()); });
    const auto facts = [&](const CardFileSeen& now, const KnownFile& record, bool& changed) {
        CardFileFacts file{now.size, record.HashesOf(now.size, now.modifiedNs)};
        if (!rehash) {
            changed = ChangedSince(record, now);
            return file;
        }
        std::set<qzoffload::HashFormat> formats;
        for (const KnownCopy& copy : record.copies)
            for (const auto& [format, value] : copy.facts.hashes) formats.insert(format);
        std::string failure;
        file.hashes =
            qzoffload::HashSet::OfFile(folder + "/" + now.path, {formats.begin(), formats.end()}, failure);
        if (!failure.empty())
            throw CatalogError("cannot read " + folder + "/" + now.path + ": " + failure,
                               CUFailureKind::kProblems);
        return file;
    };
    JudgeFiles(card.files, known, card.volumeKey, copies, facts, answer);
    return answer;
}

ErasableAnswer ErasableQuestion::AskKnown(Database& database, const CardRow& card, int64_t copies) {
    ErasableAnswer answer;
    answer.card = card.folderName;
    answer.mediumId = card.mediumId.value_or("");
    answer.copiesNeeded = copies;
    const std::map<std::string, KnownFile> known = CardCopies::Load(database, card.id);
    std::vector<CardFileSeen> files;
    for (const auto& [path, file] : known) {
        CardFileSeen seen;
        seen.path = path;
        seen.size = file.size;
        seen.modifiedNs = file.modifiedNs;
        files.push_back(std::move(seen));
    }
    answer.files = files.size();
    const auto facts = [](const CardFileSeen& now, const KnownFile& record, bool&) {
        return CardFileFacts{now.size, record.HashesOf(now.size, now.modifiedNs)};
    };
    JudgeFiles(files, known, CardCopies::CardVolume(database, card.id), copies, facts, answer);
    return answer;
}

}  // namespace qzcatalog
