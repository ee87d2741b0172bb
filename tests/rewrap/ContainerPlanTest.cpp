// PlanContainer, the pure plan of a movie output: every container against
// every sound layout, each rate family's start timecode (a first picture
// that is the second under its label, as a recording's later piece or an
// in point may start), the pixel aspect of each picture size, and the
// streams it refuses.
#include "ContainerPlan.h"
#include "ImportError.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using qzrewrap::Container;
using qzrewrap::FieldOrder;
using qzrewrap::PlanContainer;

qzimport::ExportStreamInfo Stream(int64_t timescale, int64_t frameDuration, uint32_t perLabel = 1) {
    qzimport::ExportStreamInfo stream;
    stream.clipId = "QZ0001";
    stream.timescale = timescale;
    stream.frameDuration = frameDuration;
    stream.width = 1920;
    stream.height = 1080;
    stream.soundTracks = 4;
    stream.picturesPerTimecodeFrame = perLabel;
    stream.metadata = {{"mediumId", "515A4341-5244-4000-8000-000000000001"}, {"title", "Take 1"}};
    return stream;
}

TEST(ContainerPlanTest, EveryContainerAgainstEverySoundLayout) {
    const struct {
        uint32_t tracks;
        bool pairs;
        std::vector<std::pair<uint32_t, uint32_t>> streams;  // first track, channels
    } layouts[] = {
        {0, false, {}},
        {2, false, {{0, 1}, {1, 1}}},
        {4, false, {{0, 1}, {1, 1}, {2, 1}, {3, 1}}},
        {2, true, {{0, 2}}},
        {4, true, {{0, 2}, {2, 2}}},
        {3, true, {{0, 2}, {2, 1}}},  // the odd last track stays mono
    };
    for (const Container container : {Container::kMov, Container::kMxf})
        for (const auto& layout : layouts) {
            SCOPED_TRACE(qzrewrap::ContainerName(container) + " " + std::to_string(layout.tracks) +
                         (layout.pairs ? " pairs" : " mono"));
            qzimport::ExportStreamInfo stream = Stream(30000, 1001);
            stream.soundTracks = layout.tracks;
            stream.codecType = "xd5b";
            qzimport::OutputOptions options;
            options.stereoPairs = layout.pairs;
            const qzrewrap::ContainerPlan plan = PlanContainer(container, stream, options);
            std::vector<std::pair<uint32_t, uint32_t>> streams;
            for (const qzrewrap::SoundStream& s : plan.sound) streams.emplace_back(s.firstTrack, s.channels);
            EXPECT_EQ(streams, layout.streams);
            EXPECT_EQ(plan.codecTag, container == Container::kMov ? "xd5b" : "");
            EXPECT_EQ(plan.reelName, "515A4341-5244-4000-8000-000000000001");
            EXPECT_TRUE(plan.timecode.empty());
            const std::string titleKey = container == Container::kMov ? "title" : "material_package_name";
            EXPECT_NE(std::find(plan.metadata.begin(), plan.metadata.end(),
                                std::pair<std::string, std::string>(titleKey, "Take 1")),
                      plan.metadata.end());
        }
}

TEST(ContainerPlanTest, StartTimecodeOfEachRateAsEachContainerCountsIt) {
    const struct {
        const char* rate;
        int64_t timescale, frameDuration;
        uint32_t perLabel, secondPicture;
        bool dropFrame;
        const char* start;
        const char* mov;
        int64_t movRate[2];
        const char* mxf;
        int64_t mxfRate[2];
    } cases[] = {
        {"29.97 DF",
         30000,
         1001,
         1,
         0,
         true,
         "01:00:00;10",
         "01:00:00;10",
         {30000, 1001},
         "01:00:00;10",
         {30000, 1001}},
        {"25", 25, 1, 1, 0, false, "10:59:59:24", "10:59:59:24", {25, 1}, "10:59:59:24", {25, 1}},
        {"23.98",
         24000,
         1001,
         1,
         0,
         false,
         "00:00:00:23",
         "00:00:00:23",
         {24000, 1001},
         "00:00:00:23",
         {24000, 1001}},
        {"50p, first under its label",
         50,
         1,
         2,
         0,
         false,
         "01:00:00:12",
         "01:00:00:12",
         {25, 1},
         "01:00:00:24",
         {50, 1}},
        {"59.94p, second under its label",
         60000,
         1001,
         2,
         1,
         true,
         "01:00:00;29",
         "01:00:00;29",
         {30000, 1001},
         "01:00:00;59",
         {60000, 1001}},
    };
    for (const auto& c : cases)
        for (const Container container : {Container::kMov, Container::kMxf}) {
            SCOPED_TRACE(std::string(c.rate) + " " + qzrewrap::ContainerName(container));
            qzimport::ExportStreamInfo stream = Stream(c.timescale, c.frameDuration, c.perLabel);
            stream.startTimecode = c.start;
            stream.dropFrame = c.dropFrame;
            stream.pictureInTimecodeFrame = c.secondPicture;
            const qzrewrap::ContainerPlan plan = PlanContainer(container, stream, {});
            const bool mov = container == Container::kMov;
            EXPECT_EQ(plan.timecode, mov ? c.mov : c.mxf);
            EXPECT_EQ(plan.timecodeRate.num, mov ? c.movRate[0] : c.mxfRate[0]);
            EXPECT_EQ(plan.timecodeRate.den, mov ? c.movRate[1] : c.mxfRate[1]);
        }
}

