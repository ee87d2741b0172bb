#pragma once
// The statements of the checks table: one result of verify, verify
// --decode or offload --check recorded, and the latest results of one clip.
// Within the caller's transaction; one thread.
#include "Database.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qzcatalog {

struct CheckRow {
    std::string kind;
    int64_t checkedAt = 0;
    std::string qzcardVersion;
    std::optional<int64_t> cardId;
    std::optional<int64_t> clip;
    std::optional<int64_t> copyId;
    std::optional<std::string> path;
    std::string result;
    std::optional<std::string> detail;
};

// How many results of one check run (one kind at one time) said `result`.
struct CheckCount {
    std::string kind;
    int64_t checkedAt = 0;
    std::string result;
    int64_t count = 0;
};

class CheckTable {
public:
    explicit CheckTable(Database& database) : m_Database(database) {}

    void Record(const CheckRow& check);
    // The checks of clip row `clip`, newest first.
    std::vector<CheckRow> OfClip(int64_t clip);
    // The results of the checks of card row `cardId` (its clips, its files
    // and its copies), counted per check run and result, newest run first.
    std::vector<CheckCount> CountsOfCard(int64_t cardId);

private:
    Database& m_Database;
};

}  // namespace qzcatalog
