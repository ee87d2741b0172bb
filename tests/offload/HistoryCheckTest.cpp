// --check of a copy after planted changes: a byte flipped, a file deleted,
// a file added, a generation deleted. Each is reported, and every history
// written stays valid against the schemas.
#include "HashListXml.h"
#include "HistoryCheck.h"
#include "OffloadError.h"
#include "OffloadTestSupport.h"

#include <fstream>

namespace {

using namespace offload_test;

TEST(HistoryCheckTest, PlantedChangesAreReportedAndRecorded) {
    qztest::ScratchFolder scratch("check");
    const std::string card = scratch.Path() + "/CARD", copy = scratch.Path() + "/dest/CARD";
    WriteCard(card, 2, 10);
    fs::create_directories(scratch.Path() + "/dest");
    ASSERT_TRUE(qzoffload::Offload::Run(Options(card, {scratch.Path() + "/dest"})).Complete());
    const std::string victim = "CONTENTS/CLIPS001/QZ0001/QZ0001.XML";
    const struct {
        const char* name;
        std::function<void()> plant;
        size_t changed, missing, added;
        const char* refusal;  // the check refuses the history
        AscmhlVerify ascmhl;  // what the ASC's reference tool finds
    } rows[] = {
        {"nothing", [] {}, 0, 0, 0, nullptr, AscmhlVerify::kClean},
        {"byte flipped",
         [&] {
             std::fstream file(copy + "/" + victim, std::ios::in | std::ios::out | std::ios::binary);
             file.seekp(10);
             file.put('#');
         },
         1, 0, 0, nullptr, AscmhlVerify::kHashMismatch},
        {"file deleted", [&] { fs::remove(copy + "/" + victim); }, 0, 1, 0, nullptr,
         AscmhlVerify::kMissingFiles},
        {"file added", [&] { qztest::WriteText(copy + "/CONTENTS/extra.txt", "x"); }, 0, 1, 1, nullptr,
         AscmhlVerify::kNewFiles},
        {"generation deleted",
         [&] {
             for (const auto& entry : fs::directory_iterator(copy + "/ascmhl"))
                 if (entry.path().filename().string().rfind("0001_", 0) == 0) fs::remove(entry.path());
         },
         0, 0, 0, "is missing", AscmhlVerify::kClean},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        row.plant();
        qzoffload::CheckOptions options;
        options.folder = copy;
        options.creator = Options(card, {}).creator;
        try {
            const qzoffload::CheckReport report = qzoffload::HistoryCheck::Run(options);
            EXPECT_FALSE(row.refusal);
            EXPECT_EQ(report.changed.size(), row.changed);
            EXPECT_EQ(report.missing.size(), row.missing);
            EXPECT_EQ(report.added.size(), row.added);
            EXPECT_EQ(report.Clean(), row.changed + row.missing + row.added == 0);
            // The card's files are those the offload recorded: each one changed or gone is one short.
            EXPECT_EQ(report.Status(), row.changed + row.missing
                                           ? "incomplete: " + std::to_string(report.files - 1) + " of " +
                                                 std::to_string(report.files) + " files"
                                           : "complete");
            ExpectValidHistory(copy);
            ExpectAscmhlReads(copy, row.ascmhl);
            const std::vector<uint8_t> bytes = qztest::ReadFile(copy + "/" + report.generation);
            const qzoffload::HashList list =
                qzoffload::HashListXml::Read(bytes.data(), bytes.size(), "generation");
            EXPECT_EQ(list.process, qzoffload::MhlProcess::kInPlace);
            for (const qzoffload::MhlFileEntry& entry : list.files)
                EXPECT_EQ(entry.hashes.begin()->second.action,
                          entry.path == victim && row.changed + row.missing
                              ? qzoffload::HashAction::kFailed
                              : qzoffload::HashAction::kVerified);
        } catch (const qzoffload::OffloadError& e) {
            ASSERT_TRUE(row.refusal) << e.what();
            EXPECT_NE(std::string(e.what()).find(row.refusal), std::string::npos) << e.what();
            EXPECT_EQ(e.Kind(), ComVantoVantoQZ64RADPlug::CUFailureKind::kProblems);
        }
    }
}

}  // namespace
