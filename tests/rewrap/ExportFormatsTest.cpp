// qzcard export --format mov|mxf end to end, read back by ffprobe, ffmpeg
// and our MXF reader: every clip of the written sample cards (each rate and
// family, 2 and 4 channels, open and closed GOPs, a spanned clip), mono and
// paired sound; an in/out export presents the same pictures
// as the whole clip; a recording over three cards is one file; a damaged
// clip or a refused write leaves no file.
#include "CardWriter.h"
#include "ClipFrameRate.h"
#include "DrawnNumber.h"
#include "ExternalTool.h"
#include "QzcardRun.h"
#include "SampleCard.h"
#include "ScratchFolder.h"
#include "SmallClip.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

namespace cw = ComVantoVantoQZ64RADPlug::CardWriter;
using nlohmann::json;
using qztest::ShellQuote;

json Probe(const std::string& path, const std::string& entries, const std::string& extra = "") {
    return qztest::ParseJson(qztest::RunCommand("ffprobe -v error -of json " + extra + " -show_entries " +
                                                entries + " " + ShellQuote(path))
                                 .output);
}

// The picture stream and each sound stream (little-endian at `bits`) of
// `files`, appended, as ffmpeg copies them out: one ffmpeg run per file.
std::vector<std::string> Essence(const std::vector<std::string>& files, size_t soundStreams, uint32_t bits) {
    const qztest::ScratchFolder scratch("rewrap-essence");
    std::vector<std::string> essence(1 + soundStreams);
    for (const std::string& file : files) {
        std::string maps = "-map 0:v -c copy -f mpeg2video -y " + scratch.Path() + "/0";
        for (size_t s = 0; s < soundStreams; ++s)
            maps += " -map 0:a:" + std::to_string(s) + " -f s" + std::to_string(bits) + "le -y " +
                    scratch.Path() + "/" + std::to_string(s + 1);
        qztest::FfmpegOutput(file, maps);
        for (size_t k = 0; k < essence.size(); ++k)
            essence[k] += qztest::ReadText(scratch.Path() + "/" + std::to_string(k));
    }
    return essence;
}

