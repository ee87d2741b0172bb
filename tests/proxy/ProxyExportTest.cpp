// qzcard export --format proxy of a written card: what an editor relinks
// by (name, start timecode, reel, duration, rate, field order, channels,
// display aspect) read by ffprobe and mediainfo equal to the MOV export's,
// and the pictures within 35 dB of ffmpeg's scale of the MOV export.
#include "ExternalTool.h"
#include "QzcardRun.h"
#include "ScratchFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

using qztest::Qzcard;
using qztest::RunCommand;
using qztest::ShellQuote;

// What ffprobe and mediainfo say of a movie that a proxy must keep.
std::string KeptValues(const std::string& file, bool keepFields) {
    const std::string q = ShellQuote(file);
    std::string fields = keepFields ? ",field_order" : "";
    std::string text =
        RunCommand(
            "ffprobe -v error -show_entries stream=codec_type,nb_frames,r_frame_rate,display_aspect_ratio," +
            std::string("channels") + fields +
            ":stream_tags=timecode,reel_name:format_tags=title -of compact " + q +
            " | sed 's/|side_data.*//'")
            .output;
    text +=
        RunCommand("mediainfo --Inform='Video;%FrameCount% %DisplayAspectRatio% %FrameRate%' " + q).output;
    return text;
}

struct ProxyCase {
    const char* codec;
    bool keepsFields;   // as decoders report them: DNxHR codes no fields
    bool deinterlaced;  // the daily
};

class ProxyExport : public ::testing::TestWithParam<ProxyCase> {};

TEST_P(ProxyExport, KeepsWhatEditorsRelinkByAndThePictures) {
    QZ_REQUIRE_TOOL("ffprobe");
    QZ_REQUIRE_TOOL("mediainfo");
    const ProxyCase c = GetParam();
    qztest::ScratchFolder scratch("proxy");
    const std::string card = scratch.Path() + "/card", mov = scratch.Path() + "/mov",
                      proxy = scratch.Path() + "/proxy";
    ASSERT_EQ(Qzcard({"sample-card", "--clips", "2", "--frames", "30", card}).exitCode, 0);
    ASSERT_EQ(Qzcard({"export", card, "-o", mov}).exitCode, 0);
    const qztest::QzcardRun run =
        Qzcard({"export", card, "--format", "proxy", "--codec", c.codec, "-o", proxy});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    for (const char* clip : {"QZ0001", "QZ0002"}) {
        const std::string original = mov + "/" + clip + ".mov", made = proxy + "/" + clip + ".mov";
        EXPECT_EQ(KeptValues(made, c.keepsFields), KeptValues(original, c.keepsFields)) << clip;
        // ffmpeg's scale of the original, field by field as the proxy's.
        const std::string psnr =
            RunCommand("ffmpeg -v error -i " + ShellQuote(made) + " -i " + ShellQuote(original) +
                           " -filter_complex '[1:v]" +
                           std::string(c.deinterlaced ? "bwdif=mode=send_frame," : "") +
                           "scale=iw/2:ih/2:interl=" + (c.deinterlaced ? "0" : "1") +
                           ",format=yuv422p[o];[0:v]format=yuv422p[p];[p][o]psnr=stats_file=-' -f null - "
                           "| sed -n 's/.*psnr_avg:\\([0-9.inf]*\\).*/\\1/p' | sort -g | head -1",
                       qztest::Capture::Stdout)
                .output;
        ASSERT_FALSE(psnr.empty()) << clip;
        EXPECT_GE(psnr.rfind("inf", 0) == 0 ? 99.0 : std::atof(psnr.c_str()), 35.0) << clip << " " << psnr;
    }
    // The same options again are up to date; another codec is not.
    EXPECT_NE(
        Qzcard({"export", card, "--format", "proxy", "--codec", c.codec, "-o", proxy}).out.find("up to date"),
        std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Codecs, ProxyExport,
                         ::testing::Values(ProxyCase{"prores-proxy", true, false},
                                           ProxyCase{"prores-lt", true, false},
                                           ProxyCase{"dnxhr-lb", false, false},
                                           ProxyCase{"h264", false, true}),
                         [](const auto& param) {
                             std::string name = param.param.codec;
                             for (char& ch : name)
                                 if (ch == '-') ch = '_';
                             return name;
                         });

// Sizes that do not divide the picture evenly, and unknown sizes, are refused.
TEST(ProxyExportRefuses, SizesThatDoNotDivideThePicture) {
    qztest::ScratchFolder scratch("proxy");
    const std::string card = scratch.Path() + "/card";
    ASSERT_EQ(Qzcard({"sample-card", "--clips", "1", "--frames", "5", card}).exitCode, 0);
    EXPECT_EQ(
        Qzcard({"export", card, "--format", "proxy", "--size", "big", "-o", scratch.Path() + "/a"}).exitCode,
        64);
    EXPECT_EQ(
        Qzcard({"export", card, "--format", "mov", "--codec", "h264", "-o", scratch.Path() + "/b"}).exitCode,
        64);
    const qztest::QzcardRun odd =
        Qzcard({"export", card, "--format", "proxy", "--size", "1000x540", "-o", scratch.Path() + "/c"});
    EXPECT_NE(odd.exitCode, 0);
    EXPECT_NE(odd.err.find("does not divide"), std::string::npos) << odd.err;
}

}  // namespace

