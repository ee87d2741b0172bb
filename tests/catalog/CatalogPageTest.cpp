// `qzcard report --catalog`: the catalog's page, on both stores, named by
// its own value and by the global option, loaded in headless Chromium
// (tests/report/report_page_check.py) with hostile texts in the catalog;
// and `report CARD --catalog X`, which names where the report records.
#include "CatalogTestSupport.h"

#include "QzcardRun.h"

#include <filesystem>

namespace {

using namespace catalog_test;
namespace fs = std::filesystem;

class CatalogPageTest : public StoreTest {};

INSTANTIATE_TEST_SUITE_P(Stores, CatalogPageTest, testing::Values(StoreKind::kSqlite, StoreKind::kPostgres),
                         StoreName);

// Markup, quotes, SQL and a byte that is not UTF-8.
const std::string kHostileTitle = "<script>alert(\"x\")</script> ' ; DROP TABLE clips; -- \xff end";

TEST_P(CatalogPageTest, PageShowsEachCardsStateAndOpensInABrowser) {
    // Card "safe": copies that count on two volumes; card "short": one copy,
    // a hostile title; seen later, so listed second.
    qzcatalog::CardSeen safe = MadeUpCard("515A4341-0000-4000-8000-0000000000A1", 3, 1714555800);
    qzcatalog::CardSeen lacking = MadeUpCard("515A4341-0000-4000-8000-0000000000B2", 3, 1714559400);
    lacking.clips[0].title = kHostileTitle;
    for (qzcatalog::CardSeen* card : {&safe, &lacking}) {
        card->volumeKey = "uuid:card-reader";
        for (qzcatalog::CardFileSeen& file : card->files)
            file.hashes[qzoffload::HashFormat::kXxh64] = std::string(16, 'a');
    }
    catalog->Open()->Record({{safe, lacking},
                             {MadeUpCopies(safe, "SHUTTLE1", "safe"), MadeUpCopies(safe, "SHUTTLE2", "safe"),
                              MadeUpCopies(lacking, "SHUTTLE1", "short")},
                             {},
                             {}});
    const qztest::ScratchFolder out("catalog-page");
    // Its own value, and with none the global option's catalog.
    for (const std::vector<std::string>& form :
         {std::vector<std::string>{"report", "--catalog", catalog->location, "-o", out.Path() + "/own",
                                   "--json"},
          {"--catalog", catalog->location, "report", "--catalog", "-o", out.Path() + "/global", "--json"}}) {
        const nlohmann::json said = qztest::QzcardJson(form);
        EXPECT_EQ(said["page"], form[form.size() - 2] + "/catalog.html");
        EXPECT_EQ(std::vector<int>({said["cards"], said["erasableCards"], said["lackingFiles"]}),
                  std::vector<int>({2, 1, 3}));
        EXPECT_TRUE(fs::exists(said["page"].get<std::string>()));
    }
    // Neither cards nor the page; the page with cards.
    EXPECT_EQ(qztest::Qzcard({"report", "-o", out.Path() + "/none"}).exitCode, 64);
    EXPECT_EQ(qztest::Qzcard({"report", out.Path(), "--catalog", "-o", out.Path() + "/none"}).exitCode, 64);
    EXPECT_FALSE(fs::exists(out.Path() + "/none"));

    QZ_REQUIRE_TOOL("chromium");
    QZ_REQUIRE_TOOL("python3");
    const qztest::CommandResult browser = qztest::RunCommand(
        "python3 " + qztest::ShellQuote(QZ_PAGE_CHECK) + " /usr/bin/chromium " +
        qztest::ShellQuote(out.Path() + "/own/catalog.html") + " " +
        qztest::ShellQuote(out.Path() + "/shot.png") + " " + qztest::ShellQuote(out.Path() + "/profile"));
    ASSERT_EQ(browser.exitCode, 0) << browser.output;
    const nlohmann::json page = qztest::ParseJson(browser.output);
    EXPECT_EQ(page["cardStates"], nlohmann::json({"erasable", "not erasable"})) << browser.output;
    // The lacking clip's row: the title as recorded, the byte that is not UTF-8 as U+FFFD.
    EXPECT_EQ(page["clipTables"], nlohmann::json({1}));
    EXPECT_EQ(page["texts"],
              nlohmann::json({"<script>alert(\"x\")</script> ' ; DROP TABLE clips; -- \xEF\xBF\xBD end"}));
    EXPECT_EQ(page["scripts"], 0);
    EXPECT_EQ(page["console"], nlohmann::json::array());
    EXPECT_EQ(page["exceptions"], nlohmann::json::array());
    EXPECT_LE(page["layout"]["scrollWidth"].get<int>(), page["layout"]["width"].get<int>());
}

TEST(CatalogPageCommandTest, ReportOfCardsRecordsWhereItsCatalogOptionSays) {
    QZ_REQUIRE_TOOL("sqlite3");
    const qztest::ScratchFolder work("report-catalog");
    const std::string card = work.Path() + "/card", at = work.Path() + "/cat.sqlite";
    ASSERT_EQ(qztest::Qzcard({"sample-card", card, "--clips", "1", "--frames", "6"}).exitCode, 0);
    const qztest::QzcardRun run = qztest::Qzcard(
        {"report", card, "-o", work.Path() + "/page", "--thumbnails", "0", "--catalog", at, "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(qztest::ParseJson(run.out)["catalog"]["where"], at);
    EXPECT_EQ(
        qztest::RunCommand("sqlite3 " + qztest::ShellQuote(at) + " 'SELECT COUNT(*) FROM clips'").output,
        "1\n");
}

}  // namespace
