#pragma once
// The state of the whole catalog at one moment, as its page shows it: the
// clips lacking copies, and every card with whether it may be erased as the
// catalog knows it (ErasableQuestion::AskKnown: the card is not read, and
// the answer names the volumes holding copies of its files), the results of its checks and the
// outputs made of its clips. Read in one transaction (one snapshot).
// One thread.
#include "CardTable.h"
#include "Catalog.h"
#include "CatalogQuestions.h"
#include "CheckTable.h"
#include "ErasableQuestion.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qzcatalog {

struct CardOverview {
    CardRow card;
    ErasableAnswer erasable;
    std::vector<CheckCount> checks;                        // newest run first
    std::vector<std::pair<std::string, int64_t>> outputs;  // count per format
};

struct CatalogState {
    std::string where;
    int64_t copiesNeeded = 2;
    LackingAnswer lacking;
    std::vector<CardOverview> cards;  // least recently seen first
};

class CatalogOverview {
public:
    static CatalogState Of(Catalog& catalog, int64_t copies);
};

}  // namespace qzcatalog
