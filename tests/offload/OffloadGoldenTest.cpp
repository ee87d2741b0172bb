// Offload scenarios whose ascmhl/ folders are compared byte for byte with
// the files under tests/offload/golden/<scenario>/<copy>/: the clock, the
// host name, the tool version, the run id and the card files' times are
// pinned, so any change to what a history holds shows up here. Every file
// is validated against the ASC MHL schemas and, when the ASC's reference
// tool is on PATH, read by it. QZ_UPDATE_GOLDEN=1 (or a missing golden
// folder) rewrites the golden files instead of comparing.
#include "HistoryCheck.h"
#include "OffloadTestSupport.h"

#include <chrono>
#include <cstdlib>
#include <functional>
#include <map>

namespace {

using namespace offload_test;

constexpr int64_t kCardTime = 1714550000;  // the card files' modification time
constexpr const char* kBigFile = "CONTENTS/CLIPS001/QZ0001/QZ000101.MXF";

struct Scenario {
    std::string card, one, two;

    // The creator of a run at `minute` minutes after the pinned start.
    static qzoffload::MhlCreator Creator(int minute) {
        const int64_t now = 1714555800 + 60 * minute;
        return {"1.0-golden", "goldenhost", [now] { return now; },
                [minute] { return std::string(31, '0') + static_cast<char>('a' + minute); }};
    }
    qzoffload::OffloadOptions Offload(std::vector<std::string> destinations, int minute) const {
        qzoffload::OffloadOptions options = Options(card, std::move(destinations));
        options.creator = Creator(minute);
        return options;
    }
    qzoffload::CheckReport Check(const std::string& copy, int minute) const {
        qzoffload::CheckOptions options;
        options.folder = copy + "/CARD";
        options.creator = Creator(minute);
        return qzoffload::HistoryCheck::Run(options);
    }
};

// Flips one bit and keeps the file's time, as a drive's decay would.
void FlipByte(const std::string& path, uint64_t at) {
    const fs::file_time_type time = fs::last_write_time(path);
    std::vector<uint8_t> bytes = qztest::ReadFile(path);
    ASSERT_LT(at, bytes.size()) << path;
    bytes[at] ^= 0x01;
    ASSERT_TRUE(qztest::WriteFile(path, bytes)) << path;
    fs::last_write_time(path, time);
}

// What the scenario does, and which copies' histories it leaves.
struct GoldenCase {
    const char* name;
    std::vector<const char*> copies;  // "one", "two"
    std::function<void(const Scenario&)> run;
};

const std::vector<GoldenCase> kCases = {
    {"two-destinations",
     {"one", "two"},
     [](const Scenario& s) {
         EXPECT_TRUE(qzoffload::Offload::Run(s.Offload({s.one, s.two}, 0)).Complete());
     }},
    {"failed-then-resumed",
     {"one"},
     [](const Scenario& s) {
         qzoffload::OffloadOptions options = s.Offload({s.one}, 0);
         options.hooks.afterSync = [](size_t, const std::string& partial, const std::string& path) {
             if (path == kBigFile) FlipByte(partial, 100);
         };
         EXPECT_FALSE(qzoffload::Offload::Run(options).Complete());
         EXPECT_TRUE(qzoffload::Offload::Run(s.Offload({s.one}, 1)).Complete());
     }},
    {"check-clean",
     {"one"},
     [](const Scenario& s) {
         ASSERT_TRUE(qzoffload::Offload::Run(s.Offload({s.one}, 0)).Complete());
         EXPECT_TRUE(s.Check(s.one, 1).Complete());
     }},
    {"check-damaged",
     {"one"},
     [](const Scenario& s) {
         ASSERT_TRUE(qzoffload::Offload::Run(s.Offload({s.one}, 0)).Complete());
         FlipByte(s.one + "/CARD/" + kBigFile, 4000);
         EXPECT_FALSE(s.Check(s.one, 1).Clean());
     }},
    {"no-verify-then-check",
     {"one"},
     [](const Scenario& s) {
         qzoffload::OffloadOptions options = s.Offload({s.one}, 0);
         options.verify = false;
         qzoffload::Offload::Run(options);
         EXPECT_TRUE(s.Check(s.one, 1).Complete());
     }},
};

// The files of `folder`, by name.
std::map<std::string, std::string> FilesOf(const std::string& folder) {
    std::map<std::string, std::string> files;
    if (!fs::is_directory(folder)) return files;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.is_regular_file()) files[entry.path().filename().string()] = qztest::ReadText(entry.path());
    return files;
}

TEST(OffloadGoldenTest, HistoriesMatchTheGoldenFiles) {
    const char* update = std::getenv("QZ_UPDATE_GOLDEN");
    for (const GoldenCase& c : kCases) {
        SCOPED_TRACE(c.name);
        qztest::ScratchFolder folder("qz-mhl-golden");
        Scenario s{folder.Path() + "/CARD", folder.Path() + "/one", folder.Path() + "/two"};
        WriteCard(s.card);
        for (const auto& entry : fs::recursive_directory_iterator(s.card))
            fs::last_write_time(entry.path(), fs::file_time_type::clock::from_sys(
                                                  std::chrono::sys_seconds(std::chrono::seconds(kCardTime))));
        fs::create_directories(s.one);
        fs::create_directories(s.two);
        c.run(s);
        for (const char* copy : c.copies) {
            const std::string history = folder.Path() + "/" + copy + "/CARD/ascmhl";
            const std::string golden = std::string(QZ_MHL_GOLDEN_DIR) + "/" + c.name + "/" + copy;
            const std::map<std::string, std::string> actual = FilesOf(history);
            ASSERT_FALSE(actual.empty()) << history;
            if ((update && std::string(update) == "1") || !fs::is_directory(golden)) {
                fs::remove_all(golden);
                fs::create_directories(golden);
                for (const auto& [name, text] : actual)
                    EXPECT_TRUE(qztest::WriteText(golden + "/" + name, text));
            } else {
                const std::map<std::string, std::string> expected = FilesOf(golden);
                EXPECT_EQ(actual.size(), expected.size())
                    << "golden " << golden << " (QZ_UPDATE_GOLDEN=1 rewrites)";
                for (const auto& [name, text] : expected) {
                    const auto found = actual.find(name);
                    ASSERT_NE(found, actual.end()) << name << " missing from " << history;
                    EXPECT_EQ(found->second, text)
                        << golden << "/" << name << " (QZ_UPDATE_GOLDEN=1 rewrites)";
                }
            }
            ExpectValidHistory(folder.Path() + "/" + copy + "/CARD");
            if (std::string(c.name) != "check-damaged")
                ExpectAscmhlReads(folder.Path() + "/" + copy + "/CARD", AscmhlVerify::kClean);
            else
                ExpectAscmhlReads(folder.Path() + "/" + copy + "/CARD", AscmhlVerify::kHashMismatch);
        }
    }
}

}  // namespace
