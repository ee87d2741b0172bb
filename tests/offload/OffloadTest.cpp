// Offloads through the layer with faults planted at fixed points: after
// each, nothing the histories call original or verified differs from the
// card, no partial file is left, and the other destination goes on.
#include "CUFileStatus.h"
#include "DestinationWriter.h"
#include "FolderSnapshot.h"
#include "HashListXml.h"
#include "HistoryCheck.h"
#include "OffloadError.h"
#include "OffloadTestSupport.h"

#include <chrono>
#include <fstream>
#include <utility>

namespace {

using namespace offload_test;
using qzoffload::HashAction;
using qzoffload::OffloadReport;

constexpr const char* kBigFile = "CONTENTS/CLIPS001/QZ0001/QZ000101.MXF";

qzoffload::HashList ReadGeneration(const std::string& path) {
    const std::vector<uint8_t> bytes = qztest::ReadFile(path);
    return qzoffload::HashListXml::Read(bytes.data(), bytes.size(), path);
}

// Nothing a history vouches for differs from the card; no partial is left.
void ExpectOnlyTrueClaims(const std::string& card, const OffloadReport& report) {
    for (const qzoffload::DestinationReport& d : report.destinations) {
        EXPECT_EQ(Partials(d.path), std::vector<std::string>()) << d.path;
        if (d.generation.empty()) continue;
        ExpectValidHistory(d.path);
        for (const qzoffload::MhlFileEntry& entry : ReadGeneration(d.path + "/" + d.generation).files)
            for (const auto& [format, hash] : entry.hashes) {
                if (hash.action == HashAction::kFailed) continue;
                EXPECT_TRUE(qztest::ReadFile(d.path + "/" + entry.path) ==
                            qztest::ReadFile(card + "/" + entry.path))
                    << d.path << ": " << entry.path;
            }
    }
}

struct Scratch {
    qztest::ScratchFolder folder{"offload"};
    std::string card = folder.Path() + "/CARD", one = folder.Path() + "/one", two = folder.Path() + "/two";
    Scratch() {
        WriteCard(card);
        fs::create_directories(one);
        fs::create_directories(two);
    }
};

TEST(OffloadTest, TwoDestinationsHoldVerifiedCopiesInValidHistoriesAndTheCardIsUntouched) {
    Scratch s;
    const qztest::FolderSnapshot before = qztest::TakeSnapshot(s.card);
    qzoffload::OffloadOptions options = Options(s.card, {s.one, s.two});
    options.formats = {qzoffload::HashFormat::kMd5, qzoffload::HashFormat::kXxh64};
    const OffloadReport report = qzoffload::Offload::Run(options);
    EXPECT_TRUE(report.Complete());
    EXPECT_TRUE(qztest::TakeSnapshot(s.card) == before);
    EXPECT_FALSE(fs::exists(s.card + "/ascmhl"));
    ASSERT_EQ(report.destinations.size(), 2u);
    for (const qzoffload::DestinationReport& d : report.destinations) {
        EXPECT_TRUE(d.verified) << d.path;
        EXPECT_EQ(d.files, report.cardFiles);
        for (const auto& [path, file] : before) {
            const std::string copy = d.path + path.substr(s.card.size());
            EXPECT_TRUE(qztest::ReadFile(copy) == std::get<0>(file)) << copy;
            EXPECT_EQ(fs::last_write_time(copy), std::get<2>(file)) << copy;
        }
        const qzoffload::HashList list = ReadGeneration(d.path + "/" + d.generation);
        EXPECT_EQ(list.files.size(), report.cardFiles);
        for (const qzoffload::MhlFileEntry& entry : list.files) {
            EXPECT_EQ(entry.hashes.size(), 2u);
            for (const auto& [format, hash] : entry.hashes) EXPECT_EQ(hash.action, HashAction::kOriginal);
        }
        EXPECT_EQ(d.Status(), "complete");
        ExpectAscmhlReads(d.path, AscmhlVerify::kClean);
    }
    ExpectOnlyTrueClaims(s.card, report);
}

TEST(OffloadTest, ByteFlippedBeforeTheReadBackFailsThatFileOnThatDestinationOnly) {
    Scratch s;
    qzoffload::OffloadOptions options = Options(s.card, {s.one, s.two});
    options.hooks.afterSync = [](size_t d, const std::string& partial, const std::string& path) {
        if (d != 0 || path != kBigFile) return;
        std::fstream file(partial, std::ios::in | std::ios::out | std::ios::binary);
        file.seekg(5000);
        const char c = static_cast<char>(file.get() ^ 0x20);
        file.seekp(5000);
        file.put(c);
    };
    const OffloadReport report = qzoffload::Offload::Run(options);
    EXPECT_FALSE(report.Complete());
    const qzoffload::DestinationReport& hit = report.destinations[0];
    ASSERT_EQ(hit.failures.size(), 1u);
    EXPECT_EQ(hit.failures[0].path, kBigFile);
    EXPECT_NE(hit.failures[0].cardHashes, hit.failures[0].copyHashes);
    EXPECT_FALSE(hit.verified);
    EXPECT_EQ(hit.Status(), "incomplete: " + std::to_string(report.cardFiles - 1) + " of " +
                                std::to_string(report.cardFiles) + " files");
    ExpectAscmhlReads(hit.path, AscmhlVerify::kMissingFiles);
    EXPECT_FALSE(fs::exists(hit.path + "/" + kBigFile));
    EXPECT_TRUE(report.destinations[1].verified);
    for (const qzoffload::MhlFileEntry& entry : ReadGeneration(hit.path + "/" + hit.generation).files)
        EXPECT_EQ(entry.hashes.begin()->second.action,
                  entry.path == kBigFile ? HashAction::kFailed : HashAction::kOriginal);
    ExpectOnlyTrueClaims(s.card, report);
}

TEST(OffloadTest, ReadBackFailureStopsThatDestinationAndDropsTheFilesWrittenAhead) {
    Scratch s;
    const std::string first = "CONTENTS/CLIPS001/INDEX.MIF";
    qzoffload::OffloadOptions options = Options(s.card, {s.one, s.two});
    // The drive loses the first partial between its sync and its read-back,
    // while the writer is files ahead.
    options.hooks.afterSync = [&first](size_t d, const std::string& partial, const std::string& path) {
        if (d == 0 && path == first) fs::remove(partial);
    };
    const OffloadReport report = qzoffload::Offload::Run(options);
    const qzoffload::DestinationReport& lost = report.destinations[0];
    EXPECT_FALSE(lost.verified);
    // The file it stopped at failed; every other card file is named as not on the copy.
    ASSERT_EQ(lost.failures.size(), report.cardFiles);
    for (const qzoffload::FileFailure& failure : lost.failures)
        EXPECT_EQ(failure.kind, failure.path == first ? qzoffload::FileProblem::kFailed
                                                      : qzoffload::FileProblem::kNotCopied)
            << failure.path;
    EXPECT_EQ(lost.Status(), "incomplete: 0 of " + std::to_string(report.cardFiles) + " files");
    // A stopped destination takes no more files, not even those written.
    for (const auto& entry : fs::recursive_directory_iterator(lost.path + "/CONTENTS"))
        EXPECT_FALSE(entry.is_regular_file()) << entry.path();
    EXPECT_TRUE(report.destinations[1].verified);
    ExpectOnlyTrueClaims(s.card, report);
}

// A card file cut short, or touched, while it is copied: the reason says which.
TEST(OffloadTest, CardFileChangedWhileCopiedStopsEveryDestination) {
    for (const bool touched : {false, true}) {
        Scratch s;
        qzoffload::OffloadOptions options = Options(s.card, {s.one, s.two});
        options.hooks.afterCardRead = [&s, touched, done = false](const std::string& path, uint64_t) mutable {
            const std::string file = s.card + "/" + path;
            if (path != kBigFile || std::exchange(done, true)) return;
            if (touched) fs::last_write_time(file, fs::last_write_time(file) - std::chrono::hours(1));
            if (!touched) fs::resize_file(file, 1000);
        };
        const OffloadReport report = qzoffload::Offload::Run(options);
        EXPECT_NE(report.cardFailure.find(std::string(kBigFile) + " changed while being copied: " +
                                          (touched ? "its modification time changed from " : "")),
                  std::string::npos)
            << report.cardFailure;
        EXPECT_FALSE(report.Complete());
        for (const qzoffload::DestinationReport& d : report.destinations)
            EXPECT_FALSE(d.verified || fs::exists(d.path + "/" + kBigFile));
        ExpectOnlyTrueClaims(s.card, report);
    }
}

TEST(OffloadTest, NoSpaceOnOneOfTwoDestinationsStopsOnlyThatOne) {
    Scratch s;
    const std::string small = s.folder.Path() + "/small";
    SmallMount mount(small, "48m");
    if (!mount.Mounted()) GTEST_SKIP() << "needs root to mount a small tmpfs";
    qzoffload::OffloadOptions options = Options(s.card, {s.one, small});
    // The free-space check passes; then the drive fills up behind its back.
    options.hooks.afterFile = [&small](size_t d, size_t done) {
        if (d != 1 || done != 1) return;
        std::ofstream filler(small + "/filler", std::ios::binary);
        const std::string block(1 << 20, 'x');
        while (filler.write(block.data(), block.size())) {
        }
    };
    const OffloadReport report = qzoffload::Offload::Run(options);
    EXPECT_TRUE(report.destinations[0].verified);
    const qzoffload::DestinationReport& full = report.destinations[1];
    EXPECT_FALSE(full.verified);
    const auto stopped = std::find_if(full.failures.begin(), full.failures.end(), [](const auto& failure) {
        return failure.kind == qzoffload::FileProblem::kFailed;
    });
    ASSERT_NE(stopped, full.failures.end());
    EXPECT_NE(stopped->reason.find("No space"), std::string::npos) << stopped->reason;
    EXPECT_EQ(full.files + full.failures.size(), report.cardFiles);
    ExpectOnlyTrueClaims(s.card, report);
    // The file it stopped at is recorded failed with the card's hash, the others absent.
    const qzoffload::HashList list = ReadGeneration(full.path + "/" + full.generation);
    ASSERT_TRUE(list.card);
    EXPECT_EQ(list.card->cardFiles, report.cardFiles);
    EXPECT_EQ(list.files.size() + list.card->absent.size(), report.cardFiles);
    const auto failed = std::find_if(list.files.begin(), list.files.end(),
                                     [&](const auto& entry) { return entry.path == stopped->path; });
    ASSERT_NE(failed, list.files.end());
    EXPECT_EQ(failed->hashes.begin()->second.action, HashAction::kFailed);
    ExpectAscmhlReads(full.path, AscmhlVerify::kMissingFiles);
    qzoffload::CheckOptions check;
    check.folder = full.path;
    EXPECT_EQ(
        qzoffload::HistoryCheck::Run(check).Status(),
        "incomplete: " + std::to_string(full.files) + " of " + std::to_string(report.cardFiles) + " files");

    // Too small to begin with: refused before anything is copied, both figures named.
    SmallMount tiny(s.folder.Path() + "/tiny", "1m");
    try {
        qzoffload::Offload::Run(Options(s.card, {s.two, s.folder.Path() + "/tiny"}));
        ADD_FAILURE() << "a destination without room was taken";
    } catch (const qzoffload::OffloadError& e) {
        EXPECT_EQ(e.Kind(), ComVantoVantoQZ64RADPlug::CUFailureKind::kSetup);
        EXPECT_NE(std::string(e.what()).find("MB (1048576 bytes) free; the copy needs"), std::string::npos)
            << e.what();
    }
    EXPECT_FALSE(fs::exists(s.two + "/CARD"));
}

TEST(OffloadTest, DestinationMadeUnwritableMidwayStopsOnlyThatOne) {
    QZ_REQUIRE_TOOL("chattr");
    Scratch s;
    // A folder the writer has not reached when the first file is done (it
    // runs a few files ahead of the read-back), so no partial is caught in it.
    static_assert(qzoffload::DestinationWriter::kFilesAhead <= 5, "the writer could be in QZ0003");
    const std::string locked = s.one + "/CARD/CONTENTS/CLIPS001/QZ0003";
    // Root ignores permissions but not the immutable attribute.
    const std::string lock = ::geteuid() == 0 ? "chattr -R +i " : "chmod -R a-w ";
    const std::string unlock = ::geteuid() == 0 ? "chattr -R -i " : "chmod -R u+w ";
    struct Unlock {
        std::string command;
        ~Unlock() { qztest::RunCommand(command + " 2>/dev/null"); }
    } unlocked{unlock + qztest::ShellQuote(locked)};
    qzoffload::OffloadOptions options = Options(s.card, {s.one, s.two});
    options.hooks.afterFile = [&](size_t d, size_t done) {
        if (d == 0 && done == 1) qztest::RunCommand(lock + qztest::ShellQuote(locked));
    };
    const OffloadReport report = qzoffload::Offload::Run(options);
    EXPECT_FALSE(report.destinations[0].verified);
    EXPECT_FALSE(report.destinations[0].failures.empty());
    EXPECT_TRUE(report.destinations[1].verified);
    ExpectOnlyTrueClaims(s.card, report);
}

TEST(OffloadTest, AFileTheCardNamesAndLacksLeavesEveryCopyIncomplete) {
    Scratch s;
    const std::string lost = "CONTENTS/CLIPS001/QZ0002/QZ000201.MXF";
    fs::remove(s.card + "/" + lost);
    const OffloadReport report = qzoffload::Offload::Run(Options(s.card, {s.one}));
    EXPECT_FALSE(report.Complete());
    const qzoffload::DestinationReport& d = report.destinations[0];
    ASSERT_EQ(d.failures.size(), 1u);
    EXPECT_EQ(d.failures[0].path, lost);
    EXPECT_EQ(d.failures[0].kind, qzoffload::FileProblem::kMissingOnCard);
    const std::string incomplete = "incomplete: " + std::to_string(report.cardFiles - 1) + " of " +
                                   std::to_string(report.cardFiles) + " files";
    EXPECT_EQ(d.Status(), incomplete);
    const qzoffload::HashList list = ReadGeneration(d.path + "/" + d.generation);
    ASSERT_TRUE(list.card);
    EXPECT_EQ(list.card->absent, std::vector<std::string>{lost});
    qzoffload::CheckOptions check;
    check.folder = d.path;
    EXPECT_EQ(qzoffload::HistoryCheck::Run(check).Status(), incomplete);
}

TEST(OffloadTest, ResumeKeepsVouchedFilesAndNeverReplacesForeignOnes) {
    Scratch s;
    ASSERT_TRUE(qzoffload::Offload::Run(Options(s.card, {s.one})).Complete());
    // A foreign file in the way of a card file the history does not vouch for.
    fs::remove(s.one + "/CARD/ascmhl/ascmhl_chain.xml");
    for (const auto& entry : fs::directory_iterator(s.one + "/CARD/ascmhl")) fs::remove(entry.path());
    qztest::WriteText(s.one + "/CARD/CONTENTS/CLIPS001/QZ0002/QZ0002.XML", "not the card's");
    const OffloadReport again = qzoffload::Offload::Run(Options(s.card, {s.one}));
    ASSERT_EQ(again.destinations[0].failures.size(), 1u);
    EXPECT_EQ(qztest::ReadText(s.one + "/CARD/CONTENTS/CLIPS001/QZ0002/QZ0002.XML"), "not the card's");
    fs::remove(s.one + "/CARD/CONTENTS/CLIPS001/QZ0002/QZ0002.XML");
    const OffloadReport third = qzoffload::Offload::Run(Options(s.card, {s.one}));
    EXPECT_TRUE(third.Complete());
    EXPECT_EQ(third.destinations[0].kept, third.cardFiles - 1);
    EXPECT_EQ(third.destinations[0].copied, 1u);
    ExpectOnlyTrueClaims(s.card, third);
}

}  // namespace
