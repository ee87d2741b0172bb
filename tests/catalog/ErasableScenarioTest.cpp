// `qzcard catalog erasable` over four cards copied four ways, on both
// stores, run as a person runs it: two verified copies on two volumes; one
// copy; two copies of which one is damaged and found by `offload --check`;
// a copy made by another tool, recorded in an ASC MHL history of that
// tool's layout (written here by hand with md5sum and xxhsum as the
// hashers, or by the ASC reference tool when it is installed), holding the
// card in a folder of its own and a nested history beside it. `lacking`,
// `find` and `copies` must agree with what was done, and no card is written.
#include "CatalogTestSupport.h"

#include "C4Hasher.h"
#include "CUVolumeIdentity.h"
#include "CardWriter.h"
#include "FolderSnapshot.h"
#include "MhlChain.h"
#include "MountedFolder.h"
#include "QzcardRun.h"
#include "SampleCard.h"

#include <filesystem>
#include <set>

namespace {

using namespace catalog_test;
namespace cw = ComVantoVantoQZ64RADPlug::CardWriter;
namespace fs = std::filesystem;

class ErasableScenarioTest : public StoreTest {};

INSTANTIATE_TEST_SUITE_P(Stores, ErasableScenarioTest,
                         testing::Values(StoreKind::kSqlite, StoreKind::kPostgres), StoreName);

std::string FirstWord(const std::string& command) {
    const qztest::CommandResult run = qztest::RunCommand(command);
    EXPECT_EQ(run.exitCode, 0) << command;
    return run.output.substr(0, run.output.find(' '));
}

// A history of the ASC reference tool's layout over `folder`: an in-place
// generation with md5 and xxh64 hashes (and a directory hash we pass over),
// then one that verifies them, and its chain. Files of a nested history
// are that history's.
void WriteOtherToolHistory(const std::string& folder, bool directoryHash) {
    std::string hashes;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file() || entry.path().string().find("/ascmhl/") != std::string::npos ||
            (entry.path().parent_path() != folder && fs::exists(entry.path().parent_path() / "ascmhl")))
            continue;
        const std::string path = fs::relative(entry.path(), folder).string();
        const std::string quoted = qztest::ShellQuote(entry.path().string());
        hashes += "<hash><path size=\"" + std::to_string(entry.file_size()) +
                  "\" lastmodificationdate=\"2024-05-01T11:00:00+02:00\">" + path +
                  "</path><md5 action=\"%ACTION%\">" + FirstWord("md5sum " + quoted) +
                  "</md5><xxh64 action=\"%ACTION%\" hashdate=\"%DATE%\">" +
                  FirstWord("xxhsum -H1 " + quoted) + "</xxh64></hash>\n";
    }
    std::vector<qzoffload::ChainEntry> chain;
    fs::create_directories(folder + "/ascmhl");
    for (const char* action : {"original", "verified"}) {
        const std::string date = chain.empty() ? "2024-05-01T11:30:00+02:00" : "2024-05-02T08:00:00Z";
        std::string list = hashes;
        for (const auto& [from, to] :
             {std::pair<std::string, std::string>{"%ACTION%", action}, {"%DATE%", date}})
            for (size_t at = list.find(from); at != std::string::npos; at = list.find(from))
                list.replace(at, from.size(), to);
        const std::string xml =
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<hashlist version=\"2.0\" "
            "xmlns=\"urn:ASC:MHL:v2.0\"><creatorinfo><creationdate>" +
            date +
            "</creationdate><hostname>other-station</hostname><tool version=\"1.0.1\">ascmhl"
            "</tool></creatorinfo><processinfo><process>in-place</process></processinfo><hashes>" +
            list +
            (directoryHash ? "<directoryhash><path>othertool</path><content><xxh64>0000000000000000</xxh64>"
                             "</content></directoryhash>"
                           : "") +
            "</hashes></hashlist>\n";
        const std::string name = "000" + std::to_string(chain.size() + 1) + "_" +
                                 fs::path(folder).filename().string() + "_2024-05-01_093000Z.mhl";
        ASSERT_TRUE(qztest::WriteFile(folder + "/ascmhl/" + name, {xml.begin(), xml.end()}));
        chain.push_back(
            {chain.size() + 1, name,
             qzoffload::C4Hasher::IdOf(reinterpret_cast<const unsigned char*>(xml.data()), xml.size())});
    }
    const std::vector<unsigned char> bytes = qzoffload::MhlChain::Write(chain);
    ASSERT_TRUE(qztest::WriteFile(folder + "/ascmhl/ascmhl_chain.xml", {bytes.begin(), bytes.end()}));
}

