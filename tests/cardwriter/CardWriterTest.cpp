// Whole cards: refusal of descriptions that cannot be written, member files
// counted in the MXF timecode base, and the sample card's MXF files opened by
// an independent reader (ffprobe). The layout is checked by the reader tests.
#include "CardWriter.h"

#include "CardTestSupport.h"
#include "ClipMxfWriter.h"
#include "SampleCard.h"
#include "SmallClip.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

using namespace ComVantoVantoQZ64RADPlug::CardWriter;
using namespace cardwriter_test;
namespace fs = std::filesystem;

namespace {

std::string Probe(const std::string& file, const std::string& entries) {
    const auto result =
        RunPeer("ffprobe -v error -of default=nw=1 -show_entries " + entries + " " + ShellQuote(file));
    EXPECT_EQ(result.exitCode, 0) << file << ": " << result.output;
    return result.output;
}

}  // namespace

TEST(CardWriterTest, DescriptionsThatCannotBeWrittenAreRefusedBeforeAnyFile) {
    const MemberFile numberOne{30, 1};  // two of them would overwrite each other
    const std::function<void(ClipDescription&)> breaks[] = {
        [](auto& c) { c.members.assign(2, MemberFile{25}); },  // 50 != 60
        [](auto& c) { c.frameRate = FrameRate::k25p, c.dropFrame = true; },
        [](auto& c) { c.frameRate = static_cast<FrameRate>(12); },
        [](auto& c) { c.members.assign(1, MemberFile{60}), c.members.push_back(MemberFile{0}); },
        [numberOne](auto& c) { c.members.assign(2, numberOne); },
        [](auto& c) { c.id.number = 10000; },                                   // seven characters
        [](auto& c) { c.xml.title = "bell \x07"; },                             // no XML document can hold it
        [](auto& c) { c.writeMxfFiles = false, c.startTimecode.hours = 123; },  // not two BCD digits
    };
    for (const auto& change : breaks) {
        ScratchFolder folder;
        CardDescription card;
        card.clips.emplace_back();
        change(card.clips[0]);
        EXPECT_THROW(WriteCard(card, folder.Path()), CardWriterError);
        EXPECT_TRUE(fs::is_empty(folder.Path()));  // nothing written
    }

    ScratchFolder folder;
    CardDescription card;
    card.clips = {ClipDescription{}, ClipDescription{}};
    EXPECT_THROW(WriteCard(card, folder.Path()), CardWriterError);  // same clip ID twice
}

TEST(CardWriterTest, MemberFilesCountFromTheClipStartInTheMxfTimecodeBase) {
    CardDescription card;
    ClipDescription clip = qztest::SmallClip(FrameRate::k59_94p, {40, 60});  // 720 lines, 2 channels
    clip.startTimecode = Timecode{1, 0, 0, 0};
    clip.dropFrame = true;
    card.clips.push_back(clip);

    const MxfFileDescription first = MemberMxfDescription(card, 0, 0);
    const MxfFileDescription second = MemberMxfDescription(card, 0, 1);
    // 01:00:00;00 drop frame is label 107892 at 30; the file counts 60 per second.
    EXPECT_EQ(first.startTimecode, 2 * 107892);
    EXPECT_EQ(first.roundedTimecodeBase, 60);
    EXPECT_TRUE(first.dropFrame);
    EXPECT_EQ(second.startTimecode, 2 * 107892 + 40);
    EXPECT_EQ(first.firstFrame, 0);
    EXPECT_EQ(second.firstFrame, 40);
    EXPECT_EQ(second.frameCount, 60u);
    EXPECT_FALSE(first.video.interlaced);
    EXPECT_EQ(first.video.rateNumerator, 60000);
    EXPECT_EQ(first.video.height, 720);
    EXPECT_EQ(first.audioChannels, 2u);
    // One material, one relay identity per clip; a file package per member.
    EXPECT_EQ(first.materialPackageUmid, second.materialPackageUmid);
    EXPECT_EQ(first.relayPackageUmid, RelayPackageUmidOf(card, 0));
    EXPECT_EQ(second.relayPackageUmid, RelayPackageUmidOf(card, 0));
    EXPECT_NE(first.filePackageUmid, second.filePackageUmid);
    EXPECT_NE(first.filePackageUmid, first.materialPackageUmid);

    clip.frameRate = FrameRate::k50i;
    clip.pictureSize = PictureSize::k1920x1080;
    clip.dropFrame = false;
    clip.startTimecode = Timecode{10, 0, 0, 0};
    card.clips[0] = clip;
    const MxfFileDescription interlaced = MemberMxfDescription(card, 0, 1);
    EXPECT_EQ(interlaced.startTimecode, 10 * 3600 * 25 + 40);
    EXPECT_EQ(interlaced.roundedTimecodeBase, 25);
    EXPECT_TRUE(interlaced.video.interlaced);
    EXPECT_EQ(interlaced.video.rateNumerator, 25);
}

