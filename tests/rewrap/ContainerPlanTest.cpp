// PlanContainer in tables: each container against each sound layout and
// picture (codec tag, pixel aspect), each rate's start timecode as each
// container counts it (a first picture second under its label, as a later
// piece or an in point may start), and the streams it refuses.
#include "ContainerPlan.h"
#include "ImportError.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>

namespace {

using qzrewrap::Container;
using Stream = qzimport::ExportStreamInfo;

Stream Picture(int64_t timescale, int64_t frameDuration) {
    Stream s;
    s.timescale = timescale, s.frameDuration = frameDuration;
    s.width = 1920, s.height = 1080, s.soundTracks = 4, s.codecType = "xd5b";
    return s;
}

// "tag aspect timecode@rate firstTrack+channels..."
std::string Text(const qzrewrap::ContainerPlan& p) {
    std::string text = p.codecTag + " " + std::to_string(p.pixelAspect.num) + ":" +
                       std::to_string(p.pixelAspect.den) + " " + p.timecode + "@" +
                       std::to_string(p.timecodeRate.num) + "/" + std::to_string(p.timecodeRate.den);
    for (const qzrewrap::SoundStream& s : p.sound)
        text += " " + std::to_string(s.firstTrack) + "+" + std::to_string(s.channels);
    return text;
}

TEST(ContainerPlanTest, EachContainerSoundLayoutPictureAndStartTimecode) {
    const struct {
        int64_t timescale, frameDuration;
        uint32_t tracks, width;
        bool pairs;
        const char *codecType, *start;  // a start with ';' is drop-frame
        uint32_t perLabel, second;      // pictures per timecode label; the first picture's place under it
        const char *mov, *mxf;
    } cases[] = {
        {30000, 1001, 4, 1920, false, "xd5b", "", 1, 0, "xd5b 1:1 @0/1 0+1 1+1 2+1 3+1",
         " 1:1 @0/1 0+1 1+1 2+1 3+1"},
        {30000, 1001, 4, 1920, true, "xd5b", "", 1, 0, "xd5b 1:1 @0/1 0+2 2+2", " 1:1 @0/1 0+2 2+2"},
        {25, 1, 3, 1920, true, "xdv3", "", 1, 0, "xdv3 1:1 @0/1 0+2 2+1", " 1:1 @0/1 0+2 2+1"},
        {25, 1, 0, 1440, false, "qzz1", "", 1, 0, "m2v1 4:3 @0/1", " 4:3 @0/1"},
        {30000, 1001, 0, 1920, false, "xd5g", "01:00:00;10", 1, 0, "m2v1 1:1 01:00:00;10@30000/1001",
         " 1:1 01:00:00;10@30000/1001"},
        {50, 1, 0, 1920, false, "xd5b", "01:00:00:12", 2, 0, "xd5b 1:1 01:00:00:12@25/1",
         " 1:1 01:00:00:24@50/1"},
        {60000, 1001, 0, 1920, false, "xd5b", "01:00:00;29", 2, 1, "xd5b 1:1 01:00:00;29@30000/1001",
         " 1:1 01:00:00;59@60000/1001"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mov);
        Stream stream = Picture(c.timescale, c.frameDuration);
        stream.soundTracks = c.tracks, stream.width = c.width, stream.codecType = c.codecType;
        stream.startTimecode = c.start,
        stream.dropFrame = std::string(c.start).find(';') != std::string::npos;
        stream.picturesPerTimecodeFrame = c.perLabel, stream.pictureInTimecodeFrame = c.second;
        qzimport::OutputOptions options;
        options.stereoPairs = c.pairs;
        EXPECT_EQ(Text(PlanContainer(Container::kMov, stream, options)), c.mov);
        EXPECT_EQ(Text(PlanContainer(Container::kMxf, stream, options)), c.mxf);
    }
}

TEST(ContainerPlanTest, StreamsItCannotDescribeAreRefused) {
    void (*const changes[])(Stream&) = {
        [](Stream& s) { s.frameDuration = 0; },
        [](Stream& s) { s.timescale = int64_t{1} << 40; },
        [](Stream& s) { s.sampleRate = 0; },
        [](Stream& s) { s.displayAspectHeight = 0; },
        [](Stream& s) { s.bitsPerSample = 8; },
        [](Stream& s) { s.startTimecode = "01:00:00:30"; },
        [](Stream& s) { s.startTimecode = "01:60:00:00x"; },
        [](Stream& s) {
            s.timescale = 25, s.frameDuration = 1, s.dropFrame = true, s.startTimecode = "01:00:00;00";
        },
    };
    for (size_t i = 0; i < std::size(changes); ++i) {
        Stream stream = Picture(30000, 1001);
        changes[i](stream);
        EXPECT_THROW(PlanContainer(Container::kMxf, stream, {}), qzimport::ImportError) << "case " << i;
    }
}

}  // namespace
