// qzcard verify through the built plug-in bundle: clean on the sample card,
// and each planted fault of a damaged copy reported with its clip, frame and
// check, the other clips clean, exit 4 and the card untouched.
#include <gtest/gtest.h>
#include "FolderSnapshot.h"
#include "QzcardRun.h"
#include "ScratchFolder.h"
#include "TestFiles.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;
using qztest::Qzcard;

nlohmann::json Frames(const std::string& card, const std::string& clip) {
    return qztest::QzcardJson({"frames", card, clip, "--json"})["frames"];
}

// Flips the picture_coding_type of clip frame `frame` (I <-> P) in its file.
void PatchPictureType(const std::string& card, const std::string& clip, size_t frame) {
    const nlohmann::json row = Frames(card, clip).at(frame);
    const std::string file = qztest::MemberFiles(card, clip).at(0);
    std::vector<uint8_t> bytes = qztest::ReadFile(file);
    for (size_t i = row["offset"].get<size_t>(); i + 5 < bytes.size(); ++i)
        if (bytes[i] == 0 && bytes[i + 1] == 0 && bytes[i + 2] == 1 && bytes[i + 3] == 0) {
            const int type = (bytes[i + 5] >> 3) & 7;
            bytes[i + 5] = static_cast<uint8_t>((bytes[i + 5] & ~0x38) | ((type == 1 ? 2 : 1) << 3));
            break;
        }
    ASSERT_TRUE(qztest::WriteFile(file, bytes));
}

// Moves every start timecode (local tag 15 01, 8 bytes) of the file's
// header on by 5 frames.
void PatchStartTimecode(const std::string& file) {
    std::vector<uint8_t> bytes = qztest::ReadFile(file);
    for (size_t i = 0; i + 12 < bytes.size() && i < 65536; ++i)
        if (bytes[i] == 0x15 && bytes[i + 1] == 0x01 && bytes[i + 2] == 0 && bytes[i + 3] == 8)
            bytes[i + 11] += 5;
    ASSERT_TRUE(qztest::WriteFile(file, bytes));
}

// Cuts `file` short inside the index segment that follows its footer
// partition pack (at the footer's next KAG boundary), as a copy that lost its
// last bytes is: the partitions still chain, the footer's index is gone.
void CutInsideFooterIndex(const std::string& file) {
    const nlohmann::json footer = qztest::QzcardJson({"mxf-info", file, "--json"})["partitions"].back();
    fs::resize_file(file, footer["offset"].get<size_t>() + footer["kagSize"].get<size_t>() + 20);
}

