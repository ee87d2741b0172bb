#include "CardCopies.h"

#include "CardTable.h"

#include <set>

namespace qzcatalog {

using qzoffload::HashFormat;

qzoffload::FileHashes KnownFile::HashesOf(std::optional<int64_t> atSize,
                                          std::optional<int64_t> atModifiedNs) const {
    qzoffload::FileHashes current;
    if (!atSize || !atModifiedNs) return current;
    for (const auto& [format, hash] : hashes)
        if (hash.size == *atSize && hash.modifiedNs == *atModifiedNs) current[format] = hash.value;
    return current;
}

std::map<std::string, KnownFile> CardCopies::LoadByKey(Database& database, const std::string& cardKey) {
    const std::optional<int64_t> cardId = CardTable(database).IdOfKey(cardKey);
    return cardId ? Load(database, *cardId) : std::map<std::string, KnownFile>();
}

std::map<std::string, KnownFile> CardCopies::Load(Database& database, int64_t cardId) {
    std::map<std::string, KnownFile> files;
    std::map<int64_t, KnownFile*> byId;
    {
        std::unique_ptr<Statement> list = database.Prepare(
            "SELECT f.id, f.path, f.size, f.modified_ns, f.safe_volumes, h.format, h.value, h.size, "
            "h.modified_ns "
            "FROM card_files f LEFT JOIN card_file_hashes h ON h.file_id = f.id WHERE f.card_id = $1");
        list->Bind(1, cardId);
        while (list->Step()) {
            const std::string path = list->Text(1);
            KnownFile& file = files[path];
            if (file.id == 0) {
                file = {list->Int(0), path, list->OptionalInt(2), list->OptionalInt(3), list->Int(4), {}, {}};
                byId[file.id] = &file;
            }
            if (list->IsNull(5)) continue;
            // A format this qzcard does not know cannot be compared; it is left out.
            if (const std::optional<HashFormat> format = qzoffload::HashFormatNamed(list->Text(5)))
                file.hashes[*format] = {list->Text(6), list->Int(7), list->Int(8)};
        }
    }
    // By copy id, with the id of its file; attached to the files at the end.
    std::map<int64_t, std::pair<int64_t, KnownCopy>> copies;
    {
        std::unique_ptr<Statement> list = database.Prepare(
            "SELECT p.id, p.file_id, p.volume_id, v.volume_key, v.label, v.mount_point, p.path, "
            "p.history_path, "
            "p.generation_file, p.size, p.action, p.vouched_at, p.counts, h.format, h.value "
            "FROM copies p JOIN card_files f ON f.id = p.file_id JOIN volumes v ON v.id = p.volume_id "
            "LEFT JOIN copy_hashes h ON h.copy_id = p.id WHERE f.card_id = $1");
        list->Bind(1, cardId);
        while (list->Step()) {
            const int64_t id = list->Int(0);
            auto [entry, fresh] = copies.try_emplace(id);
            KnownCopy& copy = entry->second.second;
            if (fresh) {
                entry->second.first = list->Int(1);
                copy.id = id;
                copy.volumeId = list->Int(2);
                copy.volumeKey = list->Text(3);
                copy.volumeLabel = list->OptionalText(4);
                copy.mountPoint = list->OptionalText(5);
                copy.path = list->Text(6);
                copy.historyPath = list->Text(7);
                copy.generationFile = list->Text(8);
                copy.facts.size = list->OptionalInt(9);
                // An action this qzcard does not know vouches for nothing.
                copy.facts.action =
                    qzoffload::HashActionNamed(list->Text(10)).value_or(qzoffload::HashAction::kFailed);
                copy.facts.vouchedAt = list->Int(11);
                copy.counts = list->Int(12) != 0;
            }
            if (list->IsNull(13)) continue;
            if (const std::optional<HashFormat> format = qzoffload::HashFormatNamed(list->Text(13)))
                copy.facts.hashes[*format] = list->Text(14);
        }
    }
    {
        std::unique_ptr<Statement> list = database.Prepare(
            "SELECT k.copy_id, MAX(CASE WHEN k.result IN ('changed', 'missing') THEN k.checked_at END), "
            "MAX(CASE WHEN k.result = 'clean' THEN k.checked_at END) FROM checks k "
            "JOIN copies p ON p.id = k.copy_id JOIN card_files f ON f.id = p.file_id WHERE f.card_id = $1 "
            "GROUP BY k.copy_id");
        list->Bind(1, cardId);
        while (list->Step()) {
            const auto copy = copies.find(list->Int(0));
            const std::optional<int64_t> changed = list->OptionalInt(1), clean = list->OptionalInt(2);
            // A check that found the copy clean again, later, clears an earlier finding.
            if (copy != copies.end() && changed && !(clean && *clean > *changed))
                copy->second.second.facts.foundChangedAt = changed;
        }
    }
    for (auto& [id, entry] : copies) {
        const auto file = byId.find(entry.first);
        if (file != byId.end()) file->second->copies.push_back(std::move(entry.second));
    }
    return files;
}

std::string CardCopies::CardVolume(Database& database, int64_t cardId) {
    std::unique_ptr<Statement> card = database.Prepare("SELECT volume_key FROM cards WHERE id = $1");
    card->Bind(1, cardId);
    return card->Step() ? card->OptionalText(0).value_or("") : std::string();
}

void CardCopies::Refresh(Database& database, int64_t cardId) {
    const std::string cardVolume = CardVolume(database, cardId);
    for (const auto& [path, file] : Load(database, cardId)) {
        const CardFileFacts facts{file.size, file.HashesOf(file.size, file.modifiedNs)};
        std::set<int64_t> safeVolumes;
        for (const KnownCopy& copy : file.copies) {
            const bool counts = copy.volumeKey != cardVolume &&
                                CopyRule::Judge(facts, copy.facts, false) == CopyVerdict::kCounts;
            if (counts) safeVolumes.insert(copy.volumeId);
            if (counts != copy.counts)
                database.Prepare("UPDATE copies SET counts = $2 WHERE id = $1")
                    ->Bind(1, copy.id)
                    .Bind(2, int64_t{counts ? 1 : 0})
                    .Run();
        }
        if (static_cast<int64_t>(safeVolumes.size()) != file.safeVolumes)
            database.Prepare("UPDATE card_files SET safe_volumes = $2 WHERE id = $1")
                ->Bind(1, file.id)
                .Bind(2, static_cast<int64_t>(safeVolumes.size()))
                .Run();
    }
}

}  // namespace qzcatalog
