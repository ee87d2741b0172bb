// Clip descriptors: the codec table by bit rate, size, rate and host
// version, the format texts, and descriptors of written clips whose files
// are incomplete (data size, refused ingest with one message per cycle).
#include "HostEventCycle.h"
#include "PluginTestSupport.h"

using namespace ComVantoVantoQZ64RADPlug;
using namespace plugin_test;

TEST(FBCFormatClipTest, CodecTypesFollowTheTableOfBitRateSizeAndFrameRate) {
    // Columns: {recording rate, video format}; rows: frame rates 0 to 10.
    const std::pair<uint32_t, uint32_t> columns[] = {{3, 1}, {2, 1}, {2, 3}, {2, 2},
                                                     {1, 3}, {3, 2}, {1, 1}, {3, 3}};
    const char* const rows[11][8] = {
        {"qzz1", "qzz1", "qzz1", "qzz1", "qzz1", "qzz1", "qzz1", "qzz1"},
        {"xd5b", "xdvb", "xdv2", "qzz1", "hdv2", "qzz1", "qzz1", "qzz1"},
        {"xd5c", "xdvc", "xdv3", "qzz1", "hdv3", "qzz1", "qzz1", "qzz1"},
        {"xd5f", "xdvf", "xdv8", "xdv1", "hdv8", "xd51", "qzz1", "qzz1"},
        {"xd5e", "xdve", "xdv7", "xdv5", "hdv7", "xd55", "qzz1", "qzz1"},
        {"xd5d", "xdvd", "xdv6", "xdv4", "hdv6", "xd54", "qzz1", "qzz1"},
        {"qzz1", "qzz1", "qzz1", "xdv9", "qzz1", "xd59", "qzz1", "qzz1"},
        {"qzz1", "qzz1", "qzz1", "xdva", "qzz1", "xd5a", "qzz1", "qzz1"},
        {"xd5d", "xdvd", "xdv6", "xdv4", "hdv6", "xd54", "qzz1", "qzz1"},
        {"qzz1", "qzz1", "qzz1", "qzz1", "qzz1", "qzz1", "qzz1", "qzz1"},
        {"qzz1", "qzz1", "qzz1", "qzz1", "qzz1", "qzz1", "qzz1", "qzz1"},
    };
    for (uint32_t rate = 0; rate < 11; ++rate)
        for (size_t c = 0; c < std::size(columns); ++c) {
            const FBCFormatClip::Coding coding{columns[c].second, columns[c].first, rate, 1};
            const bool newer720 = c == 5 && (rate == 3 || rate == 4 || rate == 5 || rate == 8);
            EXPECT_EQ(Text(FBCFormatClip::CodecTypeForCoding(coding, 0x70003)), rows[rate][c])
                << rate << " " << c;
            EXPECT_EQ(Text(FBCFormatClip::CodecTypeForCoding(coding, 0x70002)),
                      newer720 ? "qzz1" : rows[rate][c]);
        }
    EXPECT_EQ(Text(FBCFormatClip::CodecTypeForCoding({std::nullopt, 3, 1, 1}, 0x70003)), "qzz1");
    EXPECT_EQ(Text(FBCFormatClip::CodecTypeForCoding({1, std::nullopt, 1, 1}, 0x70003)), "qzz1");
    EXPECT_EQ(Text(FBCFormatClip::CodecTypeForCoding({1, 3, std::nullopt, 1}, 0x70003)), "qzz1");
}

TEST(FBCFormatClipTest, FormatNamesAndDisplayFormatsNameBitRateSizeAndRate) {
    const struct {
        FBCFormatClip::Coding coding;
        const char* formatName;
        const char* displayFormat;
    } cases[] = {
        {{1, 3, 1, 1}, "Vanto QZ 422 50Mbps 1080i59.94", "50Mbps CBR 4:2:2 1920 x 1080 59.94i"},
        {{3, 1, 2, 0}, "Vanto QZ 25Mbps 1080i50.00", "25Mbps VBR 1440 x 1080 50.00i"},
        {{2, 2, 8, 1}, "Vanto QZ 35Mbps 720P23.98", "35Mbps CBR 1280 x 720 23.98P(pull down)"},
        {{2, 3, 7, 2}, "Vanto QZ 422 50Mbps 720P50.00", "50Mbps 4:2:2 1280 x 720 50.00P"},
        {{1, 2, std::nullopt, std::nullopt}, "Vanto QZ 35Mbps 1080", "35Mbps 1920 x 1080 "},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FBCFormatClip::FormatNameForCoding(c.coding), c.formatName);
        EXPECT_EQ(FBCFormatClip::DisplayFormatForCoding(c.coding), c.displayFormat);
    }
}

// A spanned clip whose second member file is gone: the information file
// still counts the whole duration, so the audio share exceeds the MXF bytes.
TEST(FBCFormatClipTest, ClipWithAMissingMemberFileHasNoNegativeSizeAndRefusesIngestOncePerCycle) {
    cw::ClipDescription description = qztest::SmallClip(cw::FrameRate::k29_97p, {10, 10}, false, 4);
    description.coding.duration = 10010;
    const qztest::ScratchClip written("clip-missing-member", description);
    std::filesystem::remove(written.mxfPaths[1]);
    std::shared_ptr<FBCFormatClip> clip = FirstClipDescriptor(written.root);
    ASSERT_TRUE(clip);
    const double audio = 4 * clip->dataSizeForAudioChannelIndex(0);
    EXPECT_GT(audio, double(std::filesystem::file_size(written.mxfPaths[0])));
    EXPECT_EQ(clip->videoDataSize(), 0);
    EXPECT_EQ(clip->dataSizeForAudioChannelIndex(4), 0);

    ASSERT_TRUE(HostBundle::BundleWithPath(QZ_PLUGIN_BUNDLE));
    const std::string invalid = FBCFormatUtility::messageForKey("IDS_FCP_CLIP_INVALID").value_or("");
    ASSERT_FALSE(invalid.empty());
    AlertRecorder recorder;
    for (int cycle = 1; cycle <= 2; ++cycle) {
        HostEventCycle events;
        for (int request = 0; request < 3; ++request) EXPECT_FALSE(clip->ingestObject());
        ASSERT_EQ(recorder.alerts.size(), size_t(cycle));
        EXPECT_EQ(recorder.alerts.back().second, invalid);
    }
}

TEST(FBCFormatClipTest, StartTimecodeFramesAreShownAtThePictureRate) {
    const struct {
        cw::FrameRate rate;
        const char* shown;
    } cases[] = {{cw::FrameRate::k59_94p, "01:02:03:24"}, {cw::FrameRate::k29_97p, "01:02:03:12"}};
    for (const auto& c : cases) {
        cw::ClipDescription description = qztest::SmallClip(c.rate, {6}, true, 2);
        description.startTimecode = cw::Timecode{1, 2, 3, 12};
        const qztest::ScratchClip written("clip-start", description);
        std::shared_ptr<FBCFormatClip> clip = FirstClipDescriptor(written.root);
        ASSERT_TRUE(clip);
        EXPECT_EQ(clip->mediaStart(), c.shown);
    }
}