TEST(ContainerPlanTest, PixelAspectFieldOrderAndCodecTagOfEachPicture) {
    const struct {
        uint32_t width, height;
        bool interlaced, topFirst;
        const char* codecType;
        int64_t aspect[2];
        FieldOrder order;
        const char* tag;
    } cases[] = {
        {1920, 1080, true, true, "xd5b", {1, 1}, FieldOrder::kTopFieldFirst, "xd5b"},
        {1440, 1080, true, false, "xdv3", {4, 3}, FieldOrder::kBottomFieldFirst, "xdv3"},
        {1280, 720, false, true, "xd59", {1, 1}, FieldOrder::kProgressive, "xd59"},
        {1920, 1080, false, true, "qzz1", {1, 1}, FieldOrder::kProgressive, "m2v1"},  // not QuickTime's
        {1920, 1080, false, true, "xd5g", {1, 1}, FieldOrder::kProgressive, "m2v1"},  // no such digit
        {720, 480, true, true, "", {32, 27}, FieldOrder::kTopFieldFirst, "m2v1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " " + c.codecType);
        qzimport::ExportStreamInfo stream = Stream(30000, 1001);
        stream.width = c.width, stream.height = c.height;
        stream.interlaced = c.interlaced, stream.topFieldFirst = c.topFirst;
        stream.codecType = c.codecType;
        const qzrewrap::ContainerPlan plan = PlanContainer(Container::kMov, stream, {});
        EXPECT_EQ(plan.pixelAspect.num, c.aspect[0]);
        EXPECT_EQ(plan.pixelAspect.den, c.aspect[1]);
        EXPECT_EQ(plan.fieldOrder, c.order);
        EXPECT_EQ(plan.codecTag, c.tag);
    }
}

TEST(ContainerPlanTest, StreamsItCannotDescribeAreRefused) {
    const struct {
        const char* what;
        void (*change)(qzimport::ExportStreamInfo&);
    } cases[] = {
        {"no picture rate", [](qzimport::ExportStreamInfo& s) { s.frameDuration = 0; }},
        {"a time scale past int", [](qzimport::ExportStreamInfo& s) { s.timescale = int64_t{1} << 40; }},
        {"no sound rate", [](qzimport::ExportStreamInfo& s) { s.sampleRate = 0; }},
        {"no picture size", [](qzimport::ExportStreamInfo& s) { s.width = 0; }},
        {"no display aspect", [](qzimport::ExportStreamInfo& s) { s.displayAspectHeight = 0; }},
        {"8-bit sound", [](qzimport::ExportStreamInfo& s) { s.bitsPerSample = 8; }},
        {"frames past the label rate",
         [](qzimport::ExportStreamInfo& s) { s.startTimecode = "01:00:00:30"; }},
        {"minutes of 60", [](qzimport::ExportStreamInfo& s) { s.startTimecode = "01:60:00:00"; }},
        {"text after it", [](qzimport::ExportStreamInfo& s) { s.startTimecode = "01:00:00:00x"; }},
        {"drop-frame at 25",
         [](qzimport::ExportStreamInfo& s) {
             s.timescale = 25, s.frameDuration = 1, s.dropFrame = true, s.startTimecode = "01:00:00;00";
         }},
    };
    for (const auto& c : cases)
        for (const Container container : {Container::kMov, Container::kMxf}) {
            SCOPED_TRACE(std::string(c.what) + " " + qzrewrap::ContainerName(container));
            qzimport::ExportStreamInfo stream = Stream(30000, 1001);
            c.change(stream);
            EXPECT_THROW(PlanContainer(container, stream, {}), qzimport::ImportError);
        }
}

}  // namespace
