#pragma once
// The statements of the copies and copy_hashes tables: a copy recorded with
// the hashes of the newest entry of its history, a copy found by where it
// lies, and the copies of one clip's files with their volumes (`copies`).
// Within the caller's transaction; one thread.
#include "CatalogRecords.h"
#include "Database.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qzcatalog {

struct ClipCopyRow {
    std::string cardPath;  // the card file, relative to the card folder
    std::string volumeKey;
    std::optional<std::string> volumeLabel;
    std::optional<std::string> mountPoint;
    std::string path;  // on the volume
    std::string action;
    int64_t vouchedAt = 0;
    bool counts = false;
    std::string historyPath;
    std::string generationFile;
};

class CopyTable {
public:
    explicit CopyTable(Database& database) : m_Database(database) {}

    int64_t Record(int64_t fileId, int64_t volumeId, const CopySeen& copy, const std::string& historyPath,
                   int64_t recordedAt);
    std::optional<int64_t> IdOf(int64_t volumeId, const std::string& path);
    // The cards whose files the history in `historyPath` on the volume holds copies of.
    std::vector<int64_t> CardsOfHistory(int64_t volumeId, const std::string& historyPath);
    // The copies of the files of clip row `clip`, by file and volume.
    std::vector<ClipCopyRow> OfClip(int64_t clip);

private:
    Database& m_Database;
};

}  // namespace qzcatalog
