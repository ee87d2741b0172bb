#include "CardTable.h"

namespace qzcatalog {

int64_t CardTable::Record(const CardSeen& card) {
    std::unique_ptr<Statement> upsert = m_Database.Prepare(
        "INSERT INTO cards (card_key, medium_id, folder_name, volume_key, first_seen, last_seen) "
        "VALUES ($1, $2, $3, $6, $4, $4) ON CONFLICT (card_key) DO UPDATE SET "
        "folder_name = CASE WHEN $5 = 1 THEN excluded.folder_name ELSE cards.folder_name END, "
        "volume_key = CASE WHEN $5 = 1 THEN excluded.volume_key ELSE cards.volume_key END, "
        "first_seen = CASE WHEN excluded.first_seen < cards.first_seen THEN excluded.first_seen "
        "ELSE cards.first_seen END, "
        "last_seen = CASE WHEN excluded.last_seen > cards.last_seen THEN excluded.last_seen "
        "ELSE cards.last_seen END "
        "RETURNING id");
    upsert->Bind(1, card.Key())
        .Bind(2, card.mediumId.empty() ? std::nullopt : std::optional<std::string>(card.mediumId))
        .Bind(3, card.folderName)
        .Bind(4, card.seenAt)
        .Bind(5, int64_t{card.direct ? 1 : 0})
        .Bind(6, card.volumeKey.empty() ? std::nullopt : std::optional<std::string>(card.volumeKey));
    if (!upsert->Step()) throw CatalogError("the catalog " + m_Database.Where() + " recorded no card row");
    return upsert->Int(0);
}

std::optional<int64_t> CardTable::IdOfKey(const std::string& key) {
    std::unique_ptr<Statement> find = m_Database.Prepare("SELECT id FROM cards WHERE card_key = $1");
    find->Bind(1, key);
    return find->Step() ? std::optional<int64_t>(find->Int(0)) : std::nullopt;
}

std::vector<CardRow> CardTable::List(int64_t copies) {
    std::unique_ptr<Statement> list = m_Database.Prepare(
        "SELECT c.id, c.medium_id, c.folder_name, c.first_seen, c.last_seen, "
        "(SELECT COUNT(*) FROM clips k WHERE k.card_id = c.id), "
        "(SELECT COUNT(*) FROM card_files f WHERE f.card_id = c.id), "
        "(SELECT COUNT(*) FROM card_files f WHERE f.card_id = c.id AND f.safe_volumes >= $1) "
        "FROM cards c ORDER BY c.last_seen, c.folder_name, c.card_key");
    list->Bind(1, copies);
    std::vector<CardRow> rows;
    while (list->Step())
        rows.push_back({list->Int(0), list->OptionalText(1), list->Text(2), list->Int(3), list->Int(4),
                        list->Int(5), list->Int(6), list->Int(7)});
    return rows;
}

}  // namespace qzcatalog
