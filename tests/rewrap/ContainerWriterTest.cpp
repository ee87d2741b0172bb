// The MOV and MXF writers over every clip of the written sample cards (each
// rate and family, 2 and 4 channels, open and closed GOPs, a spanned clip):
// what ffprobe reads of each file, its picture and sound bytes against
// ffmpeg's extraction from the member files, our MXF reader on the MXF; and
// the failures that must leave no file.
#include "CardWriter.h"
#include "ContainerPlan.h"
#include "ImportError.h"
#include "OutputFormatNamed.h"
#include "QzcardRun.h"
#include "RewrapTestSupport.h"
#include "SampleCard.h"
#include "ScratchFolder.h"
#include "SmallClip.h"
#include "WrittenClip.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <filesystem>

namespace rewrap_test {
namespace {

using qztest::FfmpegOutput;

// The pictures (an MPEG-2 elementary stream) and each sound stream
// (little-endian at `bits`) of `files`, appended, as ffmpeg copies them out:
// one ffmpeg run per file.
std::vector<std::string> Essence(const std::vector<std::string>& files, size_t soundStreams, uint32_t bits) {
    const qztest::ScratchFolder scratch("rewrap-essence");
    std::vector<std::string> essence(1 + soundStreams);
    for (const std::string& file : files) {
        std::string maps = "-map 0:v -c copy -f mpeg2video -y " + scratch.Path() + "/0";
        for (size_t s = 0; s < soundStreams; ++s)
            maps += " -map 0:a:" + std::to_string(s) + " -f s" + std::to_string(bits) + "le -y " +
                    scratch.Path() + "/" + std::to_string(s + 1);
        FfmpegOutput(file, maps);
        for (size_t k = 0; k < essence.size(); ++k)
            essence[k] += qztest::ReadText(scratch.Path() + "/" + std::to_string(k));
    }
    return essence;
}

// Two mono streams of `bytes` per sample side by side, left first.
std::string Stereo(const std::string& left, const std::string& right, size_t bytes) {
    std::string both;
    for (size_t i = 0; i + bytes <= left.size() && i + bytes <= right.size(); i += bytes)
        both += left.substr(i, bytes) + right.substr(i, bytes);
    return both;
}

// One written clip: ffprobe's reading of `path` and its essence against the
// member files.
void ExpectOutput(const std::string& path, qzrewrap::Container container,
                  const qzimport::ExportStreamInfo& info, const std::vector<std::string>& members,
                  const qzimport::OutputOptions& options) {
    SCOPED_TRACE(path);
    const bool mov = container == qzrewrap::Container::kMov;
    const nlohmann::json probe = Probe(path,
                                       "stream=codec_name,codec_tag_string,width,height,display_aspect_ratio,"
                                       "field_order,r_frame_rate,nb_read_packets,start_time:stream_tags",
                                       "-select_streams v:0 -count_packets");
    const nlohmann::json& v = probe["streams"].at(0);
    EXPECT_EQ(v["codec_name"], "mpeg2video");
    if (mov) {
        EXPECT_EQ(v["codec_tag_string"], info.codecType == "qzz1" ? "m2v1" : info.codecType);
    }
    EXPECT_EQ(v["width"], info.width);
    EXPECT_EQ(v["height"], info.height);
    EXPECT_EQ(v["display_aspect_ratio"], "16:9");
    // fiel 2/9 in MOV: ffmpeg names it after the QuickTime table's reading for separate fields.
    EXPECT_EQ(v["field_order"], !info.interlaced ? "progressive" : mov ? "tb" : "tt");
    const std::string rate = std::to_string(info.timescale) + (info.frameDuration == 1 ? "/1" : "/1001");
    EXPECT_EQ(v["r_frame_rate"], rate);
    EXPECT_EQ(v["nb_read_packets"], std::to_string(info.frames));
    EXPECT_EQ(v["start_time"], "0.000000");
    // Every picture presented once, from time 0 (no edit cuts one off).
    std::vector<long> pts;
    for (const auto& packet : Probe(path, "packet=pts", "-select_streams v:0")["packets"])
        pts.push_back(packet["pts"]);
    std::sort(pts.begin(), pts.end());
    for (size_t k = 0; k < pts.size(); ++k)
        EXPECT_EQ(pts[k], long(k) * (pts.at(1) - pts[0])) << "picture " << k;

    // The start timecode: the clip's in MOV; in MXF as the card's own files count it.
    const nlohmann::json cardTimecode =
        Probe(members.front(), "format_tags=timecode")["format"]["tags"]["timecode"];
    const nlohmann::json tags = Probe(path, "format_tags")["format"]["tags"];
    if (mov) {
        const nlohmann::json tc = Probe(path, "stream_tags", "-select_streams d:0")["streams"].at(0)["tags"];
        EXPECT_EQ(tc["timecode"], info.startTimecode);
        EXPECT_EQ(tc["reel_name"], info.MetadataValue("mediumId"));
        static const std::pair<const char*, const char*> kKeys[] = {{"title", "title"},
                                                                    {"creator", "creator"},
                                                                    {"description", "description"},
                                                                    {"clip_id", "clipId"},
                                                                    {"medium_id", "mediumId"},
                                                                    {"umid", "umid"},
                                                                    {"make", "manufacturer"},
                                                                    {"model", "model"},
                                                                    {"serial_number", "serialNumber"},
                                                                    {"creation_time", "creationTime"}};
        for (const auto& [key, ours] : kKeys)
            EXPECT_EQ(tags.value(key, ""), info.MetadataValue(ours)) << key;  // absent without a value
        EXPECT_EQ(tags["location"].get<std::string>().rfind("+35.6895+139.6917+38", 0), 0u);
    } else {
        EXPECT_EQ(v["tags"]["timecode"], cardTimecode);
        EXPECT_EQ(v["tags"]["reel_name"], info.MetadataValue("mediumId"));
        EXPECT_EQ(v["tags"]["file_package_name"], info.clipId);
        EXPECT_EQ(tags["material_package_name"],
                  info.MetadataValue("title").empty() ? info.clipId : info.MetadataValue("title"));
        EXPECT_EQ(tags["modification_date"], "2026-01-02T03:04:05.000000Z");
        const nlohmann::json mxf = qztest::QzcardJson({"mxf-info", "--json", path});
        EXPECT_EQ(mxf["startTimecode"], cardTimecode);
        for (const auto& track : mxf["tracks"]) EXPECT_EQ(track["editRate"], rate);
    }

    // Picture and sound bytes as on the card. libavformat's MXF writer cuts
    // the sound into its own samples per edit unit and fills the last one
    // with silence.
    const size_t streams = options.stereoPairs ? (info.soundTracks + 1) / 2 : info.soundTracks;
    const nlohmann::json sound =
        Probe(path, "stream=codec_name,sample_rate,channels", "-select_streams a")["streams"];
    ASSERT_EQ(sound.size(), streams);
    const std::vector<std::string> card = Essence(members, info.soundTracks, info.bitsPerSample),
                                   out = Essence({path}, streams, info.bitsPerSample);
    EXPECT_TRUE(out[0] == card[0]) << "picture bytes differ";
    for (size_t s = 0; s < streams; ++s) {
        EXPECT_EQ(sound[s]["codec_name"], "pcm_s" + std::to_string(info.bitsPerSample) + "le");
        EXPECT_EQ(sound[s]["sample_rate"], "48000");
        EXPECT_EQ(sound[s]["channels"], options.stereoPairs ? 2 : 1);
        const std::string expected = options.stereoPairs
                                         ? Stereo(card[1 + 2 * s], card[2 + 2 * s], info.bitsPerSample / 8)
                                         : card[1 + s];
        std::string got = out[1 + s];
        if (!mov && got.size() > expected.size() &&
            got.size() - expected.size() < 2002 * info.bitsPerSample / 8 &&
            got.find_first_not_of('\0', expected.size()) == std::string::npos)
            got.resize(expected.size());
        EXPECT_TRUE(got == expected) << "sound stream " << s << ": " << got.size() << " bytes, the card's "
                                     << expected.size();
    }
}

class SampleCardOutputs : public ::testing::TestWithParam<cw::FrameRateFamily> {};

TEST_P(SampleCardOutputs, EveryClipAsMovAndMxf) {
    QZ_REQUIRE_TOOL("ffprobe");
    const qztest::ScratchFolder folder("rewrap-card");
    cw::SampleCardOptions sample;
    sample.family = GetParam();
    sample.durationFrames = 12;  // the spanned clip 36, over three files
    cw::CardDescription card = cw::SampleCardDescription(sample);
    if (GetParam() == cw::kFamily59_94) {  // the one rate the sample card leaves out, with 24-bit sound
        card.clips.push_back(qztest::SmallClip(cw::FrameRate::k23_98pPulldown, {13}, true, 4));
        card.clips.back().id = cw::ClipId{"QZ", 7};
        card.clips.back().audioBitsPerSample = 24;
    }
    const std::string root = folder.Path() + "/card";
    cw::WriteCard(card, root);
    for (const cw::ClipDescription& clip : card.clips)
        for (const auto container : {qzrewrap::Container::kMov, qzrewrap::Container::kMxf})
            for (const bool pairs : {false, true}) {
                if (pairs && clip.audioChannels != 4) continue;
                const std::string id = cw::ClipIdText(clip.id);
                const qzimport::OutputOptions options{false, pairs};
                auto writer = qzrewrap::OutputFormatNamed(qzrewrap::ContainerName(container))
                                  ->CreateWriter(folder.Path(), id, options);
                const auto info =
                    Feed(cw::ClipFilePath(root, clip.id, ".CIF"), *writer, StreamOf(clip, "MEDIUM-1"));
                ExpectOutput(writer->Files().at(0)->FinalPath(), container, info,
                             qztest::MemberFiles(root, id), options);
            }
}

INSTANTIATE_TEST_SUITE_P(Families, SampleCardOutputs,
                         ::testing::Values(cw::kFamily59_94, cw::kFamily50, cw::kFamily24));

}  // namespace
}  // namespace rewrap_test