// One exported clip against what the card writer was told and its member files.
void ExpectOutput(const std::string& out, const cw::ClipDescription& clip, const std::string& card,
                  const std::string& format, bool pairs) {
    const std::string id = cw::ClipIdText(clip.id), path = out + "/" + id + "." + format;
    SCOPED_TRACE(path);
    const bool mov = format == "mov";
    const json record = qztest::ParseJson(qztest::ReadText(out + "/" + id + ".json"));
    const std::vector<std::string> members = qztest::MemberFiles(card, id);
    const cw::FrameRateTraits rate = cw::TraitsOf(clip.frameRate);
    const json v = Probe(path,
                         "stream=codec_name,codec_tag_string,width,height,display_aspect_ratio,field_order,"
                         "r_frame_rate,nb_read_packets,start_time:stream_tags",
                         "-select_streams v:0 -count_packets")["streams"]
                       .at(0);
    EXPECT_EQ(v["codec_name"], "mpeg2video");
    const std::string codecType = record["plugin"]["sourceFormat"];
    if (mov) {
        EXPECT_EQ(v["codec_tag_string"], codecType == "qzz1" ? "m2v1" : codecType);
    }
    EXPECT_EQ(v["width"], cw::PictureWidth(clip.pictureSize));
    EXPECT_EQ(v["height"], cw::PictureHeight(clip.pictureSize));
    EXPECT_EQ(v["display_aspect_ratio"], "16:9");
    // fiel 2/9 in MOV, which ffmpeg names after the QuickTime table's reading for separate fields.
    EXPECT_EQ(v["field_order"], !rate.interlaced ? "progressive" : mov ? "tb" : "tt");
    const std::string editRate =
        std::to_string(rate.editRateNumerator) + "/" + std::to_string(rate.editRateDenominator);
    EXPECT_EQ(v["r_frame_rate"], editRate);
    EXPECT_EQ(v["nb_read_packets"], std::to_string(clip.durationFrames));
    EXPECT_EQ(v["start_time"], "0.000000");
    // Every picture presented once, from time 0: no edit cuts one off.
    std::vector<long> pts;
    const json packets = Probe(path, "packet=pts", "-select_streams v:0")["packets"];
    for (const json& p : packets) pts.push_back(p["pts"]);
    std::sort(pts.begin(), pts.end());
    for (size_t k = 0; k < pts.size(); ++k)
        EXPECT_EQ(pts[k], long(k) * (pts.at(1) - pts[0])) << "picture " << k;

    // Timecode: the clip's start in MOV; in MXF as the card's own files count it.
    const json cardTimecode = Probe(members.front(), "format_tags=timecode")["format"]["tags"]["timecode"];
    EXPECT_EQ(record["startTimecode"], cw::TimecodeText(clip.startTimecode, clip.dropFrame));
    const json tags = Probe(path, "format_tags")["format"]["tags"];
    if (mov) {
        // The sound tracks play together: each enabled (ffprobe's default),
        // none in an alternate group (mediainfo names a track's group).
        const json sound = Probe(path, "stream_disposition=default", "-select_streams a");
        for (const json& track : sound["streams"]) EXPECT_EQ(track["disposition"]["default"], 1);
        EXPECT_EQ(
            qztest::RunCommand("mediainfo --Inform='Audio;%AlternateGroup%' " + ShellQuote(path)).output,
            "\n");
        const json tmcd = Probe(path, "stream_tags", "-select_streams d:0")["streams"].at(0)["tags"];
        EXPECT_EQ(tmcd["timecode"], record["startTimecode"]);
        EXPECT_EQ(tmcd["reel_name"], record["mediumId"]);
        for (const auto& [key, value] :
             std::map<std::string, std::string>{{"title", clip.xml.title.value_or("")},
                                                {"creator", clip.xml.creator.value_or("")},
                                                {"description", clip.xml.description.value_or("")},
                                                {"clip_id", id},
                                                {"medium_id", record["mediumId"]},
                                                {"make", clip.device.manufacturer},
                                                {"model", clip.device.modelName},
                                                {"serial_number", clip.device.serialNumber}})
            EXPECT_EQ(tags.value(key, ""), value) << key;                // absent without a value
        EXPECT_EQ(tags.value("umid", "").rfind("06.0A.2B.34.", 0), 0u);  // a 32-byte UMID, dotted hex
        EXPECT_EQ(tags.value("creation_time", "").size(), 20u);
        if (clip.xml.title) {
            EXPECT_EQ(tags["location"].get<std::string>().rfind("+35.6895+139.6917", 0), 0u);
        }
    } else {
        EXPECT_EQ(v["tags"]["timecode"], cardTimecode);
        EXPECT_EQ(v["tags"]["reel_name"], record["mediumId"]);
        EXPECT_EQ(v["tags"]["file_package_name"], id);
        EXPECT_EQ(tags["material_package_name"], clip.xml.title.value_or(id));
        const json mxf = qztest::QzcardJson({"mxf-info", "--json", path});
        EXPECT_EQ(mxf["startTimecode"], cardTimecode);
        for (const json& track : mxf["tracks"]) EXPECT_EQ(track["editRate"], editRate);
    }

    // Picture and sound bytes as on the card. libavformat's MXF writer cuts
    // the sound into its own samples per edit unit and fills the last one
    // with silence.
    const uint32_t bits = clip.audioBitsPerSample, bytes = bits / 8;
    const size_t streams = pairs ? (clip.audioChannels + 1) / 2 : clip.audioChannels;
    const json sound = Probe(path, "stream=codec_name,sample_rate,channels", "-select_streams a")["streams"];
    ASSERT_EQ(sound.size(), streams);
    const std::vector<std::string> cardEssence = Essence(members, clip.audioChannels, bits),
                                   outEssence = Essence({path}, streams, bits);
    EXPECT_TRUE(outEssence[0] == cardEssence[0]) << "picture bytes differ";
    for (size_t s = 0; s < streams; ++s) {
        EXPECT_EQ(sound[s]["codec_name"], "pcm_s" + std::to_string(bits) + "le");
        EXPECT_EQ(sound[s]["sample_rate"], "48000");
        EXPECT_EQ(sound[s]["channels"], pairs ? 2 : 1);
        std::string expected = cardEssence[1 + s];
        if (pairs) {  // channels 2s + 1 and 2s + 2 side by side
            const std::string &left = cardEssence[1 + 2 * s], &right = cardEssence[2 + 2 * s];
            expected.clear();
            for (size_t i = 0; i + bytes <= left.size(); i += bytes)
                expected += left.substr(i, bytes) + right.substr(i, bytes);
        }
        std::string got = outEssence[1 + s];
        if (!mov && got.size() > expected.size() &&
            got.size() - expected.size() < 2002 * bytes * (pairs ? 2 : 1) &&
            got.find_first_not_of('\0', expected.size()) == std::string::npos)
            got.resize(expected.size());
        EXPECT_TRUE(got == expected) << "sound " << s << ": " << got.size() << " bytes, the card's "
                                     << expected.size();
    }
}

