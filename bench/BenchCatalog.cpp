// bench-catalog LOCATION CARD CARDS FILES: fills the catalog at LOCATION
// (a SQLite file or a PostgreSQL URL) for bench/compare.py, unless it is
// filled already: CARDS made-up cards of FILES files each, written in bulk
// by SQL as the catalog would hold them (two copies of every file on two
// volumes, every file's hash; every 200th card with one copy only, so that
// `lacking` has files to name), and the real card at CARD recorded through
// the catalog with its xxh64 hashes and two copies on made-up volumes, for
// `erasable`.
#include "CardReading.h"
#include "Catalog.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

namespace {

using qzcatalog::Store;

// Our own text for a bytes column: SQLite keeps text, PostgreSQL wants bytea.
std::string Bytes(Store store, const std::string& expression) {
    return store == Store::kSqlite ? expression : "convert_to(" + expression + ", 'UTF8')";
}

std::string Numbers(int64_t count) {
    return "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < " +
           std::to_string(count - 1) + ") ";
}

void FillMadeUpCards(qzcatalog::Catalog& catalog, int64_t cards, int64_t files) {
    qzcatalog::Database& db = catalog.Db();
    const Store s = db.Kind();
    const std::string bench = "c.card_key LIKE " + Bytes(s, "'medium:BENCH-%'");
    const std::string lacking = "c.id % 200 = 0";
    catalog.Write([&] {
        db.RunScript(Numbers(cards) +
                     "INSERT INTO cards (card_key, medium_id, folder_name, first_seen, last_seen) SELECT " +
                     Bytes(s, "'medium:BENCH-' || i") + ", " + Bytes(s, "'BENCH-' || i") + ", " +
                     Bytes(s, "'B' || i") + ", 1700000000 + i * 600, 1700000000 + i * 600 FROM n");
        db.RunScript("INSERT INTO volumes (volume_key, uuid, label, mount_point, last_seen) VALUES (" +
                     Bytes(s, "'uuid:bench-1'") + ", " + Bytes(s, "'bench-1'") + ", " +
                     Bytes(s, "'SHUTTLE1'") + ", " + Bytes(s, "'/media/SHUTTLE1'") + ", 1700000000), (" +
                     Bytes(s, "'uuid:bench-2'") + ", " + Bytes(s, "'bench-2'") + ", " +
                     Bytes(s, "'SHUTTLE2'") + ", " + Bytes(s, "'/media/SHUTTLE2'") + ", 1700000000)");
        db.RunScript(Numbers((files + 2) / 3) +
                     "INSERT INTO clips (card_id, clip_id, search_text, title) SELECT c.id, " +
                     Bytes(s, "'QZ' || (1000 + n.i)") + ", " + Bytes(s, "'qz' || (1000 + n.i)") + ", " +
                     Bytes(s, "'bench clip ' || n.i") + " FROM cards c CROSS JOIN n WHERE " + bench);
        db.RunScript(
            Numbers(files) +
            "INSERT INTO card_files (card_id, path, size, modified_ns, clip, safe_volumes) SELECT c.id, " +
            Bytes(s, "'CONTENTS/CLIPS001/QZ' || (1000 + n.i / 3) || '/F' || n.i") +
            ", 1000000 + n.i, 1700000000000000000, k.id, CASE WHEN " + lacking +
            " THEN 1 ELSE 2 END FROM cards c CROSS JOIN n JOIN clips k ON k.card_id = c.id AND k.clip_id = " +
            Bytes(s, "'QZ' || (1000 + n.i / 3)") + " WHERE " + bench);
        db.RunScript(
            "INSERT INTO card_file_hashes (file_id, format, value, size, modified_ns, hashed_at) SELECT "
            "f.id, " +
            Bytes(s, "'xxh64'") + ", " + Bytes(s, "'a' || (100000000000000 + f.id)") +
            ", f.size, f.modified_ns, 1700000000 FROM card_files f JOIN cards c ON c.id = f.card_id WHERE " +
            bench);
        for (const char* volume : {"bench-1", "bench-2"})
            db.RunScript(
                "INSERT INTO copies (file_id, volume_id, path, size, modified, action, vouched_at, "
                "history_path, "
                "generation, generation_file, recorded_at, counts) SELECT f.id, v.id, c.folder_name || " +
                Bytes(s, "'/'") + " || f.path, f.size, 1700000000, " + Bytes(s, "'original'") +
                ", c.first_seen, c.folder_name, 1, " + Bytes(s, "'0001_bench.mhl'") +
                ", c.first_seen, 1 FROM card_files f JOIN cards c ON c.id = f.card_id JOIN volumes v ON "
                "v.uuid = " +
                Bytes(s, std::string("'") + volume + "'") + " WHERE " + bench +
                (std::string(volume) == "bench-2" ? " AND NOT (" + lacking + ")" : ""));
        db.RunScript(
            "INSERT INTO copy_hashes (copy_id, format, value, action) SELECT p.id, h.format, h.value, " +
            Bytes(s, "'original'") + " FROM copies p JOIN card_file_hashes h ON h.file_id = p.file_id");
    });
}

void RecordRealCard(qzcatalog::Catalog& catalog, const std::string& folder) {
    const int64_t now = static_cast<int64_t>(std::time(nullptr));
    const qzcatalog::CardSeen card =
        qzcatalog::CardReading::Read(folder, {qzoffload::HashFormat::kXxh64}, now);
    catalog.RecordCard(card);
    std::vector<qzcatalog::CopiesSeen> copies;
    for (const char* name : {"REAL1", "REAL2"}) {
        qzcatalog::CopiesSeen seen;
        seen.card = card;
        seen.card.direct = false;
        seen.volume.uuid = std::string("bench-") + name;
        seen.volume.label = name;
        seen.volume.mountPoint = std::string("/media/") + name;
        seen.historyPath = card.folderName;
        for (const qzcatalog::CardFileSeen& file : card.files) {
            qzcatalog::CopySeen copy;
            copy.cardPath = file.path;
            copy.path = card.folderName + "/" + file.path;
            copy.size = file.size;
            for (const auto& [format, value] : file.hashes)
                copy.hashes[format] = {value, qzoffload::HashAction::kOriginal, now};
            copy.vouchedAt = now;
            copy.generation = 1;
            copy.generationFile = "0001_" + card.folderName + ".mhl";
            seen.copies.push_back(copy);
        }
        copies.push_back(seen);
    }
    catalog.RecordCopies(copies);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: bench-catalog LOCATION CARD CARDS FILES\n");
        return 64;
    }
    try {
        qzcatalog::Catalog catalog(qzcatalog::CatalogLocation::Named(argv[1]));
        const int64_t cards = std::atoll(argv[3]), files = std::atoll(argv[4]);
        int64_t present = 0;
        catalog.Read([&] {
            std::unique_ptr<qzcatalog::Statement> count = catalog.Db().Prepare("SELECT COUNT(*) FROM cards");
            present = count->Step() ? count->Int(0) : 0;
        });
        if (present == cards + 1) return 0;
        if (present != 0) {
            std::fprintf(stderr, "bench-catalog: %s holds %lld cards, not %lld: remove it\n", argv[1],
                         static_cast<long long>(present), static_cast<long long>(cards + 1));
            return 1;
        }
        FillMadeUpCards(catalog, cards, files);
        RecordRealCard(catalog, argv[2]);
        // As the store's own maintenance would after a day's work (autovacuum).
        catalog.Db().RunScript("ANALYZE");
    } catch (const qzcatalog::CatalogError& e) {
        std::fprintf(stderr, "bench-catalog: %s\n", e.what());
        return 1;
    }
    return 0;
}
