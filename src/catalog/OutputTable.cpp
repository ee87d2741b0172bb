#include "OutputTable.h"

namespace qzcatalog {

void OutputTable::Record(const OutputSeen& output, std::optional<int64_t> clip,
                         const std::string& qzcardVersion) {
    m_Database
        .Prepare(
            "INSERT INTO outputs (clip, path, size, format, in_frame, out_frame, record_path, exported_at, "
            "qzcard_version, codec, picture_size) VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11) "
            "ON CONFLICT (path) DO UPDATE SET "
            "clip = excluded.clip, size = excluded.size, format = excluded.format, "
            "codec = excluded.codec, picture_size = excluded.picture_size, "
            "in_frame = excluded.in_frame, out_frame = excluded.out_frame, "
            "record_path = excluded.record_path, exported_at = excluded.exported_at, "
            "qzcard_version = excluded.qzcard_version")
        ->Bind(1, clip)
        .Bind(2, output.path)
        .Bind(3, output.size)
        .Bind(4, output.format)
        .Bind(5, output.inFrame)
        .Bind(6, output.outFrame)
        .Bind(7, output.recordPath.empty() ? std::nullopt : std::optional<std::string>(output.recordPath))
        .Bind(8, output.exportedAt)
        .Bind(9, qzcardVersion)
        .Bind(10, output.codec)
        .Bind(11, output.pictureSize)
        .Run();
}

std::vector<OutputRow> OutputTable::OfClip(int64_t clip) {
    std::unique_ptr<Statement> list = m_Database.Prepare(
        "SELECT path, size, format, codec, picture_size, in_frame, out_frame, record_path, exported_at, "
        "qzcard_version FROM outputs "
        "WHERE clip = $1 ORDER BY path");
    list->Bind(1, clip);
    std::vector<OutputRow> rows;
    while (list->Step())
        rows.push_back({list->Text(0), list->OptionalInt(1), list->Text(2), list->OptionalText(3),
                        list->OptionalText(4), list->OptionalInt(5), list->OptionalInt(6),
                        list->OptionalText(7), list->Int(8), list->Text(9)});
    return rows;
}

std::vector<std::pair<std::string, int64_t>> OutputTable::FormatCountsOfCard(int64_t cardId) {
    std::unique_ptr<Statement> list = m_Database.Prepare(
        "SELECT outputs.format, COUNT(*) FROM outputs JOIN clips ON clips.id = outputs.clip "
        "WHERE clips.card_id = $1 GROUP BY outputs.format ORDER BY outputs.format");
    list->Bind(1, cardId);
    std::vector<std::pair<std::string, int64_t>> rows;
    while (list->Step()) rows.emplace_back(list->Text(0), list->Int(1));
    return rows;
}

}  // namespace qzcatalog
