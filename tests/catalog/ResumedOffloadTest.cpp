// `catalog erasable` after an offload the catalog did not see, stopped by SIGINT or SIGKILL and
// resumed: the card's hashes are read from the card, so a file altered behind its size and time differs.
#include "CatalogTestSupport.h"

#include "OffloadJournal.h"
#include "QzcardRun.h"
#include "SignalledRun.h"
#include "TestFiles.h"

#include <signal.h>

#include <filesystem>

namespace {

using namespace catalog_test;
namespace fs = std::filesystem;

class ResumedOffloadTest : public StoreTest {};

INSTANTIATE_TEST_SUITE_P(Stores, ResumedOffloadTest,
                         testing::Values(StoreKind::kSqlite, StoreKind::kPostgres), StoreName);

TEST_P(ResumedOffloadTest, ErasableAfterAResumedOffloadComparesTheCardItself) {
    if (!fs::is_directory("/dev/shm")) GTEST_SKIP() << "no /dev/shm for the card";
    const qztest::ScratchFolder cardFolder("qz-resumed", "/dev/shm"), work("resumed");
    const std::string card = cardFolder.Path() + "/CARD", member = "CONTENTS/CLIPS001/QZ0001/QZ000101.MXF";
    ASSERT_EQ(qztest::Qzcard({"sample-card", card, "--clips", "4", "--frames", "60"}).exitCode, 0);
    const auto offloadAndErasable = [this, &card](const std::string& dest, int erasableCode) {
        const FreshCatalog fresh(GetParam());
        const auto run = qztest::Qzcard({"--catalog", fresh.location, "offload", card, dest, "--json"});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_GT(qztest::ParseJson(run.out)["destinations"][0]["kept"].get<int>(), 0) << run.out;
        const qztest::QzcardRun erasable = qztest::Qzcard(
            {"catalog", "--catalog", fresh.location, "erasable", card, "--copies", "1", "--json"});
        EXPECT_EQ(erasable.exitCode, erasableCode) << erasable.out;
        return qztest::ParseJson(erasable.out);
    };
    for (const int signal : {SIGINT, SIGKILL}) {
        SCOPED_TRACE(strsignal(signal));
        const std::string dest = work.Path() + "/dest" + std::to_string(signal);
        const std::string journal = dest + "/CARD/ascmhl/" + qzoffload::OffloadJournal::kFileName;
        fs::create_directories(dest);
        // Stopped once a member's journal line names it (or after a fast run): the next keeps every file.
        qztest::RunAndSignal(
            {"--no-catalog", "offload", card, dest},
            [&journal] { return qztest::ReadText(journal).find(".MXF\",\"hashes\"") != std::string::npos; },
            signal, work.Path() + "/err.txt");
        EXPECT_EQ(offloadAndErasable(dest, 0)["shortFiles"], nlohmann::json::array());
    }
    // Altered behind its size and time: a run keeping every file misses it, the card read again does not.
    const std::string altered = card + "/" + member;
    const fs::file_time_type modified = fs::last_write_time(altered);
    std::vector<uint8_t> bytes = qztest::ReadFile(altered);
    bytes[bytes.size() / 2] ^= 0xFF;
    ASSERT_TRUE(qztest::WriteFile(altered, bytes));
    fs::last_write_time(altered, modified);
    nlohmann::json answer = offloadAndErasable(work.Path() + "/dest" + std::to_string(SIGKILL), 4);
    ASSERT_EQ(answer["shortFiles"].size(), 1u) << answer.dump();
    EXPECT_EQ(answer["shortFiles"][0]["path"], member);
    EXPECT_EQ(answer["shortFiles"][0]["copies"][0]["verdict"], "hashDiffers");
}

}  // namespace