class ExportFormatsOfFamily : public ::testing::TestWithParam<cw::FrameRateFamily> {};

TEST_P(ExportFormatsOfFamily, EveryClipAsTheCardHasIt) {
    QZ_REQUIRE_TOOL("ffprobe");
    QZ_REQUIRE_TOOL("mediainfo");
    const qztest::ScratchFolder folder("rewrap-card");
    cw::SampleCardOptions sample;
    sample.family = GetParam();
    sample.durationFrames = 12;  // the spanned clip 36, in three files
    cw::CardDescription description = cw::SampleCardDescription(sample);
    if (GetParam() == cw::kFamily59_94) {  // the rate the sample card leaves out
        description.clips.push_back(qztest::SmallClip(cw::FrameRate::k23_98pPulldown, {13}, true, 4));
        description.clips.back().id = cw::ClipId{"QZ", 7};
    }
    const std::string card = folder.Path() + "/card";
    cw::WriteCard(description, card);
    for (const std::string format : {"mov", "mxf"})
        for (const bool pairs : {false, true}) {
            const std::string out = folder.Path() + "/" + format + (pairs ? "-pairs" : "");
            const qztest::QzcardRun run = qztest::Qzcard(
                {"export", card, "-o", out, "--format", format, "--audio", pairs ? "pairs" : "mono"});
            ASSERT_EQ(run.exitCode, 0) << run.err;
            for (const cw::ClipDescription& clip : description.clips)
                ExpectOutput(out, clip, card, format, pairs);
        }
}

INSTANTIATE_TEST_SUITE_P(Families, ExportFormatsOfFamily,
                         ::testing::Values(cw::kFamily59_94, cw::kFamily50, cw::kFamily24));

// The numbers drawn on the pictures ffmpeg decodes from `input` (its input
// arguments), in the order it presents them.
std::vector<int64_t> DecodedNumbers(const std::string& input, int width, int height) {
    const qztest::ScratchFolder scratch("rewrap-decoded");
    const std::string gray = scratch.Path() + "/pictures.gray";
    EXPECT_EQ(
        qztest::RunCommand("ffmpeg -nostdin -v error " + input + " -f rawvideo -pix_fmt gray -y " + gray)
            .exitCode,
        0);
    const std::string pixels = qztest::ReadText(gray);
    std::vector<int64_t> numbers;
    for (size_t at = 0; at + size_t(width) * height <= pixels.size(); at += size_t(width) * height)
        numbers.push_back(
            qztest::ReadNumber(reinterpret_cast<const uint8_t*>(pixels.data() + at), width, height));
    return numbers;
}

TEST(ExportFormats, InAndOutPresentThePicturesOfTheWholeClip) {
    QZ_REQUIRE_TOOL("ffmpeg");
    const qztest::ScratchFolder folder("rewrap-inout");
    const std::string card = folder.Path() + "/card";
    ASSERT_EQ(qztest::Qzcard({"sample-card", card, "--frames", "60", "--clips", "2"}).exitCode, 0);
    for (const auto& [id, width] : {std::pair{"QZ0001", 1920}, {"QZ0002", 1440}}) {  // open and closed GOPs
        std::string list;
        for (const std::string& m : qztest::MemberFiles(card, id)) list += "file '" + m + "'\n";
        ASSERT_TRUE(qztest::WriteText(folder.Path() + "/list.txt", list));
        const std::vector<int64_t> whole =
            DecodedNumbers("-f concat -safe 0 -i " + ShellQuote(folder.Path() + "/list.txt"), width, 1080);
        ASSERT_EQ(whole.size(), 60u);
        for (const std::string format : {"mov", "mxf"}) {
            const std::string out = folder.Path() + "/" + format;
            const qztest::QzcardRun run = qztest::Qzcard(
                {"export", card, id, "-o", out, "--format", format, "--in", "20", "--out", "44"});
            ASSERT_EQ(run.exitCode, 0) << run.err;
            const json record = qztest::ParseJson(qztest::ReadText(out + "/" + id + ".json"));
            const int64_t first = record["inPoint"]["frame"], last = record["outPoint"]["frame"];
            EXPECT_LT(first, 20);  // moved back to a picture that decodes
            EXPECT_EQ(DecodedNumbers("-i " + ShellQuote(out + "/" + id + "." + format), width, 1080),
                      std::vector<int64_t>(whole.begin() + first, whole.begin() + last + 1))
                << id << " " << format;
        }
    }
}

