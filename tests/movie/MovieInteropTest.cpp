// The movie's presentation order and picture element sizes on OP1a files
// that ffmpeg writes (open and closed GOPs, leading B pictures), against
// ffprobe's packet list of the same file; the picture elements of whole
// written clips decoded by ffmpeg.
#include "DrawnNumber.h"
#include "ExternalTool.h"
#include "FBCMovieSample.h"
#include "FBCMovieStreamForQT.h"
#include "FfprobePackets.h"
#include "MXFStream.h"
#include "MovieTestSupport.h"
#include "ScratchFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

using namespace ComVantoVantoQZ64RADPlug;
using movie_test::Str;

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
                                     "-c:v mpeg2video -sc_threshold 1000000000 " +
                                     std::string(c.options) + " -f mxf " + qztest::ShellQuote(path))
                      .exitCode,
                  0);
        const std::vector<qztest::ProbedPacket> packets = qztest::ProbePackets(path);
        CUSharedPtr<FBCMovieStreamForQT> movie = FBCMovieStreamForQT::Create(Str(path));
        ASSERT_TRUE(movie);
        ASSERT_EQ(movie->FrameCountInClip(), packets.size());
        const int32_t picture = movie->trackIndexFromType(kMxfTrackPicture, 0);
        for (uint32_t f = 0; f < packets.size(); ++f) {
            EXPECT_EQ(f + movie->DisplayOffsetAtIndex(f), packets[f].rank) << "frame " << f;
            uint32_t local = 0;
            CUSharedPtr<MXFStream> stream = movie->mxfAtFrameIndex(f, &local);
            ASSERT_TRUE(stream);
            EXPECT_EQ(stream->RangeEssenceData(local, static_cast<uint32_t>(picture)).second,
                      packets[f].size);
            const bool sync = (movie->sampleFlagAtIndex(f) & kMediaSampleNotSync) == 0;
            EXPECT_TRUE(!sync || packets[f].key) << "frame " << f;
        }
    }
}

// The picture elements of a spanned clip, in stored order, decode to
// pictures that come out in the movie's presentation order, each showing
// its own presentation index (the card writer draws it).
TEST(MovieInteropTest, PicturesOfWrittenClipsDecodeInPresentationOrder) {
    QZ_REQUIRE_TOOL("ffmpeg");
    QZ_REQUIRE_TOOL("ffprobe");
    namespace cw = ComVantoVantoQZ64RADPlug::CardWriter;
    for (cw::FrameRate rate : {cw::FrameRate::k25p, cw::FrameRate::k59_94i}) {
        SCOPED_TRACE(cw::FrameRateName(rate));
        qztest::ScratchFolder folder("interop");
        const qztest::WrittenClip clip =
            qztest::WriteClip(folder.Path(), qztest::SmallClip(rate, {10, 14, 9}, false, 0));
        CUSharedPtr<FBCMovieSample> movie = FBCMovieSample::Create(Str(clip.cifPath));
        ASSERT_TRUE(movie);
        int32_t width = 0, height = 0;
        ASSERT_EQ(movie->GetVideoInfoFromTrack(movie->MxfTrackInfoFromType(kMxfTrackPicture, 0)->track,
                                               &width, &height),
                  0u);
        const std::string es = folder.Path() + "/clip.m2v";
        std::map<int64_t, uint32_t> frameAt;  // byte position in the stream -> stored frame
        {
            std::ofstream out(es, std::ios::binary);
            std::vector<unsigned char> buffer(1 << 20);
            for (uint32_t f = 0; f < movie->FrameCountInClip(); ++f) {
                const uint32_t n =
                    movie->ReadSampleData(f, kMxfTrackPicture, 0, buffer.data(), buffer.size());
                ASSERT_GT(n, 0u);
                frameAt[out.tellp()] = f;
                out.write(reinterpret_cast<const char*>(buffer.data()), n);
            }
        }
        const qztest::CommandResult probe =
            qztest::RunCommand("ffprobe -v error -f mpegvideo -show_entries frame=pkt_pos -of csv=p=0 " +
                               qztest::ShellQuote(es));
        std::vector<int64_t> order;  // stored frame of each decoded picture, in output order
        std::istringstream lines(probe.output);
        for (std::string line; std::getline(lines, line);)
            if (!line.empty())
                order.push_back(frameAt.count(std::stoll(line)) ? frameAt[std::stoll(line)] : -1);
        ASSERT_EQ(order.size(), movie->FrameCountInClip());
        for (size_t k = 0; k < order.size(); ++k)
            EXPECT_EQ(
                order[k] < 0 ? -1 : order[k] + movie->DisplayOffsetAtIndex(static_cast<uint32_t>(order[k])),
                static_cast<int64_t>(k));

        const std::string gray = folder.Path() + "/clip.gray";
        ASSERT_EQ(qztest::RunCommand("ffmpeg -nostdin -v error -f mpegvideo -i " + qztest::ShellQuote(es) +
                                     " -f rawvideo -pix_fmt gray -y " + qztest::ShellQuote(gray))
                      .exitCode,
                  0);
        const std::vector<uint8_t> pixels = movie_test::ReadBytes(gray);
        const size_t frameBytes = static_cast<size_t>(width) * static_cast<size_t>(height);
        ASSERT_EQ(pixels.size(), frameBytes * order.size());
        for (size_t k = 0; k < order.size(); ++k)
            EXPECT_EQ(qztest::ReadNumber(&pixels[k * frameBytes], width, height), static_cast<int64_t>(k));
    }
}
