#include "CheckTable.h"

namespace qzcatalog {

void CheckTable::Record(const CheckRow& check) {
    m_Database
        .Prepare(
            "INSERT INTO checks (kind, checked_at, qzcard_version, card_id, clip, copy_id, path, result, "
            "detail) VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9)")
        ->Bind(1, check.kind)
        .Bind(2, check.checkedAt)
        .Bind(3, check.qzcardVersion)
        .Bind(4, check.cardId)
        .Bind(5, check.clip)
        .Bind(6, check.copyId)
        .Bind(7, check.path)
        .Bind(8, check.result)
        .Bind(9, check.detail)
        .Run();
}

std::vector<CheckRow> CheckTable::OfClip(int64_t clip) {
    std::unique_ptr<Statement> list = m_Database.Prepare(
        "SELECT kind, checked_at, qzcard_version, card_id, clip, copy_id, path, result, detail FROM checks "
        "WHERE clip = $1 ORDER BY checked_at DESC, id DESC");
    list->Bind(1, clip);
    std::vector<CheckRow> rows;
    while (list->Step())
        rows.push_back({list->Text(0), list->Int(1), list->Text(2), list->OptionalInt(3),
                        list->OptionalInt(4), list->OptionalInt(5), list->OptionalText(6), list->Text(7),
                        list->OptionalText(8)});
    return rows;
}

std::vector<CheckCount> CheckTable::CountsOfCard(int64_t cardId) {
    std::unique_ptr<Statement> list = m_Database.Prepare(
        "SELECT kind, checked_at, result, COUNT(*) FROM checks WHERE card_id = $1 "
        "GROUP BY kind, checked_at, result ORDER BY checked_at DESC, kind, result");
    list->Bind(1, cardId);
    std::vector<CheckCount> rows;
    while (list->Step()) rows.push_back({list->Text(0), list->Int(1), list->Text(2), list->Int(3)});
    return rows;
}

}  // namespace qzcatalog