TEST(VerifyCommandTest, CleanOnTheSampleCardAndEachPlantedFaultNamedWithItsClipAndFrame) {
    struct Case {
        const char* damage;
        std::function<void(const std::string&)> plant;
        const char* clip;  // the one clip with problems (none: clean)
        int frame;         // of its first problem, -1 for the clip as a whole
        const char* check;
        int lastFrame;          // where that problem's range of frames ends
        const char* listState;  // the clip's state in `list`
    };
    const Case cases[] = {
        {"none", [](const std::string&) {}, "", 0, "", 0, "ready"},
        // The reader takes no frame of a cut file: its first frame is named.
        {"member file cut inside its essence",
         [](const std::string& card) {
             fs::resize_file(qztest::MemberFiles(card, "QZ0004").at(1),
                             Frames(card, "QZ0004")[17]["offset"].get<size_t>() + 10);
         },
         "QZ0004", 12, "picture", 12, "damaged"},
        // Its index segments gone with its footer: its frames are one range.
        {"middle member file cut inside its footer's index",
         [](const std::string& card) { CutInsideFooterIndex(qztest::MemberFiles(card, "QZ0004").at(1)); },
         "QZ0004", 12, "picture", 23, "damaged"},
        {"only member file cut inside its footer's index",
         [](const std::string& card) { CutInsideFooterIndex(qztest::MemberFiles(card, "QZ0001").at(0)); },
         "QZ0001", 0, "picture", 11, "damaged"},
        {"last member file missing",
         [](const std::string& card) { fs::remove(qztest::MemberFiles(card, "QZ0004").at(2)); }, "QZ0004", 24,
         "picture", 24, "missing files"},
        {"only member file missing",
         [](const std::string& card) { fs::remove(qztest::MemberFiles(card, "QZ0002").at(0)); }, "QZ0002", -1,
         "offered", -1, "missing files"},
        {"clip metadata file missing",
         [](const std::string& card) { fs::remove(card + "/CONTENTS/CLIPS001/QZ0003/QZ0003.XML"); }, "QZ0003",
         -1, "metadata", -1, "ready"},
        {"picture header type against the index",
         [](const std::string& card) { PatchPictureType(card, "QZ0001", 3); }, "QZ0001", 3, "picture-type", 3,
         "ready"},
        {"timecode jump at the second member file",
         [](const std::string& card) { PatchStartTimecode(qztest::MemberFiles(card, "QZ0004").at(1)); },
         "QZ0004", 12, "timecode", 12, "ready"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.damage);
        qztest::ScratchFolder folder("verify-cmd");
        const std::string card = folder.Path() + "/card";
        ASSERT_EQ(Qzcard({"sample-card", card, "--frames", "12"}).exitCode, 0);
        c.plant(card);
        const qztest::FolderSnapshot before = qztest::TakeSnapshot(card);
        const qztest::QzcardRun run = Qzcard({"verify", card, "--json"});
        EXPECT_TRUE(qztest::TakeSnapshot(card) == before) << "the card changed";
        const nlohmann::json report = nlohmann::json::parse(run.out);
        EXPECT_EQ(run.exitCode, *c.clip ? 4 : 0) << run.out;
        EXPECT_EQ(report["clean"], !*c.clip);
        ASSERT_EQ(report["clips"].size(), 6u);
        const nlohmann::json listed = qztest::QzcardJson({"list", card, "--json"})["clips"];
        for (size_t i = 0; i < report["clips"].size(); ++i) {
            const nlohmann::json& clip = report["clips"][i];
            SCOPED_TRACE(clip["clipId"].get<std::string>());
            if (clip["clipId"] != c.clip) {
                EXPECT_TRUE(clip["problems"].empty()) << clip.dump(2);
                EXPECT_EQ(listed.at(i)["state"], "ready");
                continue;
            }
            EXPECT_EQ(listed.at(i)["state"], c.listState) << listed.at(i).dump(2);
            ASSERT_FALSE(clip["problems"].empty());
            const auto& first = clip["problems"][0];
            EXPECT_EQ(first["check"], c.check) << clip.dump(2);
            if (c.frame < 0) {
                EXPECT_TRUE(first["frame"].is_null() && first["timecode"].is_null());
                EXPECT_TRUE(first["lastFrame"].is_null() && first["lastTimecode"].is_null());
            } else {
                EXPECT_EQ(first["frame"], c.frame) << clip.dump(2);
                EXPECT_EQ(first["lastFrame"], c.lastFrame) << clip.dump(2);
            }
        }
        // The text names a range once; a clean card what was checked.
        const std::string text = Qzcard({"verify", card}).out;
        const size_t range =
            text.find("  frames " + std::to_string(c.frame) + "\u2013" + std::to_string(c.lastFrame) + " (");
        EXPECT_EQ(range != std::string::npos, c.lastFrame > c.frame) << text;
        const size_t clean = text.find(
            "\ncard clean (frames through the plug-in; timecodes; sound lengths; pictures not decoded; sound "
            "samples not checked)\n");
        EXPECT_EQ(clean != std::string::npos, !*c.clip) << text;
    }
    qztest::ScratchFolder folder("verify-cmd");
    const std::string card = folder.Path() + "/card";
    ASSERT_EQ(Qzcard({"sample-card", card, "--clips", "1", "--frames", "6"}).exitCode, 0);
    for (const auto& [arguments, code] :
         std::vector<std::pair<std::vector<std::string>, int>>{{{"verify", card, "QZ0001"}, 0},
                                                               {{"verify", card, "QZ0099"}, 3},
                                                               {{"verify", folder.Path()}, 2}})
        EXPECT_EQ(Qzcard(arguments).exitCode, code) << testing::PrintToString(arguments);
}

}  // namespace

