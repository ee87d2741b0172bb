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
    const std::string out = work.Path() + "/out", page = work.Path() + "/page";
    const std::string none = "cards=0 clips=0 files=0 hashes=0 copies=0 checks=0 outputs=0";
    const std::string seen = "cards=1 clips=6 files=21 hashes=0 copies=0 checks=0 outputs=0";
    const struct {
        std::vector<std::vector<std::string>> commands;
        std::string counts;
        std::string outputs;  // each output: its file, clip, format, codec, size, in and out frames, record
    } cases[] = {
        {{{"list", card}}, seen, ""},
        {{{"list", card, "--no-catalog"}}, none, ""},
        {{{"clip", card, "QZ0002"}}, seen, ""},
        {{{"verify", card}}, "cards=1 clips=6 files=21 hashes=0 copies=0 checks=6 outputs=0", ""},
        {{{"offload", card, dests[0], dests[1]}},
         "cards=1 clips=6 files=21 hashes=21 copies=42 checks=0 outputs=0",
         ""},
        {{{"offload", card, dests[0]}, {"offload", "--check", copy}},
         "cards=1 clips=6 files=21 hashes=21 copies=21 checks=21 outputs=0",
         ""},
        {{{"--no-catalog", "offload", card, dests[0]}}, none, ""},
        {{{"export", card, "QZ0001", "--format", "es", "-o", out, "--force"}},
         "cards=1 clips=6 files=21 hashes=0 copies=0 checks=0 outputs=2",
         "QZ0001.m2v|QZ0001|es|||0|59|QZ0001.json\nQZ0001.wav|QZ0001|es|||0|59|QZ0001.json\n"},
        {{{"export", card, "QZ0003", "--format", "proxy", "--codec", "prores-lt", "--in", "12", "--out", "40",
           "-o", out, "--force"}},
         "cards=1 clips=6 files=21 hashes=0 copies=0 checks=0 outputs=1",
         "QZ0003.mov|QZ0003|proxy|prores-lt|640x360|0|41|QZ0003.json\n"},
        {{{"export", card, "QZ0001", "--null"}}, seen, ""},
        {{{"report", card, "-o", page, "--thumbnails", "0"}}, seen, ""},
        {{{"report", card, "-o", page, "--thumbnails", "0", "--check"}},
         "cards=1 clips=6 files=21 hashes=0 copies=0 checks=6 outputs=0",
         ""},
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
                                                              {"checks", "checks"},
                                                              {"outputs", "outputs"}})
            counts += (counts.empty() ? "" : " ") + name + "=" +
                      std::to_string(std::stoll(catalog->Query("SELECT COUNT(*) FROM " + table)));
        EXPECT_EQ(counts, c.counts) << c.commands[0][0];
        // The outputs by their names in the folder: the store's own functions cut the folder off.
        const std::string folder = std::to_string(out.size() + 2);
        const auto text = [this](const std::string& column) {
            return catalog->store == StoreKind::kSqlite ? column : "convert_from(" + column + ", 'UTF8')";
        };
        EXPECT_EQ(
            catalog->Query("SELECT " + text("substr(o.path, " + folder + ")") + ", " + text("c.clip_id") +
                           ", " + text("o.format") + ", " + text("o.codec") + ", " + text("o.picture_size") +
                           ", o.in_frame, o.out_frame, " + text("substr(o.record_path, " + folder + ")") +
                           " FROM outputs o JOIN clips c ON c.id = o.clip ORDER BY o.path"),
            c.outputs)
            << c.commands[0][0];
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
