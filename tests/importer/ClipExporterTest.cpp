// One clip exported through an ingest object, on written clips: the .m2v,
// .wav and channel WAVs against ffmpeg's own extraction of the member
// files, in/out ranges against the written pictures, and a frame whose
// buffer cannot be made failing the clip without leaving anything behind.
// The ingest object here is a stand-in that walks the host sample model as
// the plug-in's does (frame after frame: video, the whole frame's audio,
// the timecode), so the export is tested apart from the bundle.
#include "ClipExporter.h"
#include "ExportProgress.h"

#include "CFBCContent.h"
#include "CUArray.h"
#include "FBCMovieSampleForFCPX.h"
#include "MIORADIngestObject.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include "QzcardRun.h"
#include "ScratchFolder.h"
#include "TestFiles.h"
#include "WrittenClip.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace ComVantoVantoQZ64RADPlug;
namespace cw = ComVantoVantoQZ64RADPlug::CardWriter;

class StandInIngest : public MIORADIngestObject {
public:
    int64_t failVideoAt = -1;  // frame whose video buffer is not made

    OSStatus initialize(void* refCon) override { return Movie(refCon).InitializeGetSample(), 0; }
    OSStatus start(void*) override { return 0; }
    OSStatus setInPoint(CMTime t, void* refCon) override {
        return Movie(refCon).setInPoint(t.value, t.timescale), 0;
    }
    OSStatus setOutPoint(CMTime t, void* refCon) override {
        return Movie(refCon).setOutPoint(t.value, t.timescale), 0;
    }
    OSStatus setPathSet(CFArrayRef, void*) override { return 0; }
    OSStatus setKeepMediaVideoRate(bool, void*) override { return 0; }
    OSStatus getNextMedia(MIORADIngestMedia* media, void* refCon) override {
        FBCMovieSampleForFCPX& movie = Movie(refCon);
        *media = MIORADIngestMedia();
        if (movie.isEndOfClip()) return media->endOfClip = 1, 0;
        const int64_t f = movie.CurrentIndex();
        if (f != failVideoAt) media->videoSampleBuffer = movie.createVideoSampleBufferAtIndex(f);
        media->audioSampleBuffer = movie.createAudioSampleBufferAtIndex(f, 0, kCMTimePositiveInfinity);
        media->timecodeCounter = movie.GetTimeCounter();
        media->timecodeBase = movie.RoundedTimecodeBase();
        media->dropFrame = movie.isDropFrame();
        media->hasFrame = 1;
        movie.nextFrame();
        return 0;
    }
    OSStatus stop(void*) override { return 0; }
    OSStatus reset(void*) override { return 0; }
    OSStatus cleanup(void*) override { return 0; }
    OSStatus teardown(void* refCon) override { return Movie(refCon).ReleaseMXFStream(), 0; }

private:
    static FBCMovieSampleForFCPX& Movie(void* refCon) { return *static_cast<FBCMovieSampleForFCPX*>(refCon); }
};

struct Exported {
    qzimport::ExportResult result;
    nlohmann::json record;
};

Exported Export(const qztest::WrittenClip& clip, const std::string& out, qzimport::ExportRequest request,
                int64_t failVideoAt = -1) {
    CUSharedPtr<CFBCContent> content =
        CFBCContent::Create(CUStringMac::Create(clip.root.c_str()), CUStringMac::Create(""));
    EXPECT_TRUE(content);
    CUSharedPtr<CFBCClip> reader = content->ClipList()->ObjectAtIndex(0);
    auto movie = FBCMovieSampleForFCPX::Create(CUStringMac::Create(clip.cifPath.c_str()), nullptr,
                                               kFBCDefaultCodecType);
    EXPECT_TRUE(movie);
    StandInIngest ingest;
    ingest.failVideoAt = failVideoAt;
    qzimport::ExportProgress progress(qzimport::ProgressMode::kSilent, stderr);
    request.clipID = "QZ0001";
    request.cardFolder = clip.root;
    request.outputFolder = out;
    Exported exported;
    exported.result = qzimport::ClipExporter(progress).Export(request, ingest, movie.get(), *reader);
    std::ifstream json(out + "/QZ0001.json");
    if (json) exported.record = nlohmann::json::parse(json);
    return exported;
}

