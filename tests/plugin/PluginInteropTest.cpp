// Whole written clips read through the host sample model against ffmpeg
// reading the same member files: the video samples of each file are the
// bytes of ffmpeg's stream copy, their presentation times step as ffprobe's
// packet times do, and the stereo samples are ffmpeg's first two audio
// streams merged as 16-bit little-endian.
#include "ExternalTool.h"
#include "FfprobePackets.h"
#include "PluginTestSupport.h"
#include "ScratchClip.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace ComVantoVantoQZ64RADPlug;
using plugin_test::BytesOf;
using plugin_test::SampleHolder;
namespace cw = ComVantoVantoQZ64RADPlug::CardWriter;

TEST(PluginInteropTest, VideoAndStereoAudioEqualFfmpegsOwn) {
    QZ_REQUIRE_TOOL("ffmpeg");
    QZ_REQUIRE_TOOL("ffprobe");
    const struct {
        cw::FrameRate rate;
        std::vector<uint32_t> members;
        bool closedGop;
        uint32_t channels;
    } cases[] = {
        {cw::FrameRate::k25p, {13, 11}, false, 4},
        {cw::FrameRate::k29_97p, {14}, true, 2},
        {cw::FrameRate::k59_94p, {9, 10}, false, 2},
        {cw::FrameRate::k59_94i, {12}, false, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(cw::FrameRateName(c.rate));
        const qztest::ScratchClip clip("plugin-interop",
                                       qztest::SmallClip(c.rate, c.members, c.closedGop, c.channels));
        auto movie = plugin_test::Open(clip.cifPath);
        ASSERT_TRUE(movie);
        const int64_t duration = movie->FrameDuration();
        uint32_t first = 0;
        for (size_t m = 0; m < clip.mxfPaths.size(); ++m) {
            SCOPED_TRACE(clip.mxfPaths[m]);
            const std::string file = qztest::ShellQuote(clip.mxfPaths[m]);
            std::string video, audio;
            std::vector<int64_t> pts;
            for (uint32_t f = first; f < first + c.members[m]; ++f) {
                SampleHolder picture = SampleHolder::Adopt(movie->createVideoSampleBufferAtIndex(f));
                SampleHolder sound = plugin_test::FrameAudio(*movie, f);
                ASSERT_TRUE(picture && sound) << f;
                const std::vector<uint8_t> v = BytesOf(picture.Get()), a = BytesOf(sound.Get());
                video.append(v.begin(), v.end());
                audio.append(a.begin(), a.end());
                const CMTime t = CMSampleBufferGetPresentationTimeStamp(picture.Get());
                ASSERT_EQ(t.value % duration, 0);
                pts.push_back(t.value / duration);
            }
            const qztest::CommandResult copy = qztest::RunCommand("ffmpeg -nostdin -loglevel error -i " +
                                                                  file + " -map 0:v -c copy -f mpeg2video -");
            ASSERT_EQ(copy.exitCode, 0);
            EXPECT_TRUE(copy.output == video)
                << "ffmpeg " << copy.output.size() << " bytes, ours " << video.size();
            const qztest::CommandResult stereo = qztest::RunCommand(
                "ffmpeg -nostdin -loglevel error -i " + file +
                " -filter_complex '[0:a:0][0:a:1]amerge=inputs=2[s]' -map '[s]' -c:a pcm_s16le -f s16le -");
            ASSERT_EQ(stereo.exitCode, 0);
            EXPECT_TRUE(stereo.output == audio)
                << "ffmpeg " << stereo.output.size() << " bytes, ours " << audio.size();
            const std::vector<qztest::ProbedPacket> packets = qztest::ProbePackets(clip.mxfPaths[m]);
            ASSERT_EQ(packets.size(), pts.size());
            const int64_t ours0 = *std::min_element(pts.begin(), pts.end());
            long theirs0 = packets[0].pts;
            for (const qztest::ProbedPacket& p : packets) theirs0 = std::min(theirs0, p.pts);
            for (size_t i = 0; i < pts.size(); ++i) EXPECT_EQ(pts[i] - ours0, packets[i].pts - theirs0) << i;
            first += c.members[m];
        }
    }
}