// The ASC reference tool's own history, when the tool is installed.
bool WriteAscToolHistory(const std::string& folder) {
    if (!fs::exists("/usr/local/bin/ascmhl")) return false;
    const qztest::CommandResult run =
        qztest::RunCommand("/usr/local/bin/ascmhl create -h xxh64 -h md5 " + qztest::ShellQuote(folder),
                           qztest::Capture::StdoutAndStderr);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    return true;
}

qztest::QzcardRun Catalog(const std::string& location, std::vector<std::string> args) {
    args.insert(args.begin(), {"catalog", "--catalog", location});
    return qztest::Qzcard(args);
}

TEST_P(ErasableScenarioTest, FourCardsCopiedFourWays) {
    QZ_REQUIRE_TOOL("xxhsum");
    // Three volumes: the cards (a copy on the card's own volume never
    // counts), and two drives, the second a tmpfs mounted for the test.
    const qztest::ScratchFolder work("erasable");
    if (!fs::is_directory("/dev/shm")) GTEST_SKIP() << "no /dev/shm for the cards";
    const qztest::ScratchFolder cardsFolder("qz-erasable", "/dev/shm");
    const std::string& shm = cardsFolder.Path();
    const qztest::MountedFolder mounted(work.Path() + "/drive2", "tmpfs", "tmpfs", "size=64m");
    if (!mounted.ok) {
        if (qztest::RunningUnderCI()) FAIL() << "CI must mount a tmpfs (run as root)";
        GTEST_SKIP() << "cannot mount a tmpfs for a second drive (needs root)";
    }
    const std::string drive1 = work.Path() + "/drive1", drive2 = mounted.path;
    fs::create_directories(drive1);
    using ComVantoVantoQZ64RADPlug::CUVolumeIdentity;
    ASSERT_NE(CUVolumeIdentity::Of(drive1).Key(), CUVolumeIdentity::Of(shm).Key());

    const std::vector<std::string> names = {"twocopies", "onecopy", "damaged", "othertool"};
    std::vector<std::string> cards;
    for (size_t i = 0; i < names.size(); ++i) {
        cw::SampleCardOptions options;
        options.clipCount = 2;
        options.durationFrames = 10;
        cw::CardDescription card = cw::SampleCardDescription(options);
        card.mediaUuid[15] = static_cast<uint8_t>(0x20 + i);
        card.clips[0].xml.title = "scene " + std::to_string(12 + i) + " of " + names[i];
        cards.push_back(shm + "/" + names[i]);
        cw::WriteCard(card, cards.back());
    }
    std::vector<qztest::FolderSnapshot> before;
    for (const std::string& card : cards) before.push_back(qztest::TakeSnapshot(card));

    const auto expectExit = [](const qztest::QzcardRun& run, int code) {
        EXPECT_EQ(run.exitCode, code) << run.err;
    };
    expectExit(qztest::Qzcard({"offload", cards[0], drive1, drive2}), 0);
    // The second copy of the second card lies on the card's own volume: it does not count.
    const std::string onTheCard = shm + "/backup";
    fs::create_directories(onTheCard);
    expectExit(qztest::Qzcard({"offload", cards[1], drive1, onTheCard}), 0);
    expectExit(qztest::Qzcard({"offload", cards[2], drive1, drive2}), 0);
    const std::string damagedFile = "CONTENTS/CLIPS001/QZ0001/QZ000101.MXF";
    {
        std::vector<uint8_t> bytes = qztest::ReadFile(drive2 + "/damaged/" + damagedFile);
        bytes[bytes.size() / 2] ^= 0xFF;
        ASSERT_TRUE(qztest::WriteFile(drive2 + "/damaged/" + damagedFile, bytes));
    }
    expectExit(qztest::Qzcard({"offload", "--check", drive2 + "/damaged"}), 4);
    expectExit(qztest::Qzcard({"offload", cards[3], drive1}), 0);
    fs::create_directories(drive2 + "/other/notes");
    ASSERT_EQ(qztest::RunCommand("cp -a " + qztest::ShellQuote(cards[3]) + " " +
                                 qztest::ShellQuote(drive2 + "/other/"))
                  .exitCode,
              0);
    ASSERT_TRUE(qztest::WriteFile(drive2 + "/other/notes/readme.txt", {'h', 'i'}));
    WriteOtherToolHistory(drive2 + "/other/notes", false);
    if (!WriteAscToolHistory(drive2 + "/other")) WriteOtherToolHistory(drive2 + "/other", true);

    const std::string& at = catalog->location;
    for (const std::string& card : cards) expectExit(Catalog(at, {"add", card, "--hash", "xxh64"}), 0);
    const qztest::QzcardRun scan = Catalog(at, {"scan", drive1, drive2, onTheCard, "--json"});
    expectExit(scan, 0);
    EXPECT_EQ(qztest::ParseJson(scan.out)["histories"].size(), 9u) << scan.out;

    struct Expected {
        int exitCode;
        std::set<std::string> shortFiles;  // empty: every file of the card
    };
    const std::vector<Expected> expected = {{0, {}}, {4, {}}, {4, {damagedFile}}, {0, {}}};
    for (const bool rehash : {false, true}) {
        for (size_t i = 0; i < cards.size(); ++i) {
            SCOPED_TRACE(names[i] + (rehash ? " --rehash" : ""));
            std::vector<std::string> args = {"erasable", cards[i], "--json"};
            if (rehash) args.push_back("--rehash");
            const qztest::QzcardRun run = Catalog(at, args);
            expectExit(run, expected[i].exitCode);
            const nlohmann::json answer = qztest::ParseJson(run.out);
            EXPECT_EQ(answer["erasable"], expected[i].exitCode == 0);
            std::set<std::string> named;
            for (const auto& file : answer["shortFiles"]) named.insert(file["path"]);
            if (i == 1) {
                // Every file, each with a copy that counts and one on the card's own volume.
                EXPECT_EQ(named.size(), answer["files"].get<size_t>());
                EXPECT_EQ(answer["shortFiles"][0]["reasons"],
                          nlohmann::json({"tooFewVolumes", "copyRefused"}));
                std::set<std::string> verdicts;
                for (const auto& copy : answer["shortFiles"][0]["copies"]) verdicts.insert(copy["verdict"]);
                EXPECT_EQ(verdicts, (std::set<std::string>{"counts", "onTheCardsVolume"}));
            }
            if (i == 2) {
                EXPECT_EQ(named, expected[i].shortFiles);
                EXPECT_EQ(answer["shortFiles"][0]["reasons"],
                          nlohmann::json({"tooFewVolumes", "copyRefused"}));
            }
        }
    }
    // Three copies (two of them needed) are not there for the first card.
    expectExit(Catalog(at, {"erasable", cards[0], "--copies", "3"}), 4);

    const nlohmann::json lacking = qztest::ParseJson(Catalog(at, {"lacking", "--json"}).out);
    std::set<std::string> lackingCards;
    for (const auto& file : lacking["files"]) lackingCards.insert(file["card"]);
    EXPECT_EQ(lackingCards, (std::set<std::string>{"onecopy", "damaged", "notes"}));
    const nlohmann::json found = qztest::ParseJson(Catalog(at, {"find", "SCENE 15", "--json"}).out);
    ASSERT_EQ(found["clips"].size(), 1u);
    EXPECT_EQ(found["clips"][0]["card"], "othertool");
    const nlohmann::json copies = qztest::ParseJson(Catalog(at, {"copies", "QZ0001", "--json"}).out);
    ASSERT_EQ(copies["clips"].size(), 4u);
    for (const auto& clip : copies["clips"]) {
        std::set<std::string> volumes;
        for (const auto& copy : clip["copies"])
            if (copy["counts"]) volumes.insert(copy["volume"]["key"]);
        EXPECT_EQ(volumes.size(), clip["card"] == "onecopy" ? 1u : 2u) << clip["card"];
    }
    EXPECT_EQ(catalog->Query("SELECT COUNT(*) FROM copies WHERE action = 'failed'"), "1\n");
    for (size_t i = 0; i < cards.size(); ++i)
        EXPECT_TRUE(qztest::TakeSnapshot(cards[i]) == before[i]) << names[i];
}

}  // namespace
