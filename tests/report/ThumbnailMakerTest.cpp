// Report thumbnails against the number the card writer draws on every
// picture (its presentation index in the clip) and against ffprobe's
// picture types: each shows the I picture presented at or before the asked
// point (the clip's first I picture before it), at 16:9 whatever the stored
// size, and interlaced pictures are said to be so as ffprobe says.
#include <gtest/gtest.h>
#include "DecodedPictures.h"
#include "ExternalTool.h"
#include "QzcardRun.h"
#include "ScratchFolder.h"

#include <nlohmann/json.hpp>

#include <sstream>
#include <string>
#include <vector>

namespace {

using qztest::Qzcard;
using qztest::ShellQuote;

// The picture types of a clip's member files in presentation order ("IBBP...").
std::string PresentedTypes(const std::vector<std::string>& members) {
    std::string types;
    for (const std::string& file : members) {
        const qztest::CommandResult run = qztest::RunCommand(
            "ffprobe -v error -select_streams v:0 -show_entries frame=pict_type -of csv=p=0 " +
            ShellQuote(file));
        for (char c : run.output)
            if (c == 'I' || c == 'P' || c == 'B') types += c;
    }
    return types;
}

bool Interlaced(const std::string& member) {
    const qztest::CommandResult run = qztest::RunCommand(
        "ffprobe -v error -select_streams v:0 -read_intervals %+#1 -show_entries frame=interlaced_frame -of "
        "csv=p=0 " +
        ShellQuote(member));
    return run.output.find('1') != std::string::npos;
}

TEST(ThumbnailMakerTest, EachThumbnailShowsTheIPictureAtOrBeforeTheAskedPoint) {
    QZ_REQUIRE_TOOL("ffmpeg");
    QZ_REQUIRE_TOOL("ffprobe");
    qztest::ScratchFolder scratch("thumbs");
    const std::string card = scratch.Path() + "/card";
    ASSERT_EQ(Qzcard({"sample-card", card, "--frames", "40"}).exitCode, 0);
    const struct {
        std::vector<std::string> options;
        size_t perClip;
    } runs[] = {{{}, 1},
                {{"--at", "0"}, 1},
                {{"--at", "37", "--thumbnails", "2"}, 2},
                {{"--at", "50%", "--thumbnails", "3"}, 3}};
    for (const auto& r : runs) {
        SCOPED_TRACE(testing::PrintToString(r.options));
        std::vector<std::string> args = {"report", card, "-o", scratch.Path() + "/out"};
        args.insert(args.end(), r.options.begin(), r.options.end());
        ASSERT_EQ(Qzcard(args).exitCode, 0);
        const nlohmann::json report =
            qztest::ParseJson(qztest::ReadText(scratch.Path() + "/out/report.json"));
        for (const auto& clip : report["cards"][0]["clips"]) {
            const std::string id = clip["clipId"];
            SCOPED_TRACE(id);
            const std::vector<std::string> members = qztest::MemberFiles(card, id);
            const std::string types = PresentedTypes(members);
            int width = 0, height = 0;
            char x = 0;
            std::istringstream(clip["pictureSize"].get<std::string>()) >> width >> x >> height;
            ASSERT_EQ(clip["thumbnails"].size(), r.perClip);
            for (const auto& t : clip["thumbnails"]) {
                const int64_t asked = t["askedFrame"];
                int64_t expected = -1;
                for (int64_t p = 0; p < static_cast<int64_t>(types.size()); ++p)
                    if (types[p] == 'I' && (p <= asked || expected < 0)) expected = p;
                EXPECT_EQ(t["frame"], expected) << "asked " << asked << " of " << types;
                EXPECT_EQ(qztest::DrawnNumberOf(scratch.Path() + "/out/" + t["file"].get<std::string>(),
                                                width, height),
                          expected);
                EXPECT_EQ(t["width"], 480);
                EXPECT_EQ(t["height"], 270);  // 16:9, also for 1440x1080
                EXPECT_EQ(t["interlaced"], Interlaced(members[0]));
            }
            if (r.options.empty()) {
                EXPECT_EQ(clip["thumbnails"][0]["askedFrame"], types.size() / 10);
            }
        }
    }
}

}  // namespace
