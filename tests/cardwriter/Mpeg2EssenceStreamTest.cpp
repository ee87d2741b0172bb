// Essence streams the card writer refuses (with a reason, never a crash),
// clips the stream cannot fill, the looped open first GOP, and the sample
// card cut at open GOPs.
#include "CardTestSupport.h"

#include "CardWriter.h"
#include "Mpeg2EssenceStream.h"
#include "SampleCard.h"

#include "SmallClip.h"

using namespace ComVantoVantoQZ64RADPlug::CardWriter;
using namespace cardwriter_test;

namespace {

constexpr const char* kMpeg2Video422 = "-c:v mpeg2video -profile:v 0 -pix_fmt yuv422p";

// 12 frames of 1280x720 29.97 interlaced, open GOPs of 6 with 2 B pictures
// unless `options` says otherwise; 4:2:2 MPEG-2 video by default.
std::vector<uint8_t> Encode(const std::string& folder, const std::string& options = kMpeg2Video422) {
    const std::string path = folder + "/e.m2v";
    std::filesystem::remove(path);
    RunPeer(
        "ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=1280x720:rate=30000/1001 -frames:v 12 -b:v "
        "20M "
        "-g 6 -bf 2 -flags +ilme+ildct " +
        options + " -f mpeg2video " + ShellQuote(path));
    return qztest::ReadFile(path);
}

size_t NthStartCode(const std::vector<uint8_t>& b, uint8_t code, int n) {
    for (size_t i = 0; i + 3 < b.size(); ++i)
        if (b[i] == 0 && b[i + 1] == 0 && b[i + 2] == 1 && b[i + 3] == code && n-- == 0) return i;
    return b.size();
}

struct Refusal {
    const char* name;
    const char* options;                         // encoder options; "" = the default stream
    size_t (*cut)(const std::vector<uint8_t>&);  // bytes kept; null = all
    const char* reason;
};

const Refusal kRefusals[] = {
    {"4:2:0", "-c:v mpeg2video -pix_fmt yuv420p", nullptr, "not 4:2:2"},
    {"MPEG-1", "-c:v mpeg1video -pix_fmt yuv420p -flags -ilme-ildct", nullptr, "not MPEG-2"},
    {"empty", "", [](const std::vector<uint8_t>&) -> size_t { return 0; },
     "does not start with a sequence header"},
    {"cut in the sequence header", "", [](const std::vector<uint8_t>&) -> size_t { return 9; }, "truncated"},
    {"cut after a picture header", "",
     [](const std::vector<uint8_t>& b) { return NthStartCode(b, 0x00, 4) + 6; }, "picture without slices"},
    {"cut inside a GOP", "", [](const std::vector<uint8_t>& b) { return NthStartCode(b, 0x00, 5); },
     "outside its GOP"},
};

TEST(Mpeg2EssenceStreamTest, RefusesWhatIsNotWholeMpeg2Video422) {
    QZ_REQUIRE_TOOL("ffmpeg");
    ScratchFolder folder("refuse");
    for (const Refusal& r : kRefusals) {
        SCOPED_TRACE(r.name);
        std::vector<uint8_t> bytes = Encode(folder.Path(), *r.options ? r.options : kMpeg2Video422);
        if (r.cut) bytes.resize(r.cut(bytes));
        ExpectThrowNaming<CardWriterError>([&] { Mpeg2EssenceStream::Parse(bytes, "e.m2v"); }, r.reason);
    }
    std::vector<uint8_t> garbage(5000);
    for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = uint8_t(i * 2654435761u >> 13);
    EXPECT_THROW(Mpeg2EssenceStream::Parse(garbage, "garbage"), CardWriterError);
}

TEST(Mpeg2EssenceStreamTest, ClipsTheStreamCannotFillAreRefusedAndTheSampleCardCutsAtOpenGops) {
    QZ_REQUIRE_TOOL("ffmpeg");
    ScratchFolder folder("fit");
    const auto essence = Mpeg2EssenceStream::Parse(Encode(folder.Path()), "e.m2v");
    const struct {
        FrameRate rate;
        std::vector<uint32_t> members;
        const char* reason;
    } clips[] = {{FrameRate::k50i, {12}, "the clip is 50i"},
                 {FrameRate::k29_97p, {12}, "interlaced, the clip is 29.97p"},
                 {FrameRate::k59_94i, {2, 10}, "would part B pictures"},
                 {FrameRate::k59_94i, {14}, "would part B pictures"}};
    for (const auto& c : clips) {
        CardDescription card;
        card.clips.push_back(qztest::SmallClip(c.rate, c.members));
        card.clips[0].pictureSize = PictureSize::k1280x720;
        card.clips[0].essence = essence;
        ExpectThrowNaming<CardWriterError>([&] { WriteCard(card, folder.Path() + "/card"); }, c.reason);
    }

    SampleCardOptions options;
    options.essence = essence;
    options.clipCount = 4;
    options.durationFrames = 0;
    const CardDescription card = SampleCardDescription(options);
    const ClipDescription& spanned = card.clips.at(3);
    ASSERT_EQ(spanned.members.size(), 3u);
    uint32_t at = 0;
    for (size_t m = 0; m + 1 < spanned.members.size(); ++m) {
        at += spanned.members[m].frameCount;
        const EssencePicture& next = essence->Picture(at % essence->PictureCount());
        EXPECT_TRUE(next.gopHeader && essence->Gops()[next.gop].leadingPictures && next.gop != 0) << at;
    }
    EXPECT_NO_THROW(WriteCard(card, folder.Path() + "/sample"));
    options.rate = FrameRate::k50i;
    EXPECT_THROW(SampleCardDescription(options), CardWriterError);
}

// A stream beginning with an open GOP: its looped copies follow the stream's
// last GOP, so they are marked broken_link and their leading B pictures
// predict only backward; the first pass stays as encoded.
TEST(Mpeg2EssenceStreamTest, LoopedOpenFirstGopIsMarkedBrokenLink) {
    QZ_REQUIRE_TOOL("ffmpeg");
    ScratchFolder folder("loop");
    std::vector<uint8_t> bytes = Encode(folder.Path());
    bytes.erase(bytes.begin(), bytes.begin() + long(NthStartCode(bytes, 0xB3, 1)));
    const auto essence = Mpeg2EssenceStream::Parse(bytes, "open.m2v");
    const int64_t n = int64_t(essence->PictureCount());
    ASSERT_TRUE(essence->Gops()[0].leadingPictures && !essence->Gops()[0].closed);
    std::vector<uint8_t> first, looped;
    essence->CopyClipPicture(0, first);
    essence->CopyClipPicture(n, looped);
    ASSERT_EQ(first.size(), looped.size());
    const EssencePicture& i = essence->Picture(0);
    for (size_t k = 0; k < first.size(); ++k)
        EXPECT_EQ(first[k] ^ looped[k], k == i.gopFlagsAt - i.offset ? 0x20 : 0) << k;
    EXPECT_EQ(essence->Flags(1), 0x33);
    EXPECT_EQ(essence->Flags(n + 1), 0x13);
}

}  // namespace
