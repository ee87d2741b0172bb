// The commands that learn something about a card record it in the catalog
// (both stores), run as a person runs them: the rows each command leaves,
// nothing with --no-catalog, and a catalog that cannot be used (no server,
// a folder that cannot be made, a newer schema) never changes the command's
// exit code or output: one warning line on stderr, "not updated" in JSON.
#include "CatalogTestSupport.h"

#include "QzcardRun.h"

#include <filesystem>

namespace {

using namespace catalog_test;

class CommandRecordingTest : public StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        if (HasFatalFailure() || IsSkipped()) return;
        catalog->Open();  // the tables, so that every count below can be asked
        ASSERT_EQ(qztest::Qzcard({"sample-card", card}).exitCode, 0);
    }
    // An empty catalog of the same store.
    void FreshStore() {
        catalog = std::make_unique<FreshCatalog>(GetParam());
        catalog->Open();
    }
    // `args` with CARD and DEST (a new destination folder each time) replaced.
    qztest::QzcardRun Run(std::vector<std::string> args) {
        for (std::string& a : args) {
            if (a == "CARD") a = card;
            if (a == "COPY") a = work.Path() + "/d" + std::to_string(destinations - 1) + "/card";
            if (a == "DEST") {
                a = work.Path() + "/d" + std::to_string(destinations++);
                std::filesystem::create_directories(a);
            }
        }
        args.insert(args.begin(), {"--catalog", catalog->location});
        return qztest::Qzcard(args);
    }
    std::string Counts() const {
        std::string counts;
        for (const char* table : {"cards", "clips", "card_files", "card_file_hashes", "copies", "checks"})
            counts +=
                std::string(counts.empty() ? "" : " ") + table + "=" +
                std::to_string(std::stoll(catalog->Query(std::string("SELECT COUNT(*) FROM ") + table)));
        return counts;
    }

    qztest::ScratchFolder work{"recording"};
    std::string card = work.Path() + "/card";
    int destinations = 0;
};

INSTANTIATE_TEST_SUITE_P(Stores, CommandRecordingTest,
                         testing::Values(StoreKind::kSqlite, StoreKind::kPostgres), StoreName);

TEST_P(CommandRecordingTest, EachCommandRecordsWhatItLearned) {
    struct Case {
        std::vector<std::vector<std::string>> commands;
        const char* counts;
    };
    const Case cases[] = {
        {{{"list", "CARD"}}, "cards=1 clips=6 card_files=21 card_file_hashes=0 copies=0 checks=0"},
        {{{"list", "CARD", "--no-catalog"}},
         "cards=0 clips=0 card_files=0 card_file_hashes=0 copies=0 checks=0"},
        {{{"offload", "CARD", "DEST", "DEST"}},
         "cards=1 clips=6 card_files=21 card_file_hashes=21 copies=42 checks=0"},
        {{{"offload", "CARD", "DEST"}, {"offload", "--check", "COPY"}},
         "cards=1 clips=6 card_files=21 card_file_hashes=21 copies=21 checks=21"},
        {{{"verify", "CARD"}}, "cards=1 clips=6 card_files=21 card_file_hashes=0 copies=0 checks=6"},
        {{{"--no-catalog", "offload", "CARD", "DEST"}},
         "cards=0 clips=0 card_files=0 card_file_hashes=0 copies=0 checks=0"},
    };
    for (const Case& c : cases) {
        FreshStore();
        for (const auto& command : c.commands) {
            const qztest::QzcardRun run = Run(command);
            EXPECT_EQ(run.exitCode, 0) << command[0] << ": " << run.err;
            EXPECT_EQ(run.err.find("catalog not updated"), std::string::npos) << run.err;
        }
        EXPECT_EQ(Counts(), c.counts) << c.commands[0][0];
    }
}

TEST_P(CommandRecordingTest, AnUnusableCatalogLeavesTheWorkAsItIs) {
    const std::string newer = catalog->location;
    catalog->Query(
        "INSERT INTO schema_version (version, name, applied_at, qzcard_version) "
        "VALUES (9999, 'from a later qzcard', 0, 'later')");
    const std::string unusable[] = {
        newer,
        "postgresql:///none?host=" + work.Path() + "/no-server",
        "/dev/null/catalog.sqlite",
    };
    const std::vector<std::vector<std::string>> commands = {{"list", "CARD", "--json"},
                                                            {"offload", "CARD", "DEST", "--json"}};
    for (const auto& command : commands) {
        std::vector<std::string> withoutCatalog = command;
        withoutCatalog.push_back("--no-catalog");
        const qztest::QzcardRun off = Run(withoutCatalog);
        nlohmann::json expected = qztest::ParseJson(off.out);
        for (const std::string& location : unusable) {
            catalog->location = location;
            const qztest::QzcardRun run = Run(command);
            catalog->location = newer;
            EXPECT_EQ(run.exitCode, off.exitCode) << location;
            EXPECT_EQ(run.err.find("qzcard: catalog not updated: "), 0u) << location << ": " << run.err;
            EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
            nlohmann::json got = qztest::ParseJson(run.out);
            EXPECT_EQ(got["catalog"]["state"], "not updated") << location;
            if (command[0] == "offload") continue;  // each run writes a destination of its own
            got.erase("catalog");
            expected.erase("catalog");
            EXPECT_EQ(got, expected) << location;
        }
    }
}

}  // namespace
