// qzcard frames on written cards: every rate, spanned over three files,
// against the card writer's record and against ffprobe's packet list of
// each member file; in/out ranges; the exit codes of its failures.
#include "CardWriter.h"
#include "FfprobePackets.h"
#include "QzcardRun.h"
#include "ScratchFolder.h"
#include "WrittenClip.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace cw = ComVantoVantoQZ64RADPlug::CardWriter;
using nlohmann::json;

// The frames of QZ0001 as JSON, with `options` (shell words).
json FramesJson(const std::string& root, const std::string& options = "") {
    const qztest::QzcardRun run =
        qztest::RunQzcard("frames " + qztest::ShellQuote(root) + " QZ0001 --json " + options);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    return qztest::ParseJson(run.out);
}

qztest::WrittenClip WriteSpanned(const std::string& root, cw::FrameRate rate, bool closed = false) {
    return qztest::WriteClip(root, qztest::SmallClip(rate, {7, 11, 9}, closed, 2));
}

}  // namespace

TEST(FramesCommandTest, SpannedClipsAtEveryRateAreWhatTheWriterWroteAndWhatFfprobeReads) {
    QZ_REQUIRE_TOOL("ffprobe");
    bool closed = false;
    for (cw::FrameRate rate : cw::kAllFrameRates) {
        SCOPED_TRACE(cw::FrameRateName(rate));
        qztest::ScratchFolder folder("frames");
        const qztest::WrittenClip clip = WriteSpanned(folder.Path(), rate, closed = !closed);
        const json out = FramesJson(folder.Path());
        const cw::FrameRateTraits traits = cw::TraitsOf(rate);
        EXPECT_EQ(out["clipId"], "QZ0001");
        EXPECT_EQ(out["timescale"], traits.editRateNumerator);
        EXPECT_EQ(out["frameDuration"], traits.editRateDenominator);
        const json& frames = out["frames"];
        ASSERT_EQ(frames.size(), clip.frames.size());
        std::vector<std::vector<qztest::ProbedPacket>> packets;
        for (const std::string& path : clip.mxfPaths) packets.push_back(qztest::ProbePackets(path));
        std::vector<bool> presented(frames.size());
        for (size_t f = 0; f < frames.size(); ++f) {
            const json& row = frames[f];
            const qztest::WrittenFrame& w = clip.frames[f];
            SCOPED_TRACE(row.dump());
            EXPECT_EQ(row["index"], f);
            EXPECT_EQ(row["file"], std::filesystem::path(clip.mxfPaths[w.member]).filename().string());
            EXPECT_EQ(row["localIndex"], w.local);
            EXPECT_EQ(row["type"], std::string(1, w.record.type));
            const char* sync = w.record.type != 'I' ? "none" : w.local == 0 ? "full" : "partial";
            EXPECT_EQ(row["sync"], sync);
            EXPECT_EQ(row["temporalOffset"], w.record.temporalOffset);
            EXPECT_EQ(row["keyFrameOffset"], w.record.keyFrameOffset);
            EXPECT_EQ(row["displayOffset"], w.record.displayOffset);
            EXPECT_EQ(row["offset"], w.record.pictureOffset);
            EXPECT_EQ(row["size"], w.record.pictureSize);
            EXPECT_EQ(row["decodeTime"], f * traits.editRateDenominator);
            const int64_t position = static_cast<int64_t>(f) + w.record.displayOffset;
            EXPECT_EQ(row["presentationTime"], position * traits.editRateDenominator);
            if (position >= 0 && position < static_cast<int64_t>(frames.size())) presented[position] = true;
            EXPECT_TRUE(position != 0 || row["timecode"] == "01:00:00:00") << row["timecode"];

            // ffprobe: the same picture sizes, and the file's presentation
            // order is the order of its packets' pts.
            const std::vector<qztest::ProbedPacket>& file = packets[w.member];
            ASSERT_EQ(file.size(), clip.layouts[w.member].frames.size());
            EXPECT_EQ(file[w.local].size, w.record.pictureSize);
            EXPECT_EQ(file[w.local].key, w.record.type == 'I');
            EXPECT_EQ(file[w.local].rank,
                      static_cast<int64_t>(w.local) + row["displayOffset"].get<int64_t>());
        }
        EXPECT_EQ(std::count(presented.begin(), presented.end(), true), static_cast<long>(frames.size()));
    }
}

