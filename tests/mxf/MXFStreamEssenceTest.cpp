// Clips the card writer makes from ffmpeg-encoded long-GOP essence, checked
// against the input stream as split here (not by the writer): ffmpeg decodes
// every member file without an error, its stream copy and the MXF reader's
// pictures equal the input's, every index entry agrees with the picture it
// names, ffprobe's presentation order is the input's.
#include "MXFStream.h"

#include "FfprobePackets.h"
#include "MxfTestSupport.h"
#include "WrittenClip.h"

#include "Mpeg2EssenceStream.h"
#include "MxfFileWriter.h"

#include <gtest/gtest.h>

using namespace ComVantoVantoQZ64RADPlug;
using mxftest::OpenMxf;
using qztest::ShellQuote;
namespace cw = CardWriter;

namespace {

struct InputPicture {
    std::vector<uint8_t> bytes;  // with the sequence and GOP headers before it
    int type = 0;                // 1 I, 2 P, 3 B
    int64_t display = 0;
};

// The input's pictures in stored order, split at picture start codes.
std::vector<InputPicture> SplitInput(const std::vector<uint8_t>& b) {
    std::vector<InputPicture> pictures;
    size_t start = 0, gopStart = 0, inGop = 0;
    bool afterSlice = false;
    auto close = [&](size_t end) {
        if (afterSlice) pictures.back().bytes.assign(b.begin() + long(start), b.begin() + long(end));
    };
    for (size_t i = 0; i + 5 < b.size(); ++i) {
        if (b[i] || b[i + 1] || b[i + 2] != 1) continue;
        const uint8_t code = b[i + 3];
        if (code == 0xB3 || code == 0xB8 || code == 0x00 || code == 0xB7) {
            if (afterSlice || code == 0xB7) close(i), start = i, afterSlice = false;
            if (code == 0xB8) gopStart += inGop, inGop = 0;
            if (code == 0x00) {
                ++inGop;
                pictures.push_back(
                    {{}, b[i + 5] >> 3 & 7, int64_t(gopStart) + (b[i + 4] << 2 | b[i + 5] >> 6)});
            }
        } else if (code >= 0x01 && code <= 0xAF) {
            afterSlice = true;
        }
    }
    close(b.size());
    return pictures;
}

struct EssenceCase {
    const char* name;
    const char* ffmpeg;  // encoder options
    cw::FrameRate rate;
    cw::PictureSize size;
    std::vector<uint32_t> members;
};

void PrintTo(const EssenceCase& c, std::ostream* out) {
    *out << c.name;
}

class MXFStreamEssenceTest : public ::testing::TestWithParam<EssenceCase> {};

TEST_P(MXFStreamEssenceTest, MemberFilesCarryTheInputPicturesAndIndexThem) {
    QZ_REQUIRE_TOOL("ffmpeg");
    QZ_REQUIRE_TOOL("ffprobe");
    const EssenceCase& c = GetParam();
    qztest::ScratchFolder folder("essence");
    const std::string input = folder.Path() + "/in.m2v";
    ASSERT_EQ(qztest::RunCommand("ffmpeg -nostdin -v error -f lavfi -i testsrc2=" + std::string(c.ffmpeg) +
                                 " -c:v mpeg2video -profile:v 0 -pix_fmt yuv422p -bf 2 -f mpeg2video " +
                                 ShellQuote(input))
                  .exitCode,
              0);
    const std::vector<InputPicture> in = SplitInput(qztest::ReadFile(input));
    const int64_t n = int64_t(in.size());

    cw::ClipDescription clip = qztest::SmallClip(c.rate, c.members);
    clip.pictureSize = c.size;
    clip.essence = cw::Mpeg2EssenceStream::Load(input);
    const qztest::WrittenClip written = qztest::WriteClip(folder.Path() + "/card", clip);
    auto inputAt = [&](int64_t s) -> const InputPicture& { return in[size_t(s % n)]; };
    auto displayAt = [&](int64_t s) { return s / n * n + inputAt(s).display; };

    int64_t first = 0;
    for (size_t m = 0; m < written.mxfPaths.size(); ++m) {
        SCOPED_TRACE(written.mxfPaths[m]);
        const std::string& path = written.mxfPaths[m];
        const int64_t frames = c.members[m];
        EXPECT_EQ(
            qztest::RunCommand("ffmpeg -nostdin -v error -i " + ShellQuote(path) + " -f null - 2>&1").output,
            "");
        const std::string copy = folder.Path() + "/copy.m2v";
        qztest::RunCommand("ffmpeg -nostdin -v error -y -i " + ShellQuote(path) + " -c copy -f mpeg2video " +
                           ShellQuote(copy));
        const std::vector<InputPicture> copied = SplitInput(qztest::ReadFile(copy));
        const std::vector<qztest::ProbedPacket> packets = qztest::ProbePackets(path);
        ASSERT_EQ(int64_t(copied.size()), frames);
        ASSERT_EQ(int64_t(packets.size()), frames);

        auto mxf = OpenMxf(path);
        ASSERT_EQ(mxf->Parse(), 0u);
        ASSERT_EQ(mxf->Duration(), frames);
        std::vector<uint8_t> buffer(8 << 20);
        for (int64_t e = 0; e < frames; ++e) {
            SCOPED_TRACE(e);
            const InputPicture& expected = inputAt(first + e);
            EXPECT_EQ(copied[size_t(e)].bytes, expected.bytes);
            EXPECT_EQ(packets[size_t(e)].rank, displayAt(first + e) - first);
            const uint32_t got =
                mxf->ReadEssenceData(e, cw::kMxfPictureElement, buffer.data(), uint32_t(buffer.size()));
            EXPECT_TRUE(std::equal(expected.bytes.begin(), expected.bytes.end(), buffer.begin()) &&
                        got == expected.bytes.size());

            int8_t temporal = 0, key = 0;
            uint8_t flags = 0;
            ASSERT_TRUE(mxf->GetTemporalOffsetAtIndex(e, temporal) && mxf->GetKeyOffsetAtIndex(e, key) &&
                        mxf->GetFlagsAtIndex(e, flags));
            EXPECT_EQ(flags & 0x30, expected.type == 1   ? 0
                                    : expected.type == 2 ? 0x20
                                                         : 0x10 | (flags & 0x20));
            EXPECT_EQ(displayAt(first + e + temporal), first + e)
                << "entry's temporal offset " << int(temporal);
            EXPECT_EQ(inputAt(first + e + key).type, 1) << "key-frame offset " << int(key);
            for (int64_t k = e + key + 1; k <= e; ++k) EXPECT_NE(inputAt(first + k).type, 1);
        }
        first += frames;
    }
}

// 1080i: open GOPs of 15 with 2 B pictures, 100 frames looping the 45-frame
// stream; the second file begins with a GOP whose leading B pictures predict
// from the first file's last P picture. 720p: closed GOPs (of 10), looped.
INSTANTIATE_TEST_SUITE_P(
    Streams, MXFStreamEssenceTest,
    ::testing::Values(
        EssenceCase{"OpenGop1080i",
                    "size=1920x1080:rate=30000/1001 -frames:v 45 -b:v 50M -flags +ilme+ildct -g 15",
                    cw::FrameRate::k59_94i,
                    cw::PictureSize::k1920x1080,
                    {43, 57}},
        EssenceCase{"ClosedGop720p",
                    "size=1280x720:rate=60000/1001 -frames:v 40 -b:v 40M -flags +cgop "
                    "-sc_threshold 1000000000 -g 12",
                    cw::FrameRate::k59_94p,
                    cw::PictureSize::k1280x720,
                    {30, 20}}),
    [](const ::testing::TestParamInfo<EssenceCase>& param) { return std::string(param.param.name); });

}  // namespace
