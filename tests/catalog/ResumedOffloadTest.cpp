// `catalog erasable` after an offload the catalog did not see (--no-catalog)
// interrupted by SIGINT or SIGKILL and resumed: the files kept hold the
// copy's hashes, so the card's are read from the card, and a card file
// altered behind its size and time is found to differ from its kept copy.
#include "CatalogTestSupport.h"

#include "CUVolumeIdentity.h"
#include "CardWriter.h"
#include "OffloadJournal.h"
#include "QzcardRun.h"
#include "SampleCard.h"
#include "SignalledRun.h"
#include "TestFiles.h"

#include <signal.h>

#include <filesystem>

namespace {

using namespace catalog_test;
namespace cw = ComVantoVantoQZ64RADPlug::CardWriter;
namespace fs = std::filesystem;

class ResumedOffloadTest : public StoreTest {};

INSTANTIATE_TEST_SUITE_P(Stores, ResumedOffloadTest,
                         testing::Values(StoreKind::kSqlite, StoreKind::kPostgres), StoreName);

TEST_P(ResumedOffloadTest, ErasableAfterAResumedOffloadComparesTheCardItself) {
    if (!fs::is_directory("/dev/shm")) GTEST_SKIP() << "no /dev/shm for the card";
    const qztest::ScratchFolder cardFolder("qz-resumed", "/dev/shm");
    const qztest::ScratchFolder work("resumed");
    const std::string card = cardFolder.Path() + "/CARD";
    cw::SampleCardOptions options;
    options.clipCount = 4;
    options.durationFrames = 60;
    cw::WriteCard(cw::SampleCardDescription(options), card);
    ASSERT_NE(ComVantoVantoQZ64RADPlug::CUVolumeIdentity::Of(card).Key(),
              ComVantoVantoQZ64RADPlug::CUVolumeIdentity::Of(work.Path()).Key());
    const auto erasable = [&card](const std::string& location) {
        const qztest::QzcardRun run =
            qztest::Qzcard({"catalog", "--catalog", location, "erasable", card, "--copies", "1", "--json"});
        return std::make_pair(run.exitCode, qztest::ParseJson(run.out));
    };
    std::string keptMember;  // a member file of the copy
    for (const int signal : {SIGINT, SIGKILL}) {
        SCOPED_TRACE(strsignal(signal));
        const FreshCatalog fresh(GetParam());
        const std::string dest = work.Path() + "/dest" + std::to_string(signal);
        fs::create_directories(dest);
        const std::string journal = dest + "/CARD/ascmhl/" + qzoffload::OffloadJournal::kFileName;
        // Stopped once a member file is in place (its journal line names it before its hashes),
        // or after the run ended on a fast machine: the second run then keeps every file.
        const auto memberDone = [&journal] {
            return fs::exists(journal) &&
                   qztest::ReadText(journal).find(".MXF\",\"hashes\"") != std::string::npos;
        };
        qztest::RunAndSignal({"--no-catalog", "offload", card, dest}, memberDone, signal,
                             work.Path() + "/err.txt");
        const qztest::QzcardRun resumed =
            qztest::Qzcard({"--catalog", fresh.location, "offload", card, dest, "--json"});
        ASSERT_EQ(resumed.exitCode, 0) << resumed.err;
        const nlohmann::json kept = qztest::ParseJson(resumed.out)["destinations"][0];
        EXPECT_GT(kept["kept"].get<int>(), 0) << kept.dump();
        const auto [code, answer] = erasable(fresh.location);
        EXPECT_EQ(code, 0) << answer.dump();
        EXPECT_EQ(answer["shortFiles"], nlohmann::json::array());
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(dest + "/CARD/CONTENTS"))
            if (entry.path().extension() == ".MXF")
                keptMember = entry.path().lexically_relative(dest + "/CARD");
    }
    // A card file altered behind its size and time: a run that keeps every file says nothing of it,
    // the card read again does.
    const std::string altered = card + "/" + keptMember;
    const fs::file_time_type modified = fs::last_write_time(altered);
    std::vector<uint8_t> bytes = qztest::ReadFile(altered);
    bytes[bytes.size() / 2] ^= 0xFF;
    ASSERT_TRUE(qztest::WriteFile(altered, bytes));
    fs::last_write_time(altered, modified);
    const FreshCatalog fresh(GetParam());
    ASSERT_EQ(qztest::Qzcard({"--catalog", fresh.location, "offload", card,
                              work.Path() + "/dest" + std::to_string(SIGKILL)})
                  .exitCode,
              0);
    const auto [code, answer] = erasable(fresh.location);
    EXPECT_EQ(code, 4);
    ASSERT_EQ(answer["shortFiles"].size(), 1u) << answer.dump();
    EXPECT_EQ(answer["shortFiles"][0]["path"], keptMember);
    EXPECT_EQ(answer["shortFiles"][0]["copies"][0]["verdict"], "hashDiffers");
}

}  // namespace
