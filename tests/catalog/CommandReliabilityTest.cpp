// The catalog as several qzcard processes share it, on both stores: two
// offloads of different cards and a verify at once lose nothing; a process
// killed inside its recording's transaction leaves the catalog as before
// that run, and the next run records whole; hostile clip titles come back
// from `catalog find` as the card holds them. (A damaged or newer catalog:
// CatalogFileTest and CommandRecordingTest.)
#include "CatalogTestSupport.h"

#include "ClipStates.h"
#include "ValueTexts.h"
#include "CardOpening.h"
#include "CardWriter.h"
#include "QzcardRun.h"
#include "SampleCard.h"
#include "SignalledRun.h"

#include <signal.h>

#include <filesystem>
#include <future>

namespace {

using namespace catalog_test;
namespace cw = ComVantoVantoQZ64RADPlug::CardWriter;

class CommandReliabilityTest : public StoreTest {
protected:
    // The rows of the tables a recording writes, as one line.
    std::string Counts() const {
        std::string counts;
        for (const char* table : {"cards", "clips", "card_files", "card_file_hashes", "volumes", "copies",
                                  "copy_hashes", "checks"})
            counts +=
                std::string(counts.empty() ? "" : " ") + table + "=" +
                std::to_string(std::stoll(catalog->Query(std::string("SELECT COUNT(*) FROM ") + table)));
        return counts;
    }
    std::vector<std::string> WithCatalog(std::vector<std::string> command) const {
        command.insert(command.begin(), {"--catalog", catalog->location});
        return command;
    }
};

INSTANTIATE_TEST_SUITE_P(Stores, CommandReliabilityTest,
                         testing::Values(StoreKind::kSqlite, StoreKind::kPostgres), StoreName);

TEST_P(CommandReliabilityTest, TwoOffloadsAndAVerifyAtOnceLoseNothing) {
    const qztest::ScratchFolder work("at-once");
    const std::vector<std::string> cards = {work.Path() + "/a", work.Path() + "/b", work.Path() + "/c"};
    for (const std::string& card : cards)
        ASSERT_EQ(qztest::Qzcard({"sample-card", card, "--frames", "12"}).exitCode, 0);
    for (const char* dest : {"/d1", "/d2"}) std::filesystem::create_directories(work.Path() + dest);
    catalog->Open();
    for (int round = 0; round < 2; ++round) {
        std::vector<std::future<qztest::QzcardRun>> runs;
        for (const std::vector<std::string>& command :
             {WithCatalog({"offload", cards[0], work.Path() + "/d1"}),
              WithCatalog({"offload", cards[1], work.Path() + "/d2"}), WithCatalog({"verify", cards[2]})})
            runs.push_back(std::async(std::launch::async, [command] { return qztest::Qzcard(command); }));
        for (auto& run : runs) {
            const qztest::QzcardRun done = run.get();
            EXPECT_EQ(done.exitCode, 0) << done.err;
            EXPECT_EQ(done.err, "");
        }
        // Three cards of 6 clips and 21 files; the two offloads' hashes and
        // copies; one check per clip of the verified card and run.
        EXPECT_EQ(Counts(),
                  "cards=3 clips=18 card_files=63 card_file_hashes=42 volumes=1 copies=42 "
                  "copy_hashes=42 checks=" +
                      std::to_string(6 * (round + 1)))
            << "round " << round;
    }
}

TEST_P(CommandReliabilityTest, AProcessKilledInItsTransactionLeavesTheCatalogAsBefore) {
    const qztest::ScratchFolder work("killed");
    const std::string first = work.Path() + "/first", second = work.Path() + "/second";
    for (const std::string& card : {first, second})
        ASSERT_EQ(qztest::Qzcard({"sample-card", card, "--frames", "12"}).exitCode, 0);
    std::filesystem::create_directories(work.Path() + "/d");
    ASSERT_EQ(qztest::Qzcard(WithCatalog({"offload", first, work.Path() + "/d"})).exitCode, 0);
    const std::string before = Counts();
    // Each command stopped with all its rows written and nothing committed.
    const std::vector<std::vector<std::string>> commands = {
        {"offload", second, work.Path() + "/d"},
        {"verify", first},
        {"offload", "--check", work.Path() + "/d/first"},
        {"list", second},
    };
    const std::string marker = work.Path() + "/in-transaction";
    for (const std::vector<std::string>& command : commands) {
        SCOPED_TRACE(command[0] + " " + command[1]);
        std::filesystem::remove(marker);
        setenv("QZCARD_TEST_STOP_IN_CATALOG", marker.c_str(), 1);
        const qztest::SignalledRun run = qztest::RunAndSignal(
            WithCatalog(command), [&] { return std::filesystem::exists(marker); }, SIGKILL,
            work.Path() + "/stderr");
        unsetenv("QZCARD_TEST_STOP_IN_CATALOG");
        EXPECT_TRUE(std::filesystem::exists(marker)) << "never reached its transaction: " << run.err;
        EXPECT_EQ(run.signal, SIGKILL) << run.err;
        EXPECT_EQ(Counts(), before);
    }
    // The next runs are fine and whole. The rerun kept the copies the killed
    // run made, hashing them on the drive; the catalog, which lacked the
    // second card's own hashes, has them read from the card.
    for (const std::vector<std::string>& command : commands) {
        const qztest::QzcardRun run = qztest::Qzcard(WithCatalog(command));
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.err, "") << command[0];
    }
    EXPECT_EQ(Counts(),
              "cards=2 clips=12 card_files=42 card_file_hashes=42 volumes=1 copies=42 "
              "copy_hashes=42 checks=27");
}

TEST_P(CommandReliabilityTest, HostileTitlesAreStoredAndShownAsTheCardHoldsThem) {
    const qztest::ScratchFolder work("hostile");
    const std::vector<std::string> titles = {
        "it's \"quoted\"; DROP TABLE clips; --",
        "x'); DELETE FROM cards WHERE ('1'='1",
        "<script>alert(1)</script> &amp; <b>",
        "%_\\ wildcards",
    };
    cw::SampleCardOptions options;
    options.clipCount = static_cast<uint32_t>(titles.size());
    options.durationFrames = 12;
    cw::CardDescription description = cw::SampleCardDescription(options);
    for (size_t i = 0; i < titles.size(); ++i) description.clips[i].xml.title = titles[i];
    const std::string card = work.Path() + "/card";
    cw::WriteCard(description, card);
    const qztest::QzcardRun list = qztest::Qzcard(WithCatalog({"list", card, "--json"}));
    ASSERT_EQ(list.exitCode, 0) << list.err;
    for (size_t i = 0; i < titles.size(); ++i) {
        SCOPED_TRACE(titles[i]);
        EXPECT_EQ(qztest::ParseJson(list.out)["clips"][i]["title"], titles[i]);
        const nlohmann::json found =
            qztest::QzcardJson(WithCatalog({"catalog", "find", titles[i], "--json"}))["clips"];
        ASSERT_EQ(found.size(), 1u) << found.dump();
        EXPECT_EQ(found[0]["title"], titles[i]);
        const qztest::QzcardRun text = qztest::Qzcard(WithCatalog({"catalog", "find", titles[i]}));
        // The table shows a backslash and control characters escaped, as every table of qzcard does.
        EXPECT_NE(text.out.find(qzimport::TableCell(titles[i])), std::string::npos) << text.out;
    }
    EXPECT_EQ(catalog->Query("SELECT COUNT(*) FROM clips"), std::to_string(titles.size()) + "\n");
}

}  // namespace
