// The catalog on both stores, with the same expectations for each: the
// schema's migrations, hostile texts kept byte for byte, the questions over
// a made-up day of cards and copies, recordings across cards, writers of
// several processes at once and a writer killed in its transaction. The
// store's own client (sqlite3, psql) reads what was written.
#include "CatalogTestSupport.h"

#include "CardCopies.h"
#include "CardReading.h"
#include "CardTable.h"
#include "CardWriter.h"
#include "CatalogQuestions.h"
#include "HistoryCheck.h"
#include "Migrations.h"
#include "Offload.h"
#include "OffloadRecording.h"
#include "SampleCard.h"
#include "TestFiles.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace {

using namespace catalog_test;
using qzoffload::HashAction;
namespace cw = ComVantoVantoQZ64RADPlug::CardWriter;

static testing::Environment* const kPostgres = qztest::AddPostgresEnvironment();

INSTANTIATE_TEST_SUITE_P(Stores, StoreTest, testing::Values(StoreKind::kSqlite, StoreKind::kPostgres),
                         StoreName);

TEST_P(StoreTest, MigrationsMakeUpgradeAndRefuseNewer) {
    const std::string latest = std::to_string(qzcatalog::Migrations::LatestVersion());
    {
        // An older catalog: the first step only, with a card in it.
        std::unique_ptr<qzcatalog::Database> db = catalog->Location().Connect();
        qzcatalog::Migrations::Apply(*db, 1);
        qzcatalog::Transaction write(*db, qzcatalog::TransactionKind::kWrite);
        qzcatalog::CardTable(*db).Record(MadeUpCard("OLD", 1));
        write.Commit();
    }
    EXPECT_EQ(catalog->Query("SELECT MAX(version) FROM schema_version"), "1\n");
    {
        auto opened = catalog->Open();  // upgraded in place
        EXPECT_EQ(qzcatalog::CatalogQuestions(*opened).Cards(2).size(), 1u);
    }
    EXPECT_EQ(catalog->Query("SELECT MAX(version) FROM schema_version"), latest + "\n");
    const std::string index = catalog->store == StoreKind::kSqlite
                                  ? "SELECT COUNT(*) FROM sqlite_master WHERE name = 'copies_by_file'"
                                  : "SELECT COUNT(*) FROM pg_indexes WHERE indexname = 'copies_by_file'";
    EXPECT_EQ(catalog->Query(index), "1\n");
    // A catalog of a newer qzcard is refused, naming both versions.
    catalog->Query("INSERT INTO schema_version VALUES (99, 'x', 0, 'x')");
    try {
        catalog->Open();
        ADD_FAILURE() << "a newer catalog was opened";
    } catch (const qzcatalog::CatalogError& e) {
        EXPECT_EQ(e.Kind(), ComVantoVantoQZ64RADPlug::CUFailureKind::kSetup);
        EXPECT_NE(std::string(e.what()).find("schema version 99"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("up to " + latest), std::string::npos) << e.what();
    }
}

TEST_P(StoreTest, HostileTextsAreKeptAndFoundAsTheyAre) {
    const std::vector<std::string> texts = {
        "it's \"quoted\" `twice`",
        "a; DROP TABLE cards; --",
        "x'); DELETE FROM clips WHERE ('1'='1",
        "<b>&amp; markup</b>",
        "\xff\xfe not UTF-8 \xc3(",
        "100% _of_ it!",
        "Straße",
        "line\nbreak\ttab",
    };
    auto opened = catalog->Open();
    for (size_t i = 0; i < texts.size(); ++i) {
        qzcatalog::CardSeen card = MadeUpCard("HOSTILE" + std::to_string(i), 1);
        card.clips[0].title = texts[i];
        card.clips[0].creator = texts[i];
        card.files[0].path = "CONTENTS/" + texts[i];
        opened->RecordCard(card);
    }
    qzcatalog::CatalogQuestions questions(*opened);
    for (size_t i = 0; i < texts.size(); ++i) {
        SCOPED_TRACE(texts[i]);
        const auto clips = questions.Clips("card-HOSTILE" + std::to_string(i), std::nullopt);
        ASSERT_EQ(clips.size(), 1u);
        EXPECT_EQ(clips[0].clip.title, texts[i]);
        const auto found = questions.Find(texts[i]);
        ASSERT_FALSE(found.empty());
        EXPECT_EQ(found[0].clip.title, texts[i]);
    }
    EXPECT_EQ(questions.Find("STRASSE").size(), 1u);  // case folded: ß is ss
    EXPECT_EQ(questions.Find("_").size(), 1u);        // a LIKE wildcard is a character
    EXPECT_EQ(questions.Cards(2).size(), texts.size());
    // The independent reader sees the same bytes.
    std::string hex;
    for (unsigned char c : texts[4]) {
        static const char* const digits = "0123456789ABCDEF";
        hex += {digits[c >> 4], digits[c & 15]};
    }
    EXPECT_EQ(catalog->Query("SELECT " + catalog->HexOf("title") + " FROM clips WHERE " +
                             catalog->HexOf("title") + " = '" + hex + "'"),
              hex + "\n");
}

// A made-up day: each card's copies, and the files `lacking` must name.
struct DayCard {
    const char* medium;
    size_t files;
    std::vector<std::pair<const char*, HashAction>> copies;  // volume, action
    int64_t seenAt;
    bool checkFindsFirstFileChanged;  // on the copy on the last volume
    bool cardHashDiffers;             // the card's own hash is not the copies'
    size_t lacking;                   // files with fewer than 2 safe volumes
};

TEST_P(StoreTest, QuestionsOverADayOfCards) {
    const std::vector<DayCard> day = {
        {"SAFE", 3, {{"V1", HashAction::kOriginal}, {"V2", HashAction::kVerified}}, 1000, false, false, 0},
        {"ONECOPY", 3, {{"V1", HashAction::kOriginal}}, 2000, false, false, 3},
        {"SAMEDRIVE",
         2,
         {{"V1", HashAction::kOriginal}, {"V1", HashAction::kOriginal}},
         3000,
         false,
         false,
         2},
        {"FAILED", 3, {{"V1", HashAction::kOriginal}, {"V2", HashAction::kFailed}}, 4000, false, false, 3},
        {"CHECKED", 3, {{"V1", HashAction::kOriginal}, {"V2", HashAction::kOriginal}}, 5000, true, false, 1},
        {"HASHDIFFERS",
         2,
         {{"V1", HashAction::kOriginal}, {"V2", HashAction::kOriginal}},
         6000,
         false,
         true,
         2},
    };
    auto opened = catalog->Open();
    size_t lacking = 0;
    for (const DayCard& entry : day) {
        qzcatalog::CardSeen card = MadeUpCard(entry.medium, entry.files, entry.seenAt);
        if (entry.cardHashDiffers)
            for (auto& file : card.files) file.hashes[qzoffload::HashFormat::kXxh64] = std::string(16, 'b');
        opened->RecordCard(card);
        std::vector<qzcatalog::CopiesSeen> copies;
        for (size_t c = 0; c < entry.copies.size(); ++c)
            copies.push_back(MadeUpCopies(card, entry.copies[c].first,
                                          "copy" + std::to_string(c) + "/" + entry.medium,
                                          entry.copies[c].second));
        opened->RecordCopies(copies);
        if (entry.checkFindsFirstFileChanged) {
            qzcatalog::CheckSeen check;
            check.kind = "offload-check";
            check.checkedAt = 1714557000;
            check.mediumId = entry.medium;
            check.volume = MadeUpVolume(entry.copies.back().first);
            check.historyPath = copies.back().historyPath;
            check.results.push_back({"", card.files[0].path, "changed", "its hashes differ"});
            opened->RecordCheck(check);
        }
        lacking += entry.lacking;
    }
    qzcatalog::CatalogQuestions questions(*opened);
    const qzcatalog::LackingAnswer two = questions.Lacking(2, std::nullopt);
    EXPECT_EQ(two.files.size(), lacking);
    for (const DayCard& entry : day) {
        size_t named = 0;
        for (const auto& file : two.files) named += file.mediumId == std::string(entry.medium);
        EXPECT_EQ(named, entry.lacking) << entry.medium;
    }
    // Every card but SAFE lacks for QZ0001, whose files come first.
    EXPECT_EQ(two.clips.size(), day.size() - 1);
    EXPECT_TRUE(questions.Lacking(2, 4500).files.size() == 3u) << "CHECKED and HASHDIFFERS only";
    EXPECT_EQ(questions.Lacking(1, std::nullopt).files.size(), 2u) << "HASHDIFFERS has no copy that counts";
    // The stored counts are the store's own: the independent reader agrees.
    EXPECT_EQ(catalog->Query("SELECT COUNT(*) FROM card_files WHERE safe_volumes < 2"),
              std::to_string(lacking) + "\n");
    for (const qzcatalog::CardRow& card : questions.Cards(2)) {
        for (const DayCard& entry : day)
            if (card.mediumId == std::string(entry.medium)) {
                EXPECT_EQ(card.safeFiles, static_cast<int64_t>(entry.files - entry.lacking)) << entry.medium;
            }
    }
    // The copies of QZ0001 on every card, with what counts.
    const std::vector<qzcatalog::ClipCopies> copies = questions.Copies("qz0001");
    ASSERT_EQ(copies.size(), day.size());
    for (const qzcatalog::ClipCopies& clip : copies) {
        size_t counting = 0;
        for (const auto& copy : clip.copies) counting += copy.counts;
        if (clip.clip.mediumId == std::string("SAFE")) {
            EXPECT_EQ(counting, 4u);
        }
        if (clip.clip.mediumId == std::string("FAILED")) {
            EXPECT_EQ(counting, 2u);
        }
        if (clip.clip.mediumId == std::string("CHECKED")) {
            EXPECT_EQ(clip.checks.size(), 0u) << "a copy's check";
        }
    }
    EXPECT_EQ(questions.Clips(std::nullopt, qzcatalog::ClipFieldMatch{"title", "a clip of FAILED"}).size(),
              1u);
    EXPECT_THROW(questions.Clips(std::nullopt, qzcatalog::ClipFieldMatch{"title; DROP", "x"}),
                 qzcatalog::CatalogError);
}

TEST_P(StoreTest, RecordingsRunAcrossTheCardsRecorded) {
    const qztest::ScratchFolder folder("relay");
    cw::SampleCardOptions options;
    options.durationFrames = 6;
    const std::vector<cw::CardDescription> cards = cw::RelaySampleCardDescriptions(3, options);
    auto opened = catalog->Open();
    qzcatalog::CatalogQuestions questions(*opened);
    for (size_t i = 0; i < cards.size(); ++i) {
        const std::string path = folder.Path() + "/card" + std::to_string(i);
        cw::WriteCard(cards[i], path);
        if (i == 1) continue;  // the middle card comes last
        opened->RecordCard(qzcatalog::CardReading::Read(path, {}, 1714555800));
    }
    std::vector<qzimport::Recording> recordings = questions.Recordings(false);
    ASSERT_EQ(recordings.size(), 1u);
    EXPECT_EQ(recordings[0].pieces.size(), 3u);
    EXPECT_EQ(recordings[0].MissingCount(), 1u);
    opened->RecordCard(qzcatalog::CardReading::Read(folder.Path() + "/card1", {}, 1714555800));
    recordings = questions.Recordings(false);
    ASSERT_EQ(recordings.size(), 1u);
    EXPECT_EQ(recordings[0].MissingCount(), 0u);
    ASSERT_EQ(recordings[0].pieces.size(), 3u);
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(recordings[0].pieces[i].card, "card" + std::to_string(i));
    // With the clip before and the clip after the recording.
    EXPECT_EQ(questions.Recordings(true).size(), 3u);
}

TEST_P(StoreTest, AnOffloadAndACheckOfItsCopyRecordInOneCallEach) {
    // The card on another volume than its copy: a copy on the card's own volume does not count.
    const qztest::ScratchFolder folder("offload");
    if (!std::filesystem::is_directory("/dev/shm")) GTEST_SKIP() << "no /dev/shm";
    const qztest::ScratchFolder cards("qz-offload", "/dev/shm");
    const std::string& cardFolder = cards.Path();
    cw::SampleCardOptions options;
    options.clipCount = 2;
    options.durationFrames = 6;
    cw::WriteCard(cw::SampleCardDescription(options), cardFolder + "/card");
    std::filesystem::create_directories(folder.Path() + "/drive");
    qzoffload::OffloadOptions offload;
    offload.card = cardFolder + "/card";
    offload.destinations = {folder.Path() + "/drive"};
    auto opened = catalog->Open();
    qzcatalog::OffloadRecording::Record(*opened, qzoffload::Offload::Run(offload), 1714555800);
    qzcatalog::CatalogQuestions questions(*opened);
    const size_t files = questions.Lacking(2, std::nullopt).files.size();
    EXPECT_GT(files, 5u);
    EXPECT_TRUE(questions.Lacking(1, std::nullopt).Empty());
    // The hashes the offload read from the card are the card's.
    EXPECT_EQ(catalog->Query("SELECT COUNT(*) FROM card_file_hashes"), std::to_string(files) + "\n");

    const std::string damaged = folder.Path() + "/drive/card/CONTENTS/CLIPS001/INDEX.MIF";
    std::vector<uint8_t> bytes = qztest::ReadFile(damaged);
    bytes[100] ^= 1;
    ASSERT_TRUE(qztest::WriteFile(damaged, bytes));
    qzoffload::CheckOptions check;
    check.folder = folder.Path() + "/drive/card";
    qzcatalog::OffloadRecording::RecordCheck(*opened, qzoffload::HistoryCheck::Run(check), 1714559400);
    const qzcatalog::LackingAnswer lacking = questions.Lacking(1, std::nullopt);
    ASSERT_EQ(lacking.files.size(), 1u);
    EXPECT_EQ(lacking.files[0].path, "CONTENTS/CLIPS001/INDEX.MIF");
    EXPECT_EQ(catalog->Query("SELECT COUNT(*) FROM checks WHERE result = 'changed'"), "1\n");
    EXPECT_EQ(catalog->Query("SELECT COUNT(*) FROM checks WHERE result = 'clean'"),
              std::to_string(files - 1) + "\n");
}

// Runs `work` in a child process with a catalog of its own; its pid.
pid_t InChild(const FreshCatalog& where, const std::function<void(qzcatalog::Catalog&)>& work) {
    const pid_t pid = fork();
    if (pid == 0) {
        int code = 0;
        try {
            qzcatalog::Catalog catalog(where.Location());
            work(catalog);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "child: %s\n", e.what());
            code = 1;
        }
        _exit(code);
    }
    return pid;
}

