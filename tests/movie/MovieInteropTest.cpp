// The movie against ffmpeg: presentation order and picture sizes of files
// ffmpeg writes against ffprobe's packets, and the pictures of written
// clips decoded by ffmpeg.
#include "DecodedPictures.h"
#include "ExternalTool.h"
#include "FBCMovieSample.h"
#include "FBCMovieStreamForQT.h"
#include "FfprobePackets.h"
#include "MXFStream.h"
#include "MovieTestSupport.h"

#include <algorithm>
#include <string>
#include <vector>

using namespace ComVantoVantoQZ64RADPlug;
using namespace movie_test;

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
        {"one group, no later I picture", "-g 300 -bf 2 -flags -cgop"},
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
    for (cw::FrameRate rate : {cw::FrameRate::k25p, cw::FrameRate::k59_94i}) {
        SCOPED_TRACE(cw::FrameRateName(rate));
        const qztest::ScratchClip clip("interop", qztest::SmallClip(rate, {10, 14, 9}, false, 0));
        CUSharedPtr<FBCMovieSample> movie = FBCMovieSample::Create(Str(clip.cifPath));
        ASSERT_TRUE(movie);
        int32_t width = 0, height = 0;
        ASSERT_EQ(movie->GetVideoInfoFromTrack(movie->MxfTrackInfoFromType(kMxfTrackPicture, 0)->track,
                                               &width, &height),
                  0u);
        std::vector<std::vector<uint8_t>> pictures;
        std::vector<unsigned char> buffer(1 << 20);
        for (uint32_t f = 0; f < movie->FrameCountInClip(); ++f) {
            const uint32_t n = movie->ReadSampleData(f, kMxfTrackPicture, 0, buffer.data(), buffer.size());
            ASSERT_GT(n, 0u);
            pictures.emplace_back(buffer.begin(), buffer.begin() + n);
        }
        const qztest::DecodedPictures decoded = qztest::DecodePictures(clip.root, pictures, width, height);
        ASSERT_EQ(decoded.stored.size(), pictures.size());
        ASSERT_EQ(decoded.numbers.size(), pictures.size());
        for (size_t k = 0; k < pictures.size(); ++k) {
            const int64_t f = decoded.stored[k];
            EXPECT_EQ(f < 0 ? -1 : f + movie->DisplayOffsetAtIndex(static_cast<uint32_t>(f)), int64_t(k));
            EXPECT_EQ(decoded.numbers[k], int64_t(k));
        }
    }
}
