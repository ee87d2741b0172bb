#pragma once
// The statements of the cards table: a card recorded (seen itself, or
// known through a copy of it), found by its medium, and listed with its
// counts. Used within the caller's transaction; one thread.
#include "CatalogRecords.h"
#include "Database.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qzcatalog {

struct CardRow {
    int64_t id = 0;
    std::optional<std::string> mediumId;  // none for a copy of something that is not a card
    std::string folderName;
    int64_t firstSeen = 0;
    int64_t lastSeen = 0;
    int64_t clips = 0;
    int64_t files = 0;
    int64_t safeFiles = 0;  // files with at least the copies asked for on as many volumes
};

class CardTable {
public:
    explicit CardTable(Database& database) : m_Database(database) {}

    // The card's row, made or updated: a card seen itself names its folder
    // and the volume it lies on;
    // either kind of sighting widens its first and last seen dates.
    int64_t Record(const CardSeen& card);
    std::optional<int64_t> IdOfKey(const std::string& key);
    // Every card, least recently seen first.
    std::vector<CardRow> List(int64_t copies);

private:
    Database& m_Database;
};

}  // namespace qzcatalog
