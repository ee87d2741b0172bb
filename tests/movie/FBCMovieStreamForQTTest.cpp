// Time base of written clips: conversions between times and frame indices
// at their edges, and edit rates that are not rates.
#include "FBCMovieStreamForQT.h"
#include "MovieTestSupport.h"
#include "ScratchClip.h"
#include "ScratchFolder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace ComVantoVantoQZ64RADPlug;
using movie_test::Str;
using qztest::ScratchFolder;
namespace cw = ComVantoVantoQZ64RADPlug::CardWriter;

TEST(FBCMovieStreamForQTTest, TimesBecomeFramesClampedToTheClip) {
    constexpr double kInf = std::numeric_limits<double>::infinity();
    const double kNaN = std::nan("");
    struct Case {
        cw::FrameRate rate;
        double seconds;
        uint32_t frame;
    } cases[] = {
        {cw::FrameRate::k29_97p, 1.0, 30}, {cw::FrameRate::k29_97p, 0.0333666, 1},
        {cw::FrameRate::k29_97p, 0.03, 0}, {cw::FrameRate::k25p, 0.96, 24},
        {cw::FrameRate::k25p, 0.9, 22},    {cw::FrameRate::k25p, -1.0, 0},
        {cw::FrameRate::k25p, 100.0, 40},  {cw::FrameRate::k25p, 1e300, 40},
        {cw::FrameRate::k25p, 3e9, 40},    {cw::FrameRate::k25p, kInf, 40},
        {cw::FrameRate::k25p, -kInf, 0},   {cw::FrameRate::k25p, kNaN, 0},
    };
    ScratchFolder folder("timing");
    CUSharedPtr<FBCMovieStreamForQT> movies[2];
    for (int i = 0; i < 2; ++i) {
        const auto rate = i == 0 ? cw::FrameRate::k29_97p : cw::FrameRate::k25p;
        const std::string root = folder.Path() + "/" + std::to_string(i);
        movies[i] =
            FBCMovieStreamForQT::Create(Str(qztest::WriteClip(root, qztest::SmallClip(rate, {40})).cifPath));
        ASSERT_TRUE(movies[i]);
    }
    for (const Case& c : cases) {
        const FBCMovieStreamForQT& movie = *movies[c.rate == cw::FrameRate::k25p ? 1 : 0];
        EXPECT_EQ(movie.frameIndexAtMovieTime(c.seconds), c.frame) << c.seconds;
    }
    const FBCMovieStreamForQT& ntsc = *movies[0];
    EXPECT_EQ(ntsc.frameIndexAtMediaTime(2002), 2);
    EXPECT_EQ(ntsc.frameIndexAtMediaTime(2001), 1);
    EXPECT_EQ(ntsc.frameIndexAtMediaTime(-2002), 0);
    EXPECT_EQ(ntsc.frameIndexAtMediaTime(std::numeric_limits<int64_t>::max()), 40);
}

// An edit rate of 30000/0 or 30000/-1001 gives no time base: the movie does
// not initialise and no conversion divides by it.
TEST(FBCMovieStreamForQTTest, EditRateMustBePositiveOverPositive) {
    const qztest::ScratchClip clip("timing", qztest::SmallClip(cw::FrameRate::k29_97p, {12}));
    const std::vector<uint8_t> written = qztest::ReadFile(clip.mxfPaths[0]);
    for (int64_t denominator : {0, -1001}) {
        std::vector<uint8_t> bytes = written;
        const std::vector<uint8_t> rate = qztest::BigEndian(30000ull << 32 | uint32_t(denominator), 8);
        ASSERT_GE(qztest::PatchItems(bytes, clip.layouts[0].bodyPartitions.at(0), 0x4B01, 8, 0x4B01, rate),
                  2);
        ASSERT_TRUE(qztest::WriteFile(clip.mxfPaths[0], bytes));
        EXPECT_FALSE(FBCMovieStreamForQT::Create(Str(clip.cifPath)));
        CUSharedPtr<FBCMovieStreamForQT> movie(new FBCMovieStreamForQT());
        EXPECT_FALSE(movie->Init(Str(clip.cifPath)));
        EXPECT_EQ(movie->durationPerFrame(), 0u);
        EXPECT_EQ(movie->frameIndexAtMediaTime(1001), -1);
        EXPECT_EQ(movie->frameIndexAtMovieTime(1.0), 0u);
        EXPECT_TRUE(movie->LastFailure().Failed());
    }
}
