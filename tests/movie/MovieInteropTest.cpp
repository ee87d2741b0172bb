// The movie's presentation order and picture element sizes on OP1a files
// that ffmpeg writes (open and closed GOPs, leading B pictures), against
// ffprobe's packet list of the same file.
#include "ExternalTool.h"
#include "FBCMovieStreamForQT.h"
#include "MXFStream.h"
#include "MovieTestSupport.h"
#include "ScratchFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

using namespace ComVantoVantoQZ64RADPlug;
using movie_test::Str;

namespace {

struct Packet {
    int64_t pts = 0;
    uint64_t size = 0;
    bool key = false;
};

// Video packets in stored order: "pts,size,flags" lines.
std::vector<Packet> ProbePackets(const std::string& path) {
    const qztest::CommandResult run = qztest::RunCommand(
        "ffprobe -v error -select_streams v:0 -show_entries packet=pts,size,flags -of csv=p=0 " +
        qztest::ShellQuote(path));
    EXPECT_EQ(run.exitCode, 0);
    std::vector<Packet> packets;
    std::istringstream lines(run.output);
    std::string line;
    while (std::getline(lines, line)) {
        Packet p;
        char flags[8] = {};
        if (std::sscanf(line.c_str(), "%ld,%lu,%7s", &p.pts, &p.size, flags) < 2) continue;
        p.key = flags[0] == 'K';
        packets.push_back(p);
    }
    return packets;
}

}  // namespace

TEST(MovieInteropTest, PresentationOrderOfFfmpegFilesIsFfprobesPtsOrder) {
    QZ_REQUIRE_TOOL("ffmpeg");
    QZ_REQUIRE_TOOL("ffprobe");
    const struct {
        const char* name;
        const char* options;
    } cases[] = {
        {"open GOP, 2 B", "-g 12 -bf 2 -flags -cgop"},
        {"closed GOP, 2 B", "-g 12 -bf 2 -flags +cgop"},
        {"open GOP, 3 B", "-g 15 -bf 3 -flags -cgop"},
        {"no B", "-g 6 -bf 0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        qztest::ScratchFolder folder("interop");
        const std::string path = folder.Path() + "/ffmpeg.mxf";
        ASSERT_EQ(qztest::RunCommand("ffmpeg -v error -f lavfi -i testsrc=size=320x240:rate=25 -frames:v 40 "
                                     "-c:v mpeg2video -sc_threshold 1000000000 " + std::string(c.options) + " -f mxf " +
                                     qztest::ShellQuote(path))
                      .exitCode,
                  0);
        const std::vector<Packet> packets = ProbePackets(path);
        CUSharedPtr<FBCMovieStreamForQT> movie = FBCMovieStreamForQT::Create(Str(path));
        ASSERT_TRUE(movie);
        ASSERT_EQ(movie->FrameCountInClip(), packets.size());
        std::vector<int64_t> ranks;  // presentation rank of each stored packet by its pts
        for (const Packet& p : packets) {
            int64_t rank = 0;
            for (const Packet& q : packets) rank += q.pts < p.pts;
            ranks.push_back(rank);
        }
        const int32_t picture = movie->trackIndexFromType(kMxfTrackPicture, 0);
        for (uint32_t f = 0; f < packets.size(); ++f) {
            EXPECT_EQ(f + movie->DisplayOffsetAtIndex(f), ranks[f]) << "frame " << f;
            uint32_t local = 0;
            CUSharedPtr<MXFStream> stream = movie->mxfAtFrameIndex(f, &local);
            ASSERT_TRUE(stream);
            EXPECT_EQ(stream->RangeEssenceData(local, static_cast<uint32_t>(picture)).second, packets[f].size);
            const bool sync = (movie->sampleFlagAtIndex(f) & kMediaSampleNotSync) == 0;
            EXPECT_TRUE(!sync || packets[f].key) << "frame " << f;
        }
    }
}
