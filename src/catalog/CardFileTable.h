#pragma once
// The statements of the card_files and card_file_hashes tables: a file of
// a card recorded (as the card holds it, or as a copy's history lists it),
// its hashes, the files a card no longer holds forgotten, and the files
// short of safe copies (`lacking`). Within the caller's transaction; one
// thread.
#include "CatalogRecords.h"
#include "Database.h"

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace qzcatalog {

struct LackingFileRow {
    std::string cardFolder;
    std::optional<std::string> mediumId;
    std::string path;
    std::optional<std::string> clipId;
    std::optional<std::string> title;
    int64_t safeVolumes = 0;
    int64_t cardLastSeen = 0;
};

class CardFileTable {
public:
    explicit CardFileTable(Database& database) : m_Database(database) {}

    // The file's row. Seen on the card itself (`direct`) its size, time and
    // clip are the card's; through a copy they fill only what is not known.
    int64_t Record(int64_t cardId, const CardFileSeen& file, std::optional<int64_t> clip, bool direct);
    // The file's hashes, for its size and time (a file without both gets none).
    void RecordHashes(int64_t fileId, const CardFileSeen& file, int64_t hashedAt);
    // Forgets the card's files that are not in `present` and have no copy.
    void ForgetAbsent(int64_t cardId, const std::set<int64_t>& present);
    // Files with fewer than `copies` safe volumes, of cards last seen at or
    // after `since`; by card folder and path.
    std::vector<LackingFileRow> Lacking(int64_t copies, int64_t since);

private:
    Database& m_Database;
};

}  // namespace qzcatalog