namespace {

// A card whose index was rewritten for two clips still holds the folders of
// the other four, and a clip folder holds a file no clip names: verify
// reports them as unlisted and fails; with clips named, only their folders
// are looked in, and a clip named twice (in any letter case) counts once.
TEST(VerifyCommandTest, FoldersAndFilesTheIndexDoesNotListAreReported) {
    qztest::ScratchFolder folder("verify-cmd");
    const std::string card = folder.Path() + "/card", two = folder.Path() + "/two";
    ASSERT_EQ(Qzcard({"sample-card", card, "--frames", "6"}).exitCode, 0);
    ASSERT_EQ(Qzcard({"sample-card", two, "--clips", "2", "--frames", "6"}).exitCode, 0);
    const std::string clips = card + "/CONTENTS/CLIPS001/";
    fs::copy_file(two + "/CONTENTS/CLIPS001/INDEX.MIF", clips + "INDEX.MIF",
                  fs::copy_options::overwrite_existing);
    ASSERT_TRUE(qztest::WriteText(clips + "QZ0001/notes.txt", "left behind\n"));

    const auto unlisted = [](const nlohmann::json& report) {
        std::vector<std::string> paths;
        for (const auto& entry : report["unlisted"]) paths.push_back(entry["path"]);
        return paths;
    };
    qztest::QzcardRun run = Qzcard({"verify", card, "--json"});
    EXPECT_EQ(run.exitCode, 4);
    nlohmann::json report = qztest::ParseJson(run.out);
    EXPECT_EQ(report["clean"], false);
    EXPECT_EQ(report["clips"].size(), 2u);
    for (const auto& clip : report["clips"]) EXPECT_TRUE(clip["problems"].empty()) << clip.dump(2);
    const std::string at = "CONTENTS/CLIPS001/";
    EXPECT_EQ(unlisted(report), (std::vector<std::string>{at + "QZ0001/notes.txt", at + "QZ0003",
                                                          at + "QZ0004", at + "QZ0005", at + "QZ0006"}));
    run = Qzcard({"verify", card});
    EXPECT_NE(run.out.find("unlisted  CONTENTS/CLIPS001/QZ0003  a clip folder the index does not list"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("\n5 unlisted entries\n"), std::string::npos) << run.out;

    run = Qzcard({"verify", card, "QZ0002", "--json"});
    EXPECT_EQ(run.exitCode, 0) << run.out;
    EXPECT_TRUE(unlisted(qztest::ParseJson(run.out)).empty());
    run = Qzcard({"verify", card, "qz0001", "QZ0001", "--json"});
    EXPECT_EQ(run.exitCode, 4);
    report = qztest::ParseJson(run.out);
    ASSERT_EQ(report["clips"].size(), 1u);
    EXPECT_EQ(report["clips"][0]["clipId"], "QZ0001");
    EXPECT_EQ(unlisted(report), std::vector<std::string>{at + "QZ0001/notes.txt"});
}

}  // namespace

namespace {

// Zeroes `count` bytes of clip frame `frame`'s picture element, `skip` bytes in.
void ZeroPictureBytes(const std::string& card, const std::string& clip, size_t frame, size_t skip,
                      size_t count) {
    const nlohmann::json row = Frames(card, clip).at(frame);
    const std::string file = qztest::MemberFiles(card, clip).at(0);
    std::vector<uint8_t> bytes = qztest::ReadFile(file);
    const size_t at = row["offset"].get<size_t>() + skip;
    ASSERT_LE(at + count, bytes.size());
    std::fill(bytes.begin() + static_cast<std::ptrdiff_t>(at),
              bytes.begin() + static_cast<std::ptrdiff_t>(at + count), 0);
    ASSERT_TRUE(qztest::WriteFile(file, bytes));
}

// --decode: clean cards of every rate stay clean (the zero stuffing of a
// constant bit rate is no damage); a run of zeroed slice bytes in an I and
// in a B picture, which every other check passes, is named with its clip,
// frame and timecode, and ffmpeg's decoder agrees that the file is damaged.
TEST(VerifyCommandTest, DecodeNamesEachPictureWhoseBytesWereZeroed) {
    for (const char* family : {"59.94", "50", "24"}) {
        qztest::ScratchFolder folder("verify-decode");
        const std::string card = folder.Path() + "/card";
        ASSERT_EQ(Qzcard({"sample-card", card, "--family", family, "--frames", "15"}).exitCode, 0);
        const qztest::QzcardRun run = Qzcard({"verify", card, "--decode"});
        EXPECT_EQ(run.exitCode, 0) << family << "\n" << run.out;
    }
    qztest::ScratchFolder folder("verify-decode");
    const std::string card = folder.Path() + "/card";
    ASSERT_EQ(Qzcard({"sample-card", card, "--clips", "2", "--frames", "30"}).exitCode, 0);
    ZeroPictureBytes(card, "QZ0001", 0, 400, 1000);  // the first I picture's slices
    ZeroPictureBytes(card, "QZ0001", 4, 300, 600);   // a B picture
    EXPECT_EQ(Qzcard({"verify", card}).exitCode, 0) << "without --decode the damage is not seen";
    const qztest::QzcardRun run = Qzcard({"verify", card, "--decode", "--json"});
    EXPECT_EQ(run.exitCode, 4) << run.out;
    const nlohmann::json report = nlohmann::json::parse(run.out);
    const nlohmann::json frames = Frames(card, "QZ0001");
    std::vector<int> damaged;
    for (const auto& p : report["clips"][0]["problems"]) {
        EXPECT_EQ(p["check"], "decode");
        EXPECT_EQ(p["timecode"], frames.at(p["frame"].get<size_t>())["timecode"]);
        damaged.push_back(p["frame"]);
    }
    EXPECT_EQ(damaged, (std::vector<int>{0, 4})) << run.out;
    EXPECT_TRUE(report["clips"][1]["problems"].empty());
    EXPECT_EQ(report["clips"][0]["picturesDecoded"], 30);
    if (qztest::ShouldRunPeerCheck("ffmpeg")) {
        const qztest::CommandResult peer = qztest::RunCommand(
            "ffmpeg -nostdin -v error -i " + qztest::ShellQuote(qztest::MemberFiles(card, "QZ0001").at(0)) +
                " -map 0:v -f null -",
            qztest::Capture::StdoutAndStderr);
        EXPECT_FALSE(peer.output.empty()) << "ffmpeg finds the damaged clip clean";
    }
}

}  // namespace
