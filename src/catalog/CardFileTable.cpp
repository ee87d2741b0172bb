#include "CardFileTable.h"

namespace qzcatalog {

int64_t CardFileTable::Record(int64_t cardId, const CardFileSeen& file, std::optional<int64_t> clip,
                              bool direct) {
    std::unique_ptr<Statement> upsert = m_Database.Prepare(
        direct
            ? "INSERT INTO card_files (card_id, path, size, modified_ns, clip) VALUES ($1, $2, $3, $4, $5) "
              "ON CONFLICT (card_id, path) DO UPDATE SET size = excluded.size, "
              "modified_ns = excluded.modified_ns, clip = excluded.clip RETURNING id"
            : "INSERT INTO card_files (card_id, path, size, modified_ns, clip) VALUES ($1, $2, $3, $4, $5) "
              "ON CONFLICT (card_id, path) DO UPDATE SET size = COALESCE(card_files.size, excluded.size), "
              "modified_ns = COALESCE(card_files.modified_ns, excluded.modified_ns), "
              "clip = COALESCE(card_files.clip, excluded.clip) RETURNING id");
    upsert->Bind(1, cardId).Bind(2, file.path).Bind(3, file.size).Bind(4, file.modifiedNs).Bind(5, clip);
    if (!upsert->Step()) throw CatalogError("the catalog " + m_Database.Where() + " recorded no file row");
    return upsert->Int(0);
}

void CardFileTable::RecordHashes(int64_t fileId, const CardFileSeen& file, int64_t hashedAt) {
    if (file.hashes.empty() || !file.size || !file.modifiedNs) return;
    for (const auto& [format, value] : file.hashes)
        m_Database
            .Prepare(
                "INSERT INTO card_file_hashes (file_id, format, value, size, modified_ns, hashed_at) "
                "VALUES ($1, $2, $3, $4, $5, $6) ON CONFLICT (file_id, format) DO UPDATE SET "
                "value = excluded.value, size = excluded.size, modified_ns = excluded.modified_ns, "
                "hashed_at = excluded.hashed_at")
            ->Bind(1, fileId)
            .Bind(2, qzoffload::HashFormatName(format))
            .Bind(3, value)
            .Bind(4, *file.size)
            .Bind(5, *file.modifiedNs)
            .Bind(6, hashedAt)
            .Run();
}

void CardFileTable::ForgetAbsent(int64_t cardId, const std::set<int64_t>& present) {
    std::vector<int64_t> absent;
    {
        std::unique_ptr<Statement> list = m_Database.Prepare("SELECT id FROM card_files WHERE card_id = $1");
        list->Bind(1, cardId);
        while (list->Step())
            if (!present.count(list->Int(0))) absent.push_back(list->Int(0));
    }
    for (int64_t id : absent)
        m_Database
            .Prepare(
                "DELETE FROM card_files WHERE id = $1 AND NOT EXISTS (SELECT 1 FROM copies WHERE file_id = "
                "$1)")
            ->Bind(1, id)
            .Run();
}

std::vector<LackingFileRow> CardFileTable::Lacking(int64_t copies, int64_t since) {
    std::unique_ptr<Statement> lacking = m_Database.Prepare(
        // The clip's values by its key, row by row: a join would make the
        // planner read every clip of the catalog for a few files. The unary
        // + keeps SQLite from choosing the index on the cards' dates (whose
        // statistics say every card matches) over the one on safe volumes.
        "SELECT c.folder_name, c.medium_id, f.path, (SELECT k.clip_id FROM clips k WHERE k.id = f.clip), "
        "(SELECT k.title FROM clips k WHERE k.id = f.clip), f.safe_volumes, c.last_seen "
        "FROM card_files f JOIN cards c ON c.id = f.card_id "
        "WHERE f.safe_volumes < $1 AND +c.last_seen >= $2 ORDER BY c.folder_name, c.card_key, f.path");
    lacking->Bind(1, copies).Bind(2, since);
    std::vector<LackingFileRow> rows;
    while (lacking->Step())
        rows.push_back({lacking->Text(0), lacking->OptionalText(1), lacking->Text(2),
                        lacking->OptionalText(3), lacking->OptionalText(4), lacking->Int(5),
                        lacking->Int(6)});
    return rows;
}

}  // namespace qzcatalog
