// `report --catalog [X]` (X, or the global option's): the catalog's page on both stores, with hostile
// texts, in headless Chromium; `report CARD --catalog X` records in X and says so.
#include "CatalogTestSupport.h"

#include "QzcardRun.h"

#include <filesystem>

namespace {

using namespace catalog_test;
namespace fs = std::filesystem;

class CatalogPageTest : public StoreTest {};

INSTANTIATE_TEST_SUITE_P(Stores, CatalogPageTest, testing::Values(StoreKind::kSqlite, StoreKind::kPostgres),
                         StoreName);

TEST_P(CatalogPageTest, PageShowsEachCardsStateAndOpensInABrowser) {
    // "safe": copies on two volumes; "short" (seen later): one copy, a title of markup, SQL, not UTF-8.
    qzcatalog::CardSeen safe = MadeUpCard("515A4341-0000-4000-8000-0000000000A1", 3, 1714555800);
    qzcatalog::CardSeen lacking = MadeUpCard("515A4341-0000-4000-8000-0000000000B2", 3, 1714559400);
    lacking.clips[0].title = "<script>alert(\"x\")</script> ' ; DROP TABLE clips; -- \xff end";
    safe.volumeKey = lacking.volumeKey = "uuid:card-reader";
    for (qzcatalog::CardSeen* card : {&safe, &lacking})
        for (auto& file : card->files) file.hashes[qzoffload::HashFormat::kXxh64] = std::string(16, 'a');
    const auto copies = {MadeUpCopies(safe, "SHUTTLE1", "safe"), MadeUpCopies(safe, "SHUTTLE2", "safe"),
                         MadeUpCopies(lacking, "SHUTTLE1", "short")};
    catalog->Open()->Record({{safe, lacking}, copies, {}, {}});
    const qztest::ScratchFolder out("catalog-page");
    for (const auto& form : std::vector<std::vector<std::string>>{
             {"report", "--catalog", catalog->location, "-o", out.Path() + "/own", "--json"},
             {"--catalog", catalog->location, "report", "--catalog", "-o", out.Path() + "/all", "--json"}}) {
        const nlohmann::json said = qztest::QzcardJson(form);
        EXPECT_EQ(nlohmann::json({said["page"], said["cards"], said["erasableCards"], said["lackingFiles"]}),
                  nlohmann::json({form[form.size() - 2] + "/catalog.html", 2, 1, 3}));
        EXPECT_TRUE(fs::exists(said["page"].get<std::string>()));
    }
    // Neither cards nor the page; the page with cards.
    EXPECT_EQ(qztest::Qzcard({"report", "-o", out.Path() + "/none"}).exitCode, 64);
    EXPECT_EQ(qztest::Qzcard({"report", out.Path(), "--catalog", "-o", out.Path() + "/none"}).exitCode, 64);
    EXPECT_FALSE(fs::exists(out.Path() + "/none"));
    ASSERT_EQ(qztest::Qzcard({"sample-card", out.Path() + "/card", "--clips", "1"}).exitCode, 0);
    EXPECT_EQ(catalog->location,
              qztest::QzcardJson({"report", out.Path() + "/card", "--catalog", catalog->location, "--json",
                                  "-o", out.Path() + "/page", "--thumbnails", "0"})["catalog"]["where"]);
    EXPECT_EQ(catalog->Query("SELECT COUNT(*) FROM clips"), "3\n");

    QZ_REQUIRE_TOOL("chromium");
    QZ_REQUIRE_TOOL("python3");
    const qztest::CommandResult browser = qztest::RunCommand(
        "cd " + qztest::ShellQuote(out.Path()) + " && python3 " + qztest::ShellQuote(QZ_PAGE_CHECK) +
        " /usr/bin/chromium own/catalog.html shot.png \"$PWD/profile\"");
    ASSERT_EQ(browser.exitCode, 0) << browser.output;
    nlohmann::json page = qztest::ParseJson(browser.output);
    // One row, the lacking clip's: its title as recorded, the byte that is not UTF-8 as U+FFFD.
    const nlohmann::json expected = R"({"cardStates": ["erasable", "not erasable"], "clipTables": [1],
            "texts": ["<script>alert(\"x\")</script> ' ; DROP TABLE clips; -- \uFFFD end"], "scripts": 0,
            "console": [], "exceptions": []})"_json;
    for (const auto& [key, value] : expected.items()) EXPECT_EQ(page[key], value) << key;
    EXPECT_LE(page["layout"]["scrollWidth"].get<int>(), page["layout"]["width"].get<int>());
}

}  // namespace
