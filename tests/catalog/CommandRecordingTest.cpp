// The commands that learn something about a card record it in the catalog
// (both stores), run as a person runs them: the rows each leaves, none with
// --no-catalog; a catalog that cannot be used (a newer schema, no server, a
// folder that cannot be made) leaves the exit code as it is, one line on stderr.
#include "CatalogTestSupport.h"

#include "QzcardRun.h"

#include <filesystem>

namespace {

using namespace catalog_test;

class CommandRecordingTest : public StoreTest {};

INSTANTIATE_TEST_SUITE_P(Stores, CommandRecordingTest,
                         testing::Values(StoreKind::kSqlite, StoreKind::kPostgres), StoreName);

TEST_P(CommandRecordingTest, EachCommandRecordsWhatItLearned) {
    const qztest::ScratchFolder work("recording");
    const std::string card = work.Path() + "/card", copy = work.Path() + "/d/card";
    ASSERT_EQ(qztest::Qzcard({"sample-card", card}).exitCode, 0);
    std::filesystem::create_directories(work.Path() + "/d");
    std::filesystem::create_directories(work.Path() + "/e");
    const std::vector<std::string> dests = {work.Path() + "/d", work.Path() + "/e"};
    const std::string none = "cards=0 clips=0 files=0 hashes=0 copies=0 checks=0";
    const struct {
        std::vector<std::vector<std::string>> commands;
        std::string counts;
    } cases[] = {
        {{{"list", card}}, "cards=1 clips=6 files=21 hashes=0 copies=0 checks=0"},
        {{{"list", card, "--no-catalog"}}, none},
        {{{"verify", card}}, "cards=1 clips=6 files=21 hashes=0 copies=0 checks=6"},
        {{{"offload", card, dests[0], dests[1]}}, "cards=1 clips=6 files=21 hashes=21 copies=42 checks=0"},
        {{{"offload", card, dests[0]}, {"offload", "--check", copy}},
         "cards=1 clips=6 files=21 hashes=21 copies=21 checks=21"},
        {{{"--no-catalog", "offload", card, dests[0]}}, none},
    };
    for (const auto& c : cases) {
        catalog = std::make_unique<FreshCatalog>(GetParam());
        catalog->Open();
        std::filesystem::remove_all(copy);
        for (std::vector<std::string> command : c.commands) {
            command.insert(command.begin(), {"--catalog", catalog->location});
            const qztest::QzcardRun run = qztest::Qzcard(command);
            EXPECT_EQ(run.exitCode, 0) << command[2] << ": " << run.err;
            EXPECT_EQ(run.err, "") << command[2];
        }
        std::string counts;
        for (const auto& [name, table] :
             std::vector<std::pair<std::string, std::string>>{{"cards", "cards"},
                                                              {"clips", "clips"},
                                                              {"files", "card_files"},
                                                              {"hashes", "card_file_hashes"},
                                                              {"copies", "copies"},
                                                              {"checks", "checks"}})
            counts += (counts.empty() ? "" : " ") + name + "=" +
                      std::to_string(std::stoll(catalog->Query("SELECT COUNT(*) FROM " + table)));
        EXPECT_EQ(counts, c.counts) << c.commands[0][0];
    }
    catalog->Query(
        "INSERT INTO schema_version (version, name, applied_at, qzcard_version) "
        "VALUES (9999, 'later', 0, 'later')");
    for (const std::string& location :
         {catalog->location, "postgresql:///none?host=" + work.Path() + "/no-server",
          std::string("/dev/null/c")}) {
        const qztest::QzcardRun run = qztest::Qzcard({"list", card, "--json", "--catalog", location});
        EXPECT_EQ(run.exitCode, 0) << location;
        EXPECT_EQ(run.err.find("qzcard: catalog not updated: "), 0u) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_EQ(qztest::ParseJson(run.out)["catalog"]["state"], "not updated") << location;
    }
}

}  // namespace
