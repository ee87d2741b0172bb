#include "CopyTable.h"

namespace qzcatalog {

int64_t CopyTable::Record(int64_t fileId, int64_t volumeId, const CopySeen& copy,
                          const std::string& historyPath, int64_t recordedAt) {
    std::unique_ptr<Statement> upsert = m_Database.Prepare(
        "INSERT INTO copies (file_id, volume_id, path, size, modified, action, vouched_at, history_path, "
        "generation, generation_file, recorded_at) VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11) "
        "ON CONFLICT (volume_id, path) DO UPDATE SET file_id = excluded.file_id, size = excluded.size, "
        "modified = excluded.modified, action = excluded.action, vouched_at = excluded.vouched_at, "
        "history_path = excluded.history_path, generation = excluded.generation, "
        "generation_file = excluded.generation_file, recorded_at = excluded.recorded_at RETURNING id");
    upsert->Bind(1, fileId)
        .Bind(2, volumeId)
        .Bind(3, copy.path)
        .Bind(4, copy.size)
        .Bind(5, copy.modified)
        .Bind(6, qzoffload::HashActionName(copy.action))
        .Bind(7, copy.vouchedAt)
        .Bind(8, historyPath)
        .Bind(9, static_cast<int64_t>(copy.generation))
        .Bind(10, copy.generationFile)
        .Bind(11, recordedAt);
    if (!upsert->Step()) throw CatalogError("the catalog " + m_Database.Where() + " recorded no copy row");
    const int64_t id = upsert->Int(0);
    upsert.reset();
    m_Database.Prepare("DELETE FROM copy_hashes WHERE copy_id = $1")->Bind(1, id).Run();
    for (const auto& [format, hash] : copy.hashes)
        m_Database
            .Prepare("INSERT INTO copy_hashes (copy_id, format, value, action) VALUES ($1, $2, $3, $4)")
            ->Bind(1, id)
            .Bind(2, qzoffload::HashFormatName(format))
            .Bind(3, hash.value)
            .Bind(4, qzoffload::HashActionName(hash.action))
            .Run();
    return id;
}

std::optional<int64_t> CopyTable::IdOf(int64_t volumeId, const std::string& path) {
    std::unique_ptr<Statement> find =
        m_Database.Prepare("SELECT id FROM copies WHERE volume_id = $1 AND path = $2");
    find->Bind(1, volumeId).Bind(2, path);
    return find->Step() ? std::optional<int64_t>(find->Int(0)) : std::nullopt;
}

std::vector<int64_t> CopyTable::CardsOfHistory(int64_t volumeId, const std::string& historyPath) {
    std::unique_ptr<Statement> cards = m_Database.Prepare(
        "SELECT DISTINCT f.card_id FROM copies p JOIN card_files f ON f.id = p.file_id "
        "WHERE p.volume_id = $1 AND p.history_path = $2");
    cards->Bind(1, volumeId).Bind(2, historyPath);
    std::vector<int64_t> ids;
    while (cards->Step()) ids.push_back(cards->Int(0));
    return ids;
}

std::vector<ClipCopyRow> CopyTable::OfClip(int64_t clip) {
    std::unique_ptr<Statement> list = m_Database.Prepare(
        "SELECT f.path, v.volume_key, v.label, v.mount_point, p.path, p.action, p.vouched_at, p.counts, "
        "p.history_path, p.generation_file FROM card_files f JOIN copies p ON p.file_id = f.id "
        "JOIN volumes v ON v.id = p.volume_id WHERE f.clip = $1 ORDER BY f.path, v.volume_key, p.path");
    list->Bind(1, clip);
    std::vector<ClipCopyRow> rows;
    while (list->Step())
        rows.push_back({list->Text(0), list->Text(1), list->OptionalText(2), list->OptionalText(3),
                        list->Text(4), list->Text(5), list->Int(6), list->Int(7) != 0, list->Text(8),
                        list->Text(9)});
    return rows;
}

}  // namespace qzcatalog
