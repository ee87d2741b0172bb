#pragma once
// The statements of the clips table: a clip recorded with its values and
// relay links, the clips of a card by ID, and the clips the questions ask
// for (all of them or those of a card with one field of a value; those
// whose ID, title, creator, description or camera serial holds a text;
// those of one clip ID or UMID). Within the caller's transaction; one thread.
#include "CatalogRecords.h"
#include "Database.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qzcatalog {

struct ClipRow {
    int64_t id = 0;
    std::string cardFolder;
    std::optional<std::string> mediumId;
    ClipSeen clip;
};

// One field a question may select clips by ("title"), as JSON names it.
struct ClipFieldMatch {
    std::string field;
    std::string value;
};

class ClipTable {
public:
    explicit ClipTable(Database& database) : m_Database(database) {}

    int64_t Record(int64_t cardId, const ClipSeen& clip);
    // Clip ID to row of every clip of the card.
    std::map<std::string, int64_t> IdsOfCard(int64_t cardId);

    // Clips of the card whose medium ID or folder name is `card` (every
    // card when none), with `match` (when given) of its value; in card
    // folder and clip order. Throws CatalogError (kUsage) for a field
    // that is not one of FieldNames().
    std::vector<ClipRow> List(const std::optional<std::string>& card,
                              const std::optional<ClipFieldMatch>& match);
    // Clips whose ID, title, creator, description or camera serial holds
    // `text`, whatever the letter case.
    std::vector<ClipRow> Find(const std::string& text);
    // Clips whose ID (any letter case) or UMID is `clipOrUmid`.
    std::vector<ClipRow> Named(const std::string& clipOrUmid);

    // The JSON names of the fields, in the order `clips --json` gives them.
    static const std::vector<std::string>& FieldNames();
    // The case-folded text `Find` searches.
    static std::string SearchText(const ClipSeen& clip);

private:
    std::vector<ClipRow> Rows(Statement& statement);

    Database& m_Database;
};

}  // namespace qzcatalog
