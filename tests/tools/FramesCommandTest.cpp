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
        EXPECT_EQ(out["clip"], "QZ0001");
        EXPECT_EQ(out["timescale"], traits.editRateNumerator);
        EXPECT_EQ(out["frame_duration"], traits.editRateDenominator);
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
            EXPECT_EQ(row["local_index"], w.local);
            EXPECT_EQ(row["type"], std::string(1, w.record.type));
            const char* sync = w.record.type != 'I' ? "none" : w.local == 0 ? "full" : "partial";
            EXPECT_EQ(row["sync"], sync);
            EXPECT_EQ(row["temporal_offset"], w.record.temporalOffset);
            EXPECT_EQ(row["key_frame_offset"], w.record.keyFrameOffset);
            EXPECT_EQ(row["display_offset"], w.record.displayOffset);
            EXPECT_EQ(row["offset"], w.record.pictureOffset);
            EXPECT_EQ(row["size"], w.record.pictureSize);
            EXPECT_EQ(row["decode_time"], f * traits.editRateDenominator);
            const int64_t position = static_cast<int64_t>(f) + w.record.displayOffset;
            EXPECT_EQ(row["presentation_time"], position * traits.editRateDenominator);
            if (position >= 0 && position < static_cast<int64_t>(frames.size())) presented[position] = true;
            EXPECT_TRUE(position != 0 || row["timecode"] == "01:00:00:00") << row["timecode"];

            // ffprobe: the same picture sizes, and the file's presentation
            // order is the order of its packets' pts.
            const std::vector<qztest::ProbedPacket>& file = packets[w.member];
            ASSERT_EQ(file.size(), clip.layouts[w.member].frames.size());
            EXPECT_EQ(file[w.local].size, w.record.pictureSize);
            EXPECT_EQ(file[w.local].key, w.record.type == 'I');
            EXPECT_EQ(file[w.local].rank,
                      static_cast<int64_t>(w.local) + row["display_offset"].get<int64_t>());
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
        {"", 0, 26},         {"--in 3 --out 4", 0, 5},         {"--in 13 --out 20", 7, 20},
        {"--in 20", 13, 26}, {"--in 1000 --out 1000", 18, 26}, {"--out 0", 0, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        const json out = FramesJson(folder.Path(), c.options);
        ASSERT_FALSE(out["frames"].empty());
        EXPECT_EQ(out["frames"].front()["index"], c.first);
        EXPECT_EQ(out["frames"].back()["index"], c.last);
        EXPECT_EQ(out["frames"].size(), c.last - c.first + 1);
        EXPECT_EQ(out["frames"].front()["decode_time"], 0);
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