TEST(ClipExporterTest, OutputsEqualFfmpegsExtractionOfTheMemberFiles) {
    QZ_REQUIRE_TOOL("ffmpeg");
    const struct {
        cw::FrameRate rate;
        std::vector<uint32_t> members;
        uint32_t channels;
    } cases[] = {
        {cw::FrameRate::k25p, {13, 11}, 4},
        {cw::FrameRate::k59_94p, {10}, 2},
        {cw::FrameRate::k59_94i, {9, 6}, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(cw::FrameRateName(c.rate));
        qztest::ScratchFolder folder("export-clip");
        const qztest::WrittenClip clip = qztest::WriteClip(
            folder.Path() + "/card", qztest::SmallClip(c.rate, c.members, false, c.channels));
        qzimport::ExportRequest request;
        request.allChannels = true;
        const Exported e = Export(clip, folder.Path(), request);
        ASSERT_TRUE(e.result.ok) << e.result.failure;
        const std::string stereo =
            qztest::ExpectFfmpegsExtraction(clip.mxfPaths, c.channels, folder.Path(), "QZ0001");
        EXPECT_EQ(e.record["frames"], clip.frames.size());
        EXPECT_EQ(e.record["audioSamples"], stereo.size() / 4);
        EXPECT_EQ(e.record["memberFiles"].size(), c.members.size());
        EXPECT_EQ(e.record["values"]["ClipID"], "QZ0001");
        EXPECT_EQ(e.record["startTimecode"], e.record["values"]["StartTimecode"]);
        EXPECT_EQ(e.record["endTimecode"], e.record["values"]["EndTimecode"]);
    }
}

TEST(ClipExporterTest, InAndOutPointsStartAtTheKeyFrameAndEndAtTheOutPoint) {
    qztest::ScratchFolder folder("export-inout");
    const qztest::WrittenClip clip =
        qztest::WriteClip(folder.Path() + "/card", qztest::SmallClip(cw::FrameRate::k25p, {30}, false, 2));
    qzimport::ExportRequest request;
    request.inFrame = 14;
    request.outFrame = 20;
    const Exported e = Export(clip, folder.Path(), request);
    ASSERT_TRUE(e.result.ok) << e.result.failure;
    const int64_t first = e.record["inPoint"]["frame"], last = e.record["outPoint"]["frame"];
    EXPECT_LE(first, 14);
    EXPECT_EQ(clip.frames.at(first).record.type, 'I');
    EXPECT_GE(last, 20);
    const std::vector<uint8_t> mxf = qztest::ReadFile(clip.mxfPaths[0]);
    std::string expected;
    for (int64_t f = first; f <= last; ++f) {
        const cw::MxfFrameRecord& r = clip.frames[f].record;
        expected.append(mxf.begin() + r.pictureOffset, mxf.begin() + r.pictureOffset + r.pictureSize);
    }
    EXPECT_TRUE(qztest::ReadText(folder.Path() + "/QZ0001.m2v") == expected);
    EXPECT_EQ(e.result.frames, uint64_t(last - first + 1));
}

TEST(ClipExporterTest, AFrameWithoutItsBufferFailsTheClipAndLeavesNothing) {
    qztest::ScratchFolder folder("export-fail");
    const qztest::WrittenClip clip =
        qztest::WriteClip(folder.Path() + "/card", qztest::SmallClip(cw::FrameRate::k29_97p, {12}, true, 2));
    const std::string out = folder.Path() + "/out";
    std::filesystem::create_directory(out);
    qzimport::ExportRequest request;
    request.allChannels = true;
    const Exported e = Export(clip, out, request, 5);
    EXPECT_FALSE(e.result.ok);
    EXPECT_NE(e.result.failure.find("frame 5 (01:00:00:0"), std::string::npos) << e.result.failure;
    EXPECT_NE(e.result.failure.find("video buffer"), std::string::npos) << e.result.failure;
    EXPECT_TRUE(std::filesystem::is_empty(out));

    // An existing output is kept: the clip is not exported over it.
    ASSERT_TRUE(qztest::WriteFile(out + "/QZ0001.wav", {7}));
    const Exported kept = Export(clip, out, request);
    EXPECT_FALSE(kept.result.ok);
    EXPECT_NE(kept.result.failure.find("QZ0001.wav exists"), std::string::npos) << kept.result.failure;
    EXPECT_EQ(qztest::ReadFile(out + "/QZ0001.wav"), std::vector<uint8_t>{7});
    request.replace = true;
    EXPECT_TRUE(Export(clip, out, request).result.ok);
    EXPECT_GT(std::filesystem::file_size(out + "/QZ0001.wav"), 44u);
}

}  // namespace