// export --check reads every proxy back and names each value an editor
// relinks by that differs from its original; the damaged proxies are made
// by ffmpeg.
TEST(ProxyRelinkCheck, NamesEachProxyThatDoesNotRelinkAndWhy) {
    QZ_REQUIRE_TOOL("ffmpeg");
    qztest::ScratchFolder scratch("proxy");
    const std::string card = scratch.Path() + "/card", proxy = scratch.Path() + "/proxy";
    ASSERT_EQ(Qzcard({"sample-card", "--clips", "4", "--frames", "30", card}).exitCode, 0);
    ASSERT_EQ(Qzcard({"export", card, "--format", "proxy", "-o", proxy}).exitCode, 0);
    const qztest::QzcardRun whole = Qzcard({"export", card, "--format", "proxy", "--check", "-o", proxy});
    EXPECT_EQ(whole.exitCode, 0) << whole.out << whole.err;
    EXPECT_NE(whole.out.find("QZ0004  relinks  QZ0004.mov"), std::string::npos) << whole.out;

    const auto file = [&proxy](const char* clip) { return ShellQuote(proxy + "/" + clip + ".mov"); };
    const struct {
        const char* clip;
        std::string damage;  // a shell command
        const char* named;   // in the check's lines
    } damages[] = {
        {"QZ0001", "mv " + file("QZ0001") + " " + ShellQuote(proxy + "/renamed.mov"),
         "QZ0001.mov: no such proxy"},
        {"QZ0002",
         "ffmpeg -v error -i " + file("QZ0002") + " -map 0:v -map 0:a -c copy -frames:v 20 -y x.mov",
         "duration: 20 pictures, the original 30 pictures"},
        {"QZ0003", "ffmpeg -v error -i " + file("QZ0003") + " -map 0:v -map 0:a -map -0:a:3 -c copy -y x.mov",
         "sound: 3 channels in 3 tracks, the original 4 channels in 4 tracks"},
    };
    for (const auto& d : damages) {
        const std::string made =
            d.damage.find("x.mov") == std::string::npos
                ? d.damage
                : "cd " + ShellQuote(scratch.Path()) + " && " + d.damage + " && mv x.mov " + file(d.clip);
        ASSERT_EQ(RunCommand(made).exitCode, 0) << made;
    }
    const qztest::QzcardRun run = Qzcard({"export", card, "--format", "proxy", "--check", "-o", proxy});
    EXPECT_EQ(run.exitCode, 4) << run.out << run.err;
    EXPECT_NE(run.err.find("3 of 4 proxies do not relink"), std::string::npos) << run.err;
    EXPECT_NE(run.out.find("QZ0004  relinks"), std::string::npos) << run.out;
    for (const auto& d : damages) {
        const size_t at = run.out.find(std::string(d.clip) + "  does not relink");
        ASSERT_NE(at, std::string::npos) << d.clip << "\n" << run.out;
        const size_t next = run.out.find("\nQZ", at + 1);
        EXPECT_NE(run.out.substr(at, next - at).find(d.named), std::string::npos) << d.clip << "\n"
                                                                                  << run.out;
    }
    // A check needs a format that has one, and writes nothing.
    EXPECT_EQ(Qzcard({"export", card, "--check", "-o", proxy}).exitCode, 64);
    EXPECT_EQ(
        Qzcard({"export", card, "--format", "proxy", "--check", "-o", scratch.Path() + "/none"}).exitCode, 4);
    EXPECT_FALSE(std::filesystem::exists(scratch.Path() + "/none"));
}