namespace rewrap_test {
namespace {

// A stream a writer refuses before its first frame: the reason names what,
// and no file is left.
TEST(ContainerWriterRefusals, NameTheReasonAndLeaveNothing) {
    struct Row {
        qzrewrap::Container container;
        void (*change)(qzimport::ExportStreamInfo&);
        const char* reason;
    };
    const Row rows[] = {
        {qzrewrap::Container::kMxf,
         [](qzimport::ExportStreamInfo& s) { s.timescale = 15, s.frameDuration = 1, s.startTimecode = ""; },
         "cannot write the header"},
        {qzrewrap::Container::kMov, [](qzimport::ExportStreamInfo& s) { s.startTimecode = "01:00:00:30"; },
         "no timecode at 30"},
        {qzrewrap::Container::kMxf,
         [](qzimport::ExportStreamInfo& s) { s.timescale = 25, s.frameDuration = 1, s.dropFrame = true; },
         "drop-frame timecode at 25"},
        {qzrewrap::Container::kMov, [](qzimport::ExportStreamInfo& s) { s.bitsPerSample = 20; }, "20-bit"},
    };
    const cw::ClipDescription clip = qztest::SmallClip(cw::FrameRate::k59_94i, {6});
    for (const Row& row : rows) {
        const qztest::ScratchFolder folder("rewrap-refused");
        qzimport::ExportStreamInfo stream = StreamOf(clip, "M");
        stream.startTimecode = "01:00:00;02";
        row.change(stream);
        {
            auto writer = qzrewrap::OutputFormatNamed(qzrewrap::ContainerName(row.container))
                              ->CreateWriter(folder.Path(), "X", {});
            try {
                writer->Begin(stream);
                ADD_FAILURE() << row.reason << ": not refused";
            } catch (const qzimport::ImportError& e) {
                EXPECT_NE(std::string(e.what()).find(row.reason), std::string::npos) << e.what();
            }
        }
        EXPECT_TRUE(std::filesystem::is_empty(folder.Path())) << row.reason;
    }
}

// The file system refusing a write half way (here a file size limit) is
// reported with libavformat's error and the file's own reason; dropping the
// writer removes the partial.
TEST(ContainerWriterFailures, AWriteRefusedRemovesThePartial) {
    const qztest::ScratchFolder folder("rewrap-full");
    const cw::ClipDescription clip = qztest::SmallClip(cw::FrameRate::k29_97p, {24});
    const qztest::WrittenClip written = qztest::WriteClip(folder.Path() + "/card", clip);
    for (const char* name : {"mov", "mxf"}) {
        auto writer = qzrewrap::OutputFormatNamed(name)->CreateWriter(folder.Path(), "X", {});
        rlimit saved{};
        ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
        rlimit small = saved;
        small.rlim_cur = 1 << 20;
        signal(SIGXFSZ, SIG_IGN);  // the write fails with EFBIG instead
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        try {
            Feed(written.cifPath, *writer, StreamOf(clip, "M"));
            ADD_FAILURE() << name << ": no failure";
        } catch (const qzimport::ImportError& e) {
            EXPECT_NE(std::string(e.what()).find("File too large"), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find("Input/output error"), std::string::npos) << e.what();
        }
        setrlimit(RLIMIT_FSIZE, &saved);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 2)
            << name;  // card, partial
        writer.reset();
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 1) << name;
    }
}

}  // namespace
}  // namespace rewrap_test
