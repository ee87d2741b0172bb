// Golden output of the commands whose output is fixed by the deterministic
// writer: sample-card, write-mxf, mxf-info (text, JSON, edit units), list,
// clip and spans on the files and cards they write, mxf-info's answer to files
// it cannot read, and catalog scan (text and JSON) of the copies an offload made. Every command runs inside
// one scratch folder with relative paths, so the output names no machine path (but for the full paths catalog
// scan prints); run times, rates, ASC MHL generation times and C4 ids are the
// only varying text and are masked. Every card is pinned to a numbered medium.
// QZ_UPDATE_GOLDEN=1 rewrites the golden files instead of comparing.
#include <gtest/gtest.h>

#include "QzcardRun.h"
#include "ScratchFolder.h"
#include "TestFiles.h"

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>

namespace {

struct GoldenCase {
    const char* golden;   // file under tests/tools/golden
    const char* command;  // qzcard arguments, run in the scratch folder
};

// In order: later cases read the files earlier ones write.
const GoldenCase kCases[] = {
    {"sample-card.txt", "sample-card card --medium 1"},
    {"sample-card-50.txt", "sample-card card50 --family 50 --clips 3 --frames 12 --medium 2"},
    {"sample-card-rate.txt", "sample-card card24 --rate 23.98p-pulldown --clips 2 --frames 10 --medium 3"},
    {"write-mxf-df.txt", "write-mxf df.mxf --frames 30 --start-tc '01:00:00;00'"},
    {"write-mxf-720.txt",
     "write-mxf p720.mxf --frames 12 --rate 50p --size 1280x720 --mbps 35 --vbr --channels 2 --gop 6 "
     "--b-pictures 0 --closed-gop --first-frame 10 --start-tc 10:00:00:00"},
    {"mxf-info-df.txt", "mxf-info df.mxf"},
    {"mxf-info-df.json", "mxf-info df.mxf --json"},
    {"mxf-info-df-units.txt", "mxf-info df.mxf --units"},
    {"mxf-info-720-units.json", "mxf-info p720.mxf --json --units"},
    {"mxf-info-720.txt", "mxf-info p720.mxf"},
    {"mxf-info-spanned.txt", "mxf-info card/CONTENTS/CLIPS001/QZ0004/QZ000402.MXF"},
    {"mxf-info-spanned.json", "mxf-info card/CONTENTS/CLIPS001/QZ0004/QZ000402.MXF --json"},
    {"list.txt", "list card"},
    {"list.json", "list card --json"},
    {"clip-spanned.txt", "clip card QZ0004"},
    {"clip-df.json", "clip card QZ0001 --json"},
    {"sample-card-relay.txt", "sample-card relay --cards 3 --frames 30 --medium 1"},
    // The same recordings whatever order the cards are given in; without
    // the middle card its piece is named as missing.
    {"spans-3.txt", "spans relay/CARD2 relay/CARD3 relay/CARD1"},
    {"spans-3.txt", "spans relay/CARD3 relay/CARD1 relay/CARD2"},
    {"spans-3.json", "spans relay/CARD1 relay/CARD3 relay/CARD2 --json"},
    {"spans-2.txt", "spans relay/CARD3 relay/CARD1"},
    {"spans-2.json", "spans relay/CARD1 relay/CARD3 --json"},
    {"mxf-info-missing.txt", "mxf-info missing.mxf"},
    {"mxf-info-garbage.txt", "mxf-info garbage.mxf"},
    {"sample-card-scan.txt", "sample-card scan --clips 2 --frames 6 --medium 4"},
    {"offload-scan.txt", "offload scan b1 b2"},
    {"catalog-scan.txt", "catalog --catalog scan.sqlite scan b2 b1"},
    {"catalog-scan.json", "catalog --catalog scan-json.sqlite --json scan b1 b2"},
};

// What a golden file holds: stdout; for a failing command its exit code and
// stderr follow.
std::string Capture(const std::string& folder, const std::string& arguments) {
    const std::string real = std::filesystem::canonical(folder).string() + "/";
    // Nothing recorded: the catalog's location would differ from build to build.
    const qztest::QzcardRun run = qztest::RunQzcard("--no-catalog " + arguments, folder);
    std::string text = run.out;
    if (run.exitCode != 0) text += "exit " + std::to_string(run.exitCode) + "\n" + run.err;
    // Run times and throughput differ from run to run.
    static const std::regex kSeconds(" in [0-9.]+ s( \\([0-9.]+ MB/s\\))?\n"), kRate(" [0-9.]+ MB/s "),
        kTime("[0-9]{4}-[0-9]{2}-[0-9]{2}_[0-9]{6}Z"), kC4("c4[1-9A-HJ-NP-Za-km-z]{88}");
    for (size_t at; (at = text.find(real)) != std::string::npos;) text.replace(at, real.size(), "");
    for (const auto& [varying, fixed] : {std::pair(&kSeconds, " in <time>\n"), std::pair(&kRate, " <rate> "),
                                         std::pair(&kTime, "<time>"), std::pair(&kC4, "<c4>")})
        text = std::regex_replace(text, *varying, fixed);
    return text;
}

TEST(QzcardGoldenTest, CommandsPrintTheirGoldenOutput) {
    qztest::ScratchFolder folder("qz-golden");
    ASSERT_TRUE(qztest::WriteText(folder.Path() + "/garbage.mxf", "not an MXF file at all\n"));
    for (const char* copy : {"/b1", "/b2"}) std::filesystem::create_directory(folder.Path() + copy);
    const char* update = std::getenv("QZ_UPDATE_GOLDEN");
    const bool rewrite = update && std::string(update) == "1";
    for (const GoldenCase& c : kCases) {
        SCOPED_TRACE(c.command);
        const std::string actual = Capture(folder.Path(), c.command);
        const std::string goldenPath = std::string(QZ_GOLDEN_DIR) + "/" + c.golden;
        if (rewrite) {
            EXPECT_TRUE(qztest::WriteText(goldenPath, actual)) << goldenPath;
            continue;
        }
        EXPECT_EQ(actual, qztest::ReadText(goldenPath))
            << "golden " << c.golden << " (QZ_UPDATE_GOLDEN=1 rewrites)";
    }
}

// Broken copies of one written file: mxf-info fails with exit 3 and names
// what failed and at which byte.
TEST(QzcardGoldenTest, BrokenFilesNameWhatFailedAndWhere) {
    qztest::ScratchFolder folder("qz-broken");
    ASSERT_EQ(qztest::RunQzcard("write-mxf df.mxf --frames 30", folder.Path()).exitCode, 0);
    // Written layout: header pack at 0 (12800 bytes of header metadata),
    // footer pack at 6726144, then the random index pack.
    struct Broken {
        uint64_t keepBytes;
        const char* reason;
    } const kBroken[] = {
        {5000,
         "header metadata of 12800 bytes (HeaderByteCount) runs past the end of the file (5000 bytes) "
         "(at byte 0 of cut5000.mxf)"},
        {6726144, "partition chain: footer partition pack at byte 6726144 lies beyond the end of the file"},
        {6726164, "partition chain: footer partition pack at byte 6726144: no KLV key and length there"},
        {10, "no header partition pack: no KLV key and length at byte 0 (at byte 0 "},
    };
    for (const Broken& b : kBroken) {
        SCOPED_TRACE(b.keepBytes);
        const std::string name = "cut" + std::to_string(b.keepBytes) + ".mxf";
        std::filesystem::copy_file(folder.Path() + "/df.mxf", folder.Path() + "/" + name);
        std::filesystem::resize_file(folder.Path() + "/" + name, b.keepBytes);
        const std::string text = Capture(folder.Path(), "mxf-info " + name);
        EXPECT_EQ(text.rfind("exit 3\n", 0), 0u) << text;
        EXPECT_NE(text.find(b.reason), std::string::npos) << text;
        EXPECT_NE(text.find("[error 0x131001]"), std::string::npos) << text;
    }
}

}  // namespace