TEST(CardWriterTest, SampleCardOpensAndDecodesInFfmpegWithTheRightStreams) {
    QZ_REQUIRE_TOOL("ffprobe");
    QZ_REQUIRE_TOOL("ffmpeg");
    ScratchFolder folder;
    SampleCardOptions options;
    options.durationFrames = 30;
    const CardDescription card = SampleCardDescription(options);
    WriteCard(card, folder.Path());

    size_t files = 0;
    for (size_t c = 0; c < card.clips.size(); ++c) {
        const ClipDescription& clip = card.clips[c];
        const auto xml = RunPeer("python3 " + ShellQuote(XmlDumpScript()) + " " +
                                 ShellQuote(ClipFilePath(folder.Path(), clip.id, ".XML")));
        EXPECT_EQ(xml.exitCode, 0) << xml.output;
        EXPECT_EQ(xml.output.rfind("ns=" + clip.xml.namespaceUri + "\n/VideoClip\n/VideoClip/Title=", 0), 0u)
            << xml.output;
        const auto members = EffectiveMembers(clip);
        for (size_t m = 0; m < members.size(); ++m, ++files) {
            const std::string path = MemberMxfPath(folder.Path(), clip.id, members[m].number);
            SCOPED_TRACE(path);
            // Stream details per rate are the MXF writer's tests; here the
            // card's files hold their channels and frames and decode cleanly.
            std::string audio;
            for (uint32_t a = 0; a < clip.audioChannels; ++a) audio += "codec_type=audio\n";
            EXPECT_EQ(Probe(path, "stream=codec_type -select_streams a"), audio);
            EXPECT_EQ(Probe(path, "stream=nb_read_packets -count_packets -select_streams v:0"),
                      "nb_read_packets=" + std::to_string(members[m].frameCount) + "\n");
            const auto decode =
                RunPeer("ffmpeg -nostdin -v error -i " + ShellQuote(path) + " -map 0 -f null -");
            EXPECT_EQ(decode.exitCode, 0) << decode.output;
            EXPECT_EQ(decode.output, "");
        }
    }
    // Start timecodes in the files' own base, members continuing the clip:
    // 59.94P counts 60 labels per second, the spanned clip's files start 30
    // frames (one second) apart.
    auto timecode = [&](const ClipId& id, uint32_t member) {
        return Probe(MemberMxfPath(folder.Path(), id, member), "format_tags=timecode");
    };
    EXPECT_EQ(timecode(ClipId{"QZ", 1}, 1), "TAG:timecode=01:04:59;20\n");
    EXPECT_EQ(timecode(ClipId{"QZ", 3}, 1), "TAG:timecode=01:24:59;40\n");
    EXPECT_EQ(timecode(ClipId{"QZ", 4}, 1), "TAG:timecode=01:34:59:20\n");
    EXPECT_EQ(timecode(ClipId{"QZ", 4}, 2), "TAG:timecode=01:35:00:20\n");
    EXPECT_EQ(timecode(ClipId{"QZ", 4}, 3), "TAG:timecode=01:35:01:20\n");

    // Every file was probed (what the card covers is the sample card's test).
    EXPECT_EQ(files, card.clips.size() + 2);  // one clip in three files
}
