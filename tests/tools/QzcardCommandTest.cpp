// The qzcard binary run on written cards: list and clip as JSON, compared
// with the card descriptions and with what ffprobe reads from the
// same MXF files; folders that are not cards; damaged clips; the JSON key
// convention of every command.
#include "CardDescription.h"
#include "CardWriter.h"
#include "ClipFrameRate.h"
#include "ClipTimecode.h"
#include "FBCClipValueTag.h"
#include "QzcardRun.h"
#include "QzcardVersion.h"
#include "SampleCard.h"
#include "TestFiles.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include "ExternalTool.h"
#include "ScratchFolder.h"

#include <filesystem>
#include <functional>
#include <regex>
#include <string>
#include <vector>

namespace {

namespace cw = ComVantoVantoQZ64RADPlug::CardWriter;
using nlohmann::json;
using qztest::Qzcard;
using qztest::QzcardRun;
using qztest::ScratchFolder;

// What ffprobe reads from one MXF file: the picture count and the start
// timecode of the file.
struct Probe {
    uint64_t frames = 0;
    std::string timecode;
};

Probe FfprobeMxf(const std::string& path) {
    const qztest::CommandResult run = qztest::RunCommand(
        "ffprobe -v error -select_streams v:0 -show_entries stream=duration_ts:format_tags=timecode "
        "-of json " +
        qztest::ShellQuote(path));
    EXPECT_EQ(run.exitCode, 0) << path;
    Probe probe;
    const json j = qztest::ParseJson(run.output);
    if (j.contains("streams") && !j["streams"].empty())
        probe.frames = j["streams"][0].value("duration_ts", 0ull);
    if (j.contains("format") && j["format"].contains("tags"))
        probe.timecode = j["format"]["tags"].value("timecode", std::string());
    return probe;
}

// ffprobe counts a 50P/59.94P file's timecode at 50/60; the card counts at
// 25/30, so the frame field is halved there.
std::string AtRecordedBase(const std::string& timecode, uint32_t roundedBase) {
    if (roundedBase != 50 && roundedBase != 60) return timecode;
    cw::Timecode tc;
    bool dropFrame = false;
    if (!cw::ParseTimecode(timecode, tc, dropFrame)) return "unparsable " + timecode;
    tc.frames /= 2;
    return cw::TimecodeText(tc, dropFrame);
}

std::string ExpectedDuration(const cw::ClipDescription& clip) {
    const cw::FrameRateTraits traits = cw::TraitsOf(clip.frameRate);
    const uint64_t frames =
        traits.roundedBase != traits.recordedBase ? clip.durationFrames / 2 : clip.durationFrames;
    return cw::TimecodeText(cw::FrameCountToTimecode(frames, traits.recordedBase, clip.dropFrame),
                            clip.dropFrame);
}

std::string PictureSizeText(cw::PictureSize size) {
    return std::to_string(cw::PictureWidth(size)) + "x" + std::to_string(cw::PictureHeight(size));
}

void CheckListAgainstDescriptionAndFfprobe(const cw::CardDescription& card, const std::string& root) {
    const QzcardRun run = Qzcard({"list", root, "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const json list = json::parse(run.out, nullptr, false);
    ASSERT_FALSE(list.is_discarded()) << run.out;
    EXPECT_TRUE(list["isCard"].get<bool>());
    ASSERT_EQ(list["clips"].size(), card.clips.size());
    EXPECT_EQ(list["offeredClipCount"].get<size_t>(), card.clips.size());
    EXPECT_EQ(list["systemBitmap"].get<uint32_t>(), cw::DefaultSystemBitmap(card));
    for (size_t i = 0; i < card.clips.size(); ++i) {
        const cw::ClipDescription& clip = card.clips[i];
        const json& row = list["clips"][i];
        SCOPED_TRACE(cw::ClipIdText(clip.id));
        EXPECT_EQ(row["clipId"], cw::ClipIdText(clip.id));
        EXPECT_EQ(row["state"], "ready");
        EXPECT_EQ(row["durationFrames"].get<uint64_t>(), clip.durationFrames);
        EXPECT_EQ(row["duration"], ExpectedDuration(clip));
        EXPECT_EQ(row["startTimecode"], cw::TimecodeText(clip.startTimecode, clip.dropFrame));
        EXPECT_EQ(row["pictureSize"], PictureSizeText(clip.pictureSize));
        EXPECT_EQ(row["audioChannels"], std::to_string(clip.audioChannels) + " ch");
        EXPECT_EQ(row["cbr"].get<bool>(), clip.constantBitRate);
        EXPECT_EQ(row["bitRate"], std::to_string(cw::BitsPerSecond(clip.bitRate) / 1000000) + " Mbps" +
                                      (clip.constantBitRate ? " CBR" : " VBR"));
        EXPECT_EQ(row["device"]["manufacturer"], clip.device.manufacturer);
        EXPECT_EQ(row["device"]["modelName"], clip.device.modelName);
        if (clip.xml.title) {
            EXPECT_EQ(row["title"], *clip.xml.title);
        }

        // ffprobe: the member files together hold every picture, and the
        // first file starts at the clip's start timecode.
        const std::vector<cw::MemberFile> members = cw::EffectiveMembers(clip);
        uint64_t frames = 0;
        std::string firstTimecode;
        for (size_t m = 0; m < members.size(); ++m) {
            const Probe probe = FfprobeMxf(cw::MemberMxfPath(root, clip.id, members[m].number));
            frames += probe.frames;
            if (m == 0) firstTimecode = probe.timecode;
        }
        EXPECT_EQ(row["durationFrames"].get<uint64_t>(), frames);
        EXPECT_EQ(row["startTimecode"],
                  AtRecordedBase(firstTimecode, cw::TraitsOf(clip.frameRate).roundedBase));
    }
}

TEST(QzcardCommandTest, ListMatchesTheDescriptionAndFfprobeForEveryFamily) {
    QZ_REQUIRE_TOOL("ffprobe");
    ScratchFolder folder;
    const cw::FrameRateFamily families[] = {cw::kFamily59_94, cw::kFamily50, cw::kFamily24};
    for (cw::FrameRateFamily family : families) {
        SCOPED_TRACE(testing::Message() << "family " << int{family});
        cw::SampleCardOptions options;
        options.family = family;
        options.durationFrames = 30;
        const cw::CardDescription card = cw::SampleCardDescription(options);
        const std::string root = folder.Path() + "/card" + std::to_string(int{family});
        cw::WriteCard(card, root);
        CheckListAgainstDescriptionAndFfprobe(card, root);
    }
}

// The text forms of list and clip are fixed by their golden outputs.
TEST(QzcardCommandTest, ClipValuesMatchTheDescription) {
    ScratchFolder folder;
    cw::SampleCardOptions options;
    options.durationFrames = 12;
    const cw::CardDescription card = cw::SampleCardDescription(options);
    const std::string root = folder.Path() + "/card";
    cw::WriteCard(card, root);

    const cw::ClipDescription& first = card.clips[0];
    const std::string id = cw::ClipIdText(first.id);
    const json v = qztest::QzcardJson({"clip", root, id, "--json"})["values"];
    // One value per tag, each under its own name.
    EXPECT_EQ(v.size(), static_cast<size_t>(ComVantoVantoQZ64RADPlug::kClipValueTagCount));
    EXPECT_EQ(v["ClipID"], id);
    EXPECT_EQ(v["DurationFrames"].get<uint32_t>(), first.durationFrames);
    EXPECT_EQ(v["FrameRate"].get<uint32_t>(), static_cast<uint32_t>(first.frameRate));
    EXPECT_EQ(v["StartTimecode"], cw::TimecodeText(first.startTimecode, first.dropFrame));
    EXPECT_EQ(v["DeviceSerialNumber"], first.device.serialNumber);
    EXPECT_EQ(v["MediaRootPath"], root);
    EXPECT_TRUE(v["None"].is_null());
    EXPECT_TRUE(v["Reserved39"].is_null());
    if (first.xml.title) {
        EXPECT_EQ(v["Title"], *first.xml.title);
    }

    const QzcardRun missing = Qzcard({"clip", root, "ZZ9999"});
    EXPECT_EQ(missing.exitCode, 3);
    EXPECT_NE(missing.err.find("ZZ9999"), std::string::npos);
    EXPECT_EQ(missing.out, "");
}

TEST(QzcardCommandTest, FoldersThatAreNotCardsFailWithTheReasonOnStderr) {
    ScratchFolder folder;
    struct Case {
        const char* name;
        void (*edit)(cw::CardDescription&);
        const char* reason;
    };
    const Case cases[] = {
        {"no-index", [](cw::CardDescription& c) { c.index.write = false; }, "no media index"},
        {"bad-magic", [](cw::CardDescription& c) { c.index.magic = 0x4D4A; }, "bad magic"},
        {"version-2", [](cw::CardDescription& c) { c.index.version = 0x0201; },
         "unsupported media index version"},
        {"count-1000", [](cw::CardDescription& c) { c.index.clipCount = 1000; }, "clip count of 1000"},
        {"bad-system", [](cw::CardDescription& c) { c.index.systemBitmap = 0x03; },
         "frame-rate type not allowed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        cw::CardDescription card;
        card.clips.resize(1);
        card.clips[0].writeMxfFiles = false;
        c.edit(card);
        const std::string root = folder.Path() + "/" + c.name;
        cw::WriteCard(card, root);
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"list", root}, std::vector<std::string>{"clip", root, "QZ0001"}}) {
            const QzcardRun run = Qzcard(args);
            EXPECT_EQ(run.exitCode, 2) << args[0];
            EXPECT_EQ(run.out, "") << args[0];
            EXPECT_NE(run.err.find("is not a card"), std::string::npos) << run.err;
            EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
        }
    }
    // A folder given wrongly is named with what to give instead; list --json
    // answers in JSON too.
    cw::CardDescription card;
    card.clips.resize(1);
    card.clips[0].writeMxfFiles = false;
    const std::string root = folder.Path() + "/card";
    cw::WriteCard(card, root);
    ASSERT_TRUE(qztest::WriteText(folder.Path() + "/notes.txt", "not a card\n"));
    const struct {
        std::string path;
        std::string message;
    } wrong[] = {
        {folder.Path() + "/nothing-here", "no such folder"},
        {root + "/CONTENTS/CLIPS001/INDEX.MIF", "INDEX.MIF lies inside the card " + root + "; give " + root},
        {root + "/CONTENTS/CLIPS001/QZ0001", "QZ0001 lies inside the card " + root + "; give " + root},
        {root + "/CONTENTS/CLIPS001/QZ0001/QZ0001.XML/..", "lies inside the card " + root},
        {folder.Path() + "/notes.txt", "notes.txt is a file; the card is the folder that holds CONTENTS"},
    };
    for (const auto& w : wrong) {
        const QzcardRun run = Qzcard({"list", w.path, "--json"});
        EXPECT_EQ(run.exitCode, 2) << w.path;
        EXPECT_NE(run.err.find(w.message), std::string::npos) << run.err;
        const json out = qztest::ParseJson(run.out);
        EXPECT_EQ(out["isCard"], false);
        EXPECT_NE(out["reason"].get<std::string>().find(w.message), std::string::npos) << out;
    }
}

// Clips whose files are there but cannot be imported are "damaged" in list,
// with the reason, and the plug-in's import agrees; a missing member file is
// named as missing wherever it shows.
TEST(QzcardCommandTest, DamagedClipsAreListedWithTheReasonThePluginRefusesThem) {
    ScratchFolder folder;
    const std::string clean = folder.Path() + "/clean";
    ASSERT_EQ(Qzcard({"sample-card", clean, "--frames", "12"}).exitCode, 0);
    const std::string clips = "/CONTENTS/CLIPS001/";
    const struct {
        const char* file;  // under the clips folder
        int64_t keep;      // bytes kept; -1 removes the file
        const char* state;
        const char* reason;
    } cases[] = {
        {"QZ0004/QZ000401.MXF", 40000, "damaged", "lies beyond the end of the file (40000 bytes)"},
        {"QZ0004/QZ000402.MXF", 40000, "damaged", "QZ000402.MXF"},
        {"QZ0004/QZ000403.MXF", 0, "damaged", "QZ000403.MXF"},
        {"QZ0004/QZ0004.CIF", 100, "damaged", "holds 100 of its 2560 bytes"},
        {"QZ0004/QZ000402.MXF", -1, "missing files", "member file QZ000402.MXF is missing"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file + std::string(" ") + std::to_string(c.keep));
        const std::string card = folder.Path() + "/card";
        std::filesystem::remove_all(card);
        std::filesystem::copy(clean, card, std::filesystem::copy_options::recursive);
        if (c.keep < 0)
            std::filesystem::remove(card + clips + c.file);
        else
            std::filesystem::resize_file(card + clips + c.file, static_cast<uintmax_t>(c.keep));
        const json list = qztest::QzcardJson({"list", card, "--json"});
        const json& row = list["clips"][3];
        EXPECT_EQ(row["state"], c.state);
        EXPECT_EQ(row["offered"], false);
        EXPECT_NE(row["stateReason"].get<std::string>().find(c.reason), std::string::npos)
            << row["stateReason"];
        EXPECT_EQ(list["offeredClipCount"], 5);
        const QzcardRun text = Qzcard({"list", card});
        EXPECT_NE(text.out.find(std::string("QZ0004  ") + c.state + ": "), std::string::npos) << text.out;
        EXPECT_EQ(Qzcard({"export", "--format", "es", card, "QZ0004", "--null"}).exitCode, 4);
    }
    // The frames command names the missing file as missing, too.
    const QzcardRun frames = Qzcard({"frames", folder.Path() + "/card", "QZ0004"});
    EXPECT_EQ(frames.exitCode, 4);
    EXPECT_NE(frames.err.find("the MXF file is missing"), std::string::npos) << frames.err;
}

// Every key of every command's JSON is camelCase (the clip values keep the
// tag names they are listed under), and every output names the version.
TEST(QzcardCommandTest, EveryJsonKeyIsCamelCaseAndTheVersionIsNamed) {
    ScratchFolder folder;
    const std::string card = folder.Path() + "/card";
    ASSERT_EQ(Qzcard({"sample-card", card, "--clips", "1", "--frames", "6"}).exitCode, 0);
    const std::string mxf = card + "/CONTENTS/CLIPS001/QZ0001/QZ000101.MXF";
    static const std::regex kCamelCase("[a-z][a-z0-9]*([A-Z][a-z0-9]+)*");
    std::function<void(const json&, const std::string&)> check = [&](const json& j, const std::string& at) {
        for (const auto& [key, value] : j.items()) {
            const bool tagNames = at.ends_with(".values") || at.ends_with(".valueTexts");
            if (j.is_object() && !tagNames) {
                EXPECT_TRUE(std::regex_match(key, kCamelCase)) << at << "." << key;
            }
            if (value.is_structured()) check(value, at + "." + key);
        }
    };
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"list", card, "--json"},
                                               {"list", folder.Path(), "--json"},
                                               {"clip", card, "qz0001", "--json"},
                                               {"frames", card, "QZ0001", "--json"},
                                               {"spans", card, "--json"},
                                               {"verify", card, "--json"},
                                               {"mxf-info", mxf, "--json", "--units"}}) {
        const QzcardRun run = Qzcard(args);
        const json out = qztest::ParseJson(run.out);
        EXPECT_EQ(out.value("qzcardVersion", ""), qzimport::QzcardVersion()) << args[0];
        check(out, args[0]);
    }
}

}  // namespace

namespace {

// A member file that lost its last bytes: mxf-info names the failure in words.
TEST(QzcardCommandTest, MxfInfoSaysWhyAnIndexCannotBeRead) {
    ScratchFolder folder("qz-mxf-info");
    const std::string card = folder.Path() + "/card";
    ASSERT_EQ(Qzcard({"sample-card", card, "--clips", "1", "--frames", "60"}).exitCode, 0);
    const std::string mxf = card + "/CONTENTS/CLIPS001/QZ0001/QZ000101.MXF";
    std::filesystem::resize_file(mxf, std::filesystem::file_size(mxf) - 1000);
    const json out = qztest::ParseJson(Qzcard({"mxf-info", mxf, "--json"}).out);
    size_t failed = 0;
    for (const json& body : out.at("bodyPartitions")) {
        if (!body.contains("indexError")) continue;
        ++failed;
        EXPECT_NE(body.value("indexProblem", "").find("past the end of the file"), std::string::npos) << body;
    }
    EXPECT_GT(failed, 0u) << out;
    EXPECT_NE(Qzcard({"mxf-info", mxf}).out.find("indexProblem=index table"), std::string::npos);
}

}  // namespace
