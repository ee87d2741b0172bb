// The catalog's SQLite file: where it lives (option, environment, default,
// created with its folders on first use), WAL mode, and a damaged or cut
// file reported as such, never a crash.
#include "CatalogTestSupport.h"

#include "CatalogQuestions.h"
#include "PostgresDatabase.h"
#include "TestFiles.h"

#include <cstdlib>
#include <filesystem>
#include <functional>

namespace {

using namespace catalog_test;

TEST(CatalogFileTest, TheLocationIsTheOptionElseTheEnvironmentElseTheDefault) {
    const qztest::ScratchFolder home("home");
    struct Case {
        const char* given;
        const char* environment;
        const char* dataHome;
        std::string expected;
        qzcatalog::Store store;
    };
    const std::vector<Case> cases = {
        {"postgresql://u:secret@db/qz", "/x.sqlite", nullptr, "postgresql://u:secret@db/qz",
         qzcatalog::Store::kPostgres},
        {"", "postgres:///qz?host=/run", nullptr, "postgres:///qz?host=/run", qzcatalog::Store::kPostgres},
        {"", nullptr, "/data", "/data/qzcard/catalog.sqlite", qzcatalog::Store::kSqlite},
        {"", nullptr, "relative", home.Path() + "/.local/share/qzcard/catalog.sqlite",
         qzcatalog::Store::kSqlite},
        {"", nullptr, nullptr, home.Path() + "/.local/share/qzcard/catalog.sqlite",
         qzcatalog::Store::kSqlite},
    };
    setenv("HOME", home.Path().c_str(), 1);
    for (const Case& c : cases) {
        c.environment ? setenv("QZCARD_CATALOG", c.environment, 1) : unsetenv("QZCARD_CATALOG");
        c.dataHome ? setenv("XDG_DATA_HOME", c.dataHome, 1) : unsetenv("XDG_DATA_HOME");
        const qzcatalog::CatalogLocation location = qzcatalog::CatalogLocation::Resolve(c.given);
        EXPECT_EQ(location.where, c.expected);
        EXPECT_EQ(location.store, c.store);
    }
    // The default file and its folders are made on first use, in WAL mode.
    qzcatalog::Catalog catalog(qzcatalog::CatalogLocation::Resolve(""));
    EXPECT_TRUE(std::filesystem::exists(cases.back().expected));
    if (qztest::ShouldRunPeerCheck("sqlite3")) {
        EXPECT_EQ(qztest::RunCommand("sqlite3 " + qztest::ShellQuote(cases.back().expected) +
                                     " 'PRAGMA journal_mode'")
                      .output,
                  "wal\n");
    }
    EXPECT_EQ(qzcatalog::PostgresDatabase::WithoutPassword("postgresql://u:secret@db/qz"),
              "postgresql://u:***@db/qz");
    unsetenv("XDG_DATA_HOME");
}

TEST(CatalogFileTest, ADamagedOrCutFileIsReportedNeverACrash) {
    struct Damage {
        const char* name;
        std::function<void(std::vector<uint8_t>&)> apply;
        bool mustFail;  // a change SQLite cannot tell from data may still read
    };
    const std::vector<Damage> damages = {
        {"not a database", [](std::vector<uint8_t>& b) { b.assign(8192, 0xA5); }, true},
        {"header zeroed", [](std::vector<uint8_t>& b) { std::fill(b.begin(), b.begin() + 100, 0); }, true},
        {"cut to a tenth", [](std::vector<uint8_t>& b) { b.resize(b.size() / 10); }, true},
        {"cut inside a page", [](std::vector<uint8_t>& b) { b.resize(b.size() - 1500); }, false},
        {"pages overwritten",
         [](std::vector<uint8_t>& b) {
             for (size_t i = 4096; i < b.size(); i += 7) b[i] ^= 0x5A;
         },
         false},
    };
    for (const Damage& damage : damages) {
        SCOPED_TRACE(damage.name);
        const FreshCatalog fresh(StoreKind::kSqlite);
        {
            auto catalog = fresh.Open();
            for (int i = 0; i < 40; ++i) {
                const qzcatalog::CardSeen card = MadeUpCard("D" + std::to_string(i), 20);
                catalog->RecordCard(card);
                catalog->RecordCopies({MadeUpCopies(card, "V1", "c" + std::to_string(i))});
            }
        }  // the last connection folds the WAL into the file and removes it
        std::vector<uint8_t> bytes = qztest::ReadFile(fresh.location);
        ASSERT_GT(bytes.size(), 40000u);
        damage.apply(bytes);
        ASSERT_TRUE(qztest::WriteFile(fresh.location, bytes));
        try {
            auto catalog = fresh.Open();
            qzcatalog::CatalogQuestions questions(*catalog);
            questions.Cards(2);
            questions.Lacking(2, std::nullopt);
            questions.Clips(std::nullopt, std::nullopt);
            questions.Copies("QZ0001");
            EXPECT_FALSE(damage.mustFail) << "the damage went unnoticed";
        } catch (const qzcatalog::CatalogError& e) {
            EXPECT_EQ(e.Kind(), ComVantoVantoQZ64RADPlug::CUFailureKind::kSetup);
            EXPECT_NE(std::string(e.what()).find(fresh.location), std::string::npos) << e.what();
            if (damage.mustFail) {
                EXPECT_NE(std::string(e.what()).find("damaged"), std::string::npos) << e.what();
            }
        }
    }
}

}  // namespace
