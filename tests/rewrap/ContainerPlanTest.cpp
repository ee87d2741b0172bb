// PlanContainer: sound layouts, codec tags, each rate's start timecode in MOV and MXF, streams it refuses.
#include "ContainerPlan.h"
#include "ImportError.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using enum qzrewrap::Container;
using qzrewrap::ContainerPlan;

const auto Ratio = [](qzrewrap::Rational r) { return std::to_string(r.num) + "/" + std::to_string(r.den); };
const auto Timecode = [](const ContainerPlan& p) { return p.timecode + "@" + Ratio(p.timecodeRate); };

std::string Text(const ContainerPlan& p) {
    std::string t = p.codecTag + " " + Ratio(p.pixelAspect);
    for (const auto& s : p.sound) t += " " + std::to_string(s.firstTrack) + "+" + std::to_string(s.channels);
    return t;
}

TEST(ContainerPlanTest, EachSoundLayoutPictureAndStartTimecodeAndTheStreamsItRefuses) {
    const struct {  // perLabel: pictures per timecode label; second: the first one's place under it
        uint32_t timescale, frameDuration, tracks, width, perLabel, second;
        bool pairs;  // start: ';' is drop-frame; plan: MOV's "tag aspect track+channels...", both starts
        const char *codecType, *start, *plan;
    } cases[] = {
        {30000, 1001, 4, 1920, 1, 0, false, "xd5b", "", "xd5b 1/1 0+1 1+1 2+1 3+1 @0/1 @0/1"},
        {25, 1, 3, 1920, 1, 0, true, "xdv3", "", "xdv3 1/1 0+2 2+1 @0/1 @0/1"},
        {30000, 1001, 0, 1920, 1, 0, false, "xd5g", "01:00:00;10",
         "m2v1 1/1 01:00:00;10@30000/1001 01:00:00;10@30000/1001"},
        {50, 1, 0, 1920, 2, 0, false, "xd5b", "01:00:00:12", "xd5b 1/1 01:00:00:12@25/1 01:00:00:24@50/1"},
        {60000, 1001, 0, 1920, 2, 1, false, "xd5b", "01:00:00;29",
         "xd5b 1/1 01:00:00;29@30000/1001 01:00:00;59@60000/1001"}};
    qzimport::ExportStreamInfo s;
    qzimport::OutputOptions options;
    for (const auto& c : cases) {
        s.timescale = c.timescale, s.frameDuration = c.frameDuration, s.width = c.width, s.height = 1080;
        s.soundTracks = c.tracks, s.codecType = c.codecType, s.startTimecode = c.start;
        s.dropFrame = std::string(c.start).find(';') != std::string::npos, options.stereoPairs = c.pairs;
        s.picturesPerTimecodeFrame = c.perLabel, s.pictureInTimecodeFrame = c.second;
        const ContainerPlan mov = PlanContainer(kMov, s, options), mxf = PlanContainer(kMxf, s, options);
        EXPECT_EQ(Text(mov) + " " + Timecode(mov) + " " + Timecode(mxf), c.plan);
        EXPECT_EQ(Text(mxf), Text(mov).substr(mov.codecTag.size()));  // no tag, the same picture and sound
    }

    void (*const changes[])(qzimport::ExportStreamInfo&) = {
        [](auto& r) { r.frameDuration = 0; }, [](auto& r) { r.timescale = int64_t{1} << 40; },
        [](auto& r) { r.sampleRate = 0; }, [](auto& r) { r.displayAspectHeight = 0; },
        [](auto& r) { r.startTimecode = "01:60:00:00x"; }};
    for (const auto& change : changes) {  // each makes the last stream one it cannot describe
        qzimport::ExportStreamInfo refused = s;
        change(refused);
        EXPECT_THROW(PlanContainer(kMxf, refused, {}), qzimport::ImportError) << &change - changes;
    }
}

}  // namespace