int ExitOf(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_P(StoreTest, WritersOfSeveralProcessesLoseNothing) {
    catalog->Open()->RecordCard(MadeUpCard("CHECKED", 2));
    std::vector<pid_t> children;
    for (const char* prefix : {"A", "B"})
        children.push_back(InChild(*catalog, [prefix](qzcatalog::Catalog& catalog) {
            for (int i = 0; i < 10; ++i) {
                const qzcatalog::CardSeen card = MadeUpCard(prefix + std::to_string(i), 100);
                catalog.RecordCard(card);
                catalog.RecordCopies({MadeUpCopies(card, "V1", std::string(prefix) + std::to_string(i))});
            }
        }));
    children.push_back(InChild(*catalog, [](qzcatalog::Catalog& catalog) {
        for (int i = 0; i < 30; ++i)
            catalog.RecordCheck(
                {"verify", 1714555800 + i, "CHECKED", std::nullopt, "", {{"QZ0001", "", "clean", ""}}});
    }));
    for (pid_t child : children) EXPECT_EQ(ExitOf(child), 0);
    EXPECT_EQ(catalog->Query("SELECT COUNT(*) FROM cards"), "21\n");
    EXPECT_EQ(catalog->Query("SELECT COUNT(*) FROM card_files"), "2002\n");
    EXPECT_EQ(catalog->Query("SELECT COUNT(*) FROM copies"), "2000\n");
    EXPECT_EQ(catalog->Query("SELECT COUNT(*) FROM checks WHERE clip IS NOT NULL"), "30\n");
}

TEST_P(StoreTest, AWriterKilledInItsTransactionLeavesTheCatalogAsBefore) {
    constexpr size_t kFiles = 2000;
    catalog->Open();  // the schema, before the writers start
    for (int round = 0; round < 3; ++round) {
        const pid_t child = InChild(*catalog, [round](qzcatalog::Catalog& catalog) {
            for (int i = 0;; ++i)
                catalog.RecordCard(MadeUpCard("K" + std::to_string(round) + "-" + std::to_string(i), kFiles));
        });
        // Until its first card is in, then a little later each round.
        for (int wait = 0; wait < 600 && catalog->Query("SELECT COUNT(*) FROM cards") == "0\n"; ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::this_thread::sleep_for(std::chrono::milliseconds(37 * round + 11));
        kill(child, SIGKILL);
        EXPECT_EQ(ExitOf(child), -1);
        // Every card recorded holds all its files; the next writer is fine.
        EXPECT_EQ(
            catalog->Query("SELECT COUNT(*) FROM (SELECT card_id FROM card_files GROUP BY card_id HAVING "
                           "COUNT(*) <> " +
                           std::to_string(kFiles) + ") AS torn"),
            "0\n");
        EXPECT_EQ(
            catalog->Query("SELECT COUNT(*) FROM cards WHERE id NOT IN (SELECT card_id FROM card_files)"),
            "0\n");
        catalog->Open()->RecordCard(MadeUpCard("AFTER" + std::to_string(round), kFiles));
    }
}

}  // namespace
