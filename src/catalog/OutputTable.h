#pragma once
// The statements of the outputs table: a file an export wrote recorded by
// its path, and the outputs of one clip. Within the caller's transaction;
// one thread.
#include "CatalogRecords.h"
#include "Database.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qzcatalog {

struct OutputRow {
    std::string path;
    std::optional<int64_t> size;
    std::string format;
    std::optional<std::string> codec, pictureSize;
    std::optional<int64_t> inFrame, outFrame;
    std::optional<std::string> recordPath;
    int64_t exportedAt = 0;
    std::string qzcardVersion;
};

class OutputTable {
public:
    explicit OutputTable(Database& database) : m_Database(database) {}

    void Record(const OutputSeen& output, std::optional<int64_t> clip, const std::string& qzcardVersion);
    std::vector<OutputRow> OfClip(int64_t clip);
    // How many outputs of the clips of card row `cardId` there are of each format, by format.
    std::vector<std::pair<std::string, int64_t>> FormatCountsOfCard(int64_t cardId);

private:
    Database& m_Database;
};

}  // namespace qzcatalog
