// The ingest object over written clips: records from the in point's key
// frame to the end flag, and the report of an import stopped and reset at
// once (timed on an injected clock), with the clip name shown literally.
#include "FBCFormatIngestObject.h"
#include "PluginTestSupport.h"

using namespace ComVantoVantoQZ64RADPlug;
using namespace plugin_test;

namespace {

struct Import {
    qztest::ScratchFolder folder{"ingest"};
    std::shared_ptr<FBCFormatClip> clip;
    std::shared_ptr<FBCFormatIngestObject> ingest;
    void* refCon = nullptr;
    double now = 0;  // the injected clock, seconds

    explicit Import(uint32_t frames, const std::string& userId = "QZ") {
        cw::ClipDescription description = qztest::SmallClip(cw::FrameRate::k29_97p, {frames}, false, 2);
        description.id.userId = userId;
        qztest::WriteClip(folder.Path(), description);
        clip = FirstClipDescriptor(folder.Path());
        EXPECT_TRUE(clip);
        if (!clip) return;
        ingest = FBCFormatIngestObject::initWithFormatClip(clip);
        ingest->setClock([this] { return now; });
        refCon = clip->ingestObjectRefCon();
        ingest->initialize(refCon);
    }
    // The next record's video decode position, -1 at the end flag.
    int64_t Next() {
        MIORADIngestMedia media;
        ingest->getNextMedia(&media, refCon);
        SampleHolder video = SampleHolder::Adopt(media.videoSampleBuffer);
        SampleHolder audio = SampleHolder::Adopt(media.audioSampleBuffer);
        if (media.endOfClip) {
            EXPECT_FALSE(media.hasFrame || video || audio || media.timecodeCounter || media.timecodeBase);
            return -1;
        }
        EXPECT_TRUE(media.hasFrame && video && audio);
        EXPECT_EQ(media.timecodeBase, 30u);
        return video ? CMSampleBufferGetDecodeTimeStamp(video.Get()).value / 1001 : -2;
    }
};

}  // namespace

TEST(FBCFormatIngestObjectTest, RecordsRunFromTheInPointsKeyFrameToTheEndFlag) {
    const struct {
        uint32_t frames;
        int64_t inPoint;  // frame of the in point time
        int64_t first;    // first frame delivered (6-picture groups)
    } cases[] = {{3, 0, 0}, {20, 8, 0}, {20, 14, 6}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.inPoint);
        Import run(c.frames);
        ASSERT_TRUE(run.ingest);
        run.ingest->setInPoint(CMTimeMake(c.inPoint * 1001, 30000), run.refCon);
        run.ingest->initialize(run.refCon);
        for (int64_t f = c.first; f < c.frames; ++f) ASSERT_EQ(run.Next(), f);
        EXPECT_EQ(run.Next(), -1);
        EXPECT_EQ(run.Next(), -1);
    }
    MIORADIngestMedia media;
    Import run(3);
    EXPECT_EQ(run.ingest->getNextMedia(&media, nullptr), 0);
    EXPECT_EQ(run.ingest->getNextMedia(nullptr, run.refCon), 0);
    EXPECT_EQ(run.ingest->reset(nullptr), 0);
    int notAMovie = 0;
    EXPECT_EQ(run.ingest->getNextMedia(&media, &notAMovie), 0);
    EXPECT_FALSE(media.hasFrame || media.endOfClip);
    EXPECT_EQ(run.Next(), 0);
}

// Two imports of one clip, their records asked for in turn: each gets every frame.
TEST(FBCFormatIngestObjectTest, TwoImportsOfOneClipEachGetEveryFrame) {
    Import run(3);
    ASSERT_TRUE(run.ingest);
    std::shared_ptr<FBCFormatIngestObject> other = FBCFormatIngestObject::initWithFormatClip(run.clip);
    other->initialize(run.refCon);
    std::vector<int64_t> got[2];
    for (int i = 0; i < 4; ++i)
        for (std::vector<int64_t>& frames : got) {
            frames.push_back(run.Next());
            std::swap(run.ingest, other);
        }
    EXPECT_EQ(got[0], (std::vector<int64_t>{0, 1, 2, -1}));
    EXPECT_EQ(got[1], got[0]);
}

TEST(FBCFormatIngestObjectTest, ResetSoonAfterAStopBeforeTheEndReportsTheClip) {
    ASSERT_TRUE(HostBundle::BundleWithPath(QZ_PLUGIN_BUNDLE));
    const std::string format = FBCFormatUtility::messageForKey("IDS_FCP_CLIP_ERR_MESSAGE").value_or("");
    const struct {
        const char* name;
        int delivered;              // of 6 frames
        std::vector<double> stops;  // clock at each stop
        double resetAt;
        bool reported;
    } cases[] = {
        {"mid-clip, reset at once", 3, {0.0, 0.03}, 0.05, true},
        {"second stop keeps the first date", 3, {0.0, 0.95}, 1.0, false},
        {"reset a second later", 3, {0.0}, 1.0, false},
        {"only the last frame undelivered", 5, {0.0}, 0.05, true},
        {"whole clip delivered", 6, {0.0}, 0.05, false},
        {"end flag read", 7, {0.0}, 0.05, false},
        {"never stopped", 3, {}, 0.05, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AlertRecorder recorder;
        Import run(6);
        ASSERT_TRUE(run.ingest);
        for (int i = 0; i < c.delivered; ++i) run.Next();
        for (double at : c.stops) run.now = at, run.ingest->stop(run.refCon);
        run.now = c.resetAt;
        EXPECT_EQ(run.ingest->reset(run.refCon), 0);
        ASSERT_EQ(recorder.alerts.size(), c.reported ? 1u : 0u);
        if (c.reported) {
            EXPECT_EQ(recorder.alerts[0].second, FBCFormatIngestObject::FillMessageFormat(format, "QZ0001"));
        }
        EXPECT_EQ(run.Next(), 0) << "rewound to the in point";
    }
}

TEST(FBCFormatIngestObjectTest, MessageHoldsTheNameLiterallyAndNeedsExactlyOneObjectDirective) {
    const struct {
        const char* format;
        std::optional<std::string> filled;
    } cases[] = {
        {"Clip %@ was stopped.", "Clip A%n001 was stopped."},
        {"100%% of %@", "100% of A%n001"},
        {"%@ and %@", std::nullopt},
        {"no directive", std::nullopt},
        {"%d frames of %@", std::nullopt},
        {"%@ ends in %", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FBCFormatIngestObject::FillMessageFormat(c.format, "A%n001"), c.filled) << c.format;

    // Through the bundle: a "%" in the clip's user ID is shown as it stands;
    // a table whose message holds two directives shows nothing.
    for (const char* message : {"Clip %@ was stopped.", "Clip %@ of %@"}) {
        SCOPED_TRACE(message);
        BundleCopy copy;
        copy.Write("Contents/Resources/en.lproj/Localizable.strings",
                   StringsTable("gone", "Import", message));
        ASSERT_TRUE(copy.Register());
        AlertRecorder recorder;
        Import run(6, "%n");
        ASSERT_TRUE(run.ingest);
        EXPECT_EQ(run.clip->name(), "%n0001");
        run.Next();
        run.ingest->stop(run.refCon);
        run.ingest->reset(run.refCon);
        if (std::string(message) == "Clip %@ of %@") {
            EXPECT_TRUE(recorder.alerts.empty());
        } else {
            ASSERT_EQ(recorder.alerts.size(), 1u);
            EXPECT_EQ(recorder.alerts[0],
                      std::make_pair(std::string("Import"), std::string("Clip %n0001 was stopped.")));
        }
    }
}