TEST(ExportFormats, ARecordingOverThreeCardsIsOneFile) {
    QZ_REQUIRE_TOOL("ffprobe");
    const qztest::ScratchFolder folder("rewrap-join");
    ASSERT_EQ(qztest::Qzcard({"sample-card", folder.Path(), "--cards", "3", "--frames", "30"}).exitCode, 0);
    for (const std::string format : {"mov", "mxf"}) {
        const std::string out = folder.Path() + "/" + format;
        const qztest::QzcardRun run =
            qztest::Qzcard({"export", "--join", folder.Path() + "/CARD3", folder.Path() + "/CARD1",
                            folder.Path() + "/CARD2", "-o", out, "--format", format});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const json v = Probe(out + "/QZ0002." + format, "stream=nb_read_packets:stream_tags=timecode",
                             "-select_streams v:0 -count_packets")["streams"]
                           .at(0);
        EXPECT_EQ(v["nb_read_packets"], "90") << format;            // 3 pieces of 30
        EXPECT_EQ(v["tags"]["timecode"], "02:09:58;00") << format;  // the first piece's
    }
}

// A clip whose second file is cut short (list: "damaged") is written up to
// its 12th frame, the last its first file holds, as a partial set: exit 4
// naming the frames missing, its record saying so, ffprobe counting 12
// pictures, and a repeat saying it again; an out point before the cut is
// a whole export. A write refused by the file system (a file size limit)
// half way tells the reason and leaves nothing but the folder's lock.
TEST(ExportFormats, ACutClipIsWrittenInPartAndAFailedWriteLeavesNoFile) {
    const qztest::ScratchFolder folder("rewrap-failed");
    const std::string card = folder.Path() + "/card";
    ASSERT_EQ(qztest::Qzcard({"sample-card", card, "--frames", "12"}).exitCode, 0);
    std::filesystem::resize_file(card + "/CONTENTS/CLIPS001/QZ0004/QZ000402.MXF", 40000);
    for (const std::string format : {"mov", "mxf"}) {
        SCOPED_TRACE(format);
        // The whole clip twice (the second finds it up to date, still partial), then an out point.
        for (const char* outPoint : {"", "", "5"}) {
            const bool partial = *outPoint == 0;
            const std::string out = folder.Path() + "/cut-" + format + outPoint;
            const qztest::QzcardRun run = qztest::Qzcard({"export", card, "QZ0004", "-o", out, "--format",
                                                          format, "--out", partial ? "35" : outPoint});
            EXPECT_EQ(run.exitCode, partial ? 4 : 0) << run.err;
            EXPECT_EQ(Probe(out + "/QZ0004." + format, "stream=nb_read_packets",
                            "-select_streams v:0 -count_packets")["streams"][0]["nb_read_packets"],
                      partial ? "12" : "6");
            const json record = qztest::ParseJson(qztest::ReadText(out + "/QZ0004.json"));
            EXPECT_EQ(record["partial"].is_object() ? record["partial"]["missingFrames"].get<int>() : 0,
                      partial ? 24 : 0);
            if (partial) {
                EXPECT_NE(run.err.find("QZ0004: partial: 24 frames missing, frames 12\u201335 ("),
                          std::string::npos)
                    << run.err;
            }
        }
        const std::string full = folder.Path() + "/full-" + format;
        const qztest::CommandResult run = qztest::RunCommand(
            "trap '' XFSZ; ulimit -f 2048; " + ShellQuote(QZCARD_BINARY) + " export " + ShellQuote(card) +
                " QZ0001 -o " + ShellQuote(full) + " --format " + format,
            qztest::Capture::StdoutAndStderr);
        EXPECT_EQ(run.exitCode, 4);
        EXPECT_NE(run.output.find("Input/output error: cannot write"), std::string::npos) << run.output;
        EXPECT_NE(run.output.find("File too large"), std::string::npos) << run.output;
        for (const auto& entry : std::filesystem::directory_iterator(full))
            if (entry.path().filename() != ".qzcard-export.lock")
                ADD_FAILURE() << entry.path() << " left behind";
    }
}

}  // namespace