TEST(FramesCommandTest, InAndOutFramesSelectWholeGroups) {
    qztest::ScratchFolder folder("frames");
    WriteSpanned(folder.Path(), cw::FrameRate::k25p);
    // Groups of pictures (stored = display ranges): 0-5, 6, 7-12, 13-17, 18-23, 24-26.
    const struct {
        std::string options;
        uint32_t first, last;
    } cases[] = {
        {"", 0, 26},
        {"--in 3 --out 4", 0, 5},
        {"--in 13 --out 20", 7, 20},
        {"--in 20", 13, 26},
        {"--in 26 --out 26", 18, 26},
        {"--out 0", 0, 1},
        // Timecodes of the clip (it starts at 01:00:00:00, 25 per second).
        {"--in 01:00:00:13 --out 01:00:00:20", 7, 20},
        {"--in 01:00:01:01", 18, 26},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        const json out = FramesJson(folder.Path(), c.options);
        ASSERT_FALSE(out["frames"].empty());
        EXPECT_EQ(out["frames"].front()["index"], c.first);
        EXPECT_EQ(out["frames"].back()["index"], c.last);
        EXPECT_EQ(out["frames"].size(), c.last - c.first + 1);
        EXPECT_EQ(out["frames"].front()["decodeTime"], 0);
    }
}

// In and out points that name no frame of the 27-frame clip are refused
// with the option and what it accepts, not clamped.
TEST(FramesCommandTest, PointsThatAreNoFrameOfTheClipAreRefused) {
    qztest::ScratchFolder folder("frames");
    WriteSpanned(folder.Path(), cw::FrameRate::k25p);
    const struct {
        const char* options;
        const char* why;
    } cases[] = {
        {"--in 27", "has 27 frames"},
        {"--in 500", "has 27 frames"},
        {"--out 99999999999999999999", "has 27 frames"},
        {"--in 00:59:59:24", "before the clip's first frame"},
        {"--out 01:00:01:02", "after the clip's last frame"},
        {"--in 01:00:00:25", "frames must be below 25"},
        {"--in 24:00:00:00", "hours must be below 24"},
        {"--in 01:60:00:00", "minutes must be below 60"},
        {"--out 01:00:60:00", "seconds must be below 60"},
        {"--in 01:00", "not HH:MM:SS:FF"},
        {"--in 3f", "neither a frame index nor a timecode"},
        {"--in 20 --out 01:00:00:10", "the in point must not come after the out point"},
    };
    for (const auto& c : cases) {
        const qztest::QzcardRun run =
            qztest::RunQzcard("frames " + qztest::ShellQuote(folder.Path()) + " QZ0001 " + c.options);
        EXPECT_EQ(run.exitCode, 64) << c.options << ": " << run.err;
        EXPECT_EQ(run.out, "") << c.options;
        EXPECT_NE(run.err.find(c.why), std::string::npos) << c.options << ": " << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        if (std::string(c.why).find("in point") == std::string::npos) {
            EXPECT_NE(run.err.find(
                          "takes a frame index from 0 to 26 or a timecode from 01:00:00:00 to 01:00:01:01"),
                      std::string::npos)
                << run.err;
        }
    }
}

TEST(FramesCommandTest, FailuresHaveTheCardCommandsExitCodes) {
    qztest::ScratchFolder folder("frames");
    const qztest::WrittenClip clip = WriteSpanned(folder.Path(), cw::FrameRate::k50i);
    const std::string root = folder.Path();
    using qztest::Qzcard;
    EXPECT_EQ(Qzcard({"frames", root + "/nothing", "QZ0001"}).exitCode, 2);
    EXPECT_EQ(Qzcard({"frames", root, "QZ0002"}).exitCode, 3);
    // A broken second file: the frames up to it are readable, the clip is not.
    std::ofstream(clip.mxfPaths[1], std::ios::trunc) << "not an MXF file";
    qztest::QzcardRun run = Qzcard({"frames", root, "QZ0001", "--json"});
    EXPECT_EQ(run.exitCode, 4);
    EXPECT_TRUE(run.out.empty());
    EXPECT_NE(run.err.find("cannot be read"), std::string::npos) << run.err;
    EXPECT_EQ(Qzcard({"frames", root, "QZ0001", "--out", "3"}).exitCode, 0);
    // A broken first file: no movie at all.
    std::ofstream(clip.mxfPaths[0], std::ios::trunc) << "not an MXF file";
    run = Qzcard({"frames", root, "QZ0001"});
    EXPECT_EQ(run.exitCode, 4);
    EXPECT_NE(run.err.find("QZ000101.MXF"), std::string::npos) << run.err;
}
