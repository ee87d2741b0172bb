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

class CheckTable {
public:
    explicit CheckTable(Database& database) : m_Database(database) {}

    void Record(const CheckRow& check);
    // The checks of clip row `clip`, newest first.
    std::vector<CheckRow> OfClip(int64_t clip);

private:
    Database& m_Database;
};

}  // namespace qzcatalog
