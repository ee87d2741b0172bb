#include "CatalogOverview.h"

#include "OutputTable.h"

namespace qzcatalog {

CatalogState CatalogOverview::Of(Catalog& catalog, int64_t copies) {
    CatalogState state;
    state.where = catalog.Where();
    state.copiesNeeded = copies;
    catalog.Read([&] {
        Database& db = catalog.Db();
        state.lacking = CatalogQuestions::LackingIn(db, copies, std::nullopt);
        for (CardRow& row : CardTable(db).List(copies)) {
            CardOverview card;
            card.erasable = ErasableQuestion::AskKnown(db, row, copies);
            card.checks = CheckTable(db).CountsOfCard(row.id);
            card.outputs = OutputTable(db).FormatCountsOfCard(row.id);
            card.card = std::move(row);
            state.cards.push_back(std::move(card));
        }
    });
    return state;
}

}  // namespace qzcatalog
