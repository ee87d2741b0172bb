// qzcard export --format proxy of a written card: what an editor relinks
// by (name, start timecode, reel, duration, rate, field order, channels,
// display aspect) read by ffprobe and mediainfo equal to the MOV export's,
// and the pictures within 35 dB of ffmpeg's scale of the MOV export.
#include "ExternalTool.h"
#include "QzcardRun.h"
#include "ScratchFolder.h"
#include "SignalledRun.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using qztest::Qzcard;
using qztest::RunCommand;
using qztest::ShellQuote;

// What ffprobe and mediainfo say of a movie that a proxy must keep; an edit
// proxy (not the daily) keeps the field order and plays every sound track.
std::string KeptValues(const std::string& file, bool keepFields) {
    const std::string q = ShellQuote(file);
    std::string fields = keepFields ? ",field_order:stream_disposition=default" : "";
    std::string text =
        RunCommand(
            "ffprobe -v error -show_entries stream=codec_type,nb_frames,r_frame_rate,display_aspect_ratio," +
            std::string("channels,duration") + fields +
            ":stream_tags=timecode,reel_name:format_tags=title -of compact " + q +
            // Sound is counted by its duration: the daily's AAC packets are not samples.
            " | sed -e 's/|side_data.*//' -e '/codec_type=audio/s/|nb_frames=[0-9]*//'")
            .output;
    text += RunCommand("mediainfo --Inform='Video;%FrameCount% %DisplayAspectRatio% %FrameRate%" +
                       std::string(keepFields ? " %ScanType% %ScanOrder%" : "") + "' " + q)
                .output;
    return text;
}

struct ProxyCase {
    const char* codec;
    bool keepsFields;   // field order as ffprobe reads it (a DNxHR proxy's from its 'fiel')
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
        if (!c.deinterlaced) continue;
        // The daily: AAC sound, its index before its media (atoms in file order) to play as it loads.
        EXPECT_EQ(
            RunCommand("ffprobe -v error -select_streams a -show_entries stream=codec_name -of csv=p=0 " +
                       ShellQuote(made) + " | sort -u; ffprobe -v trace " + ShellQuote(made) +
                       " 2>&1 | sed -n \"s/.*type:'\\(moov\\|mdat\\)' parent:'root'.*/\\1/p\" | tr '\\n' ' '")
                .output,
            "aac\nmoov mdat ");
    }
    // Its own relink check finds every kept value; the same options again are up to date.
    const auto check =
        Qzcard({"export", card, "--format", "proxy", "--codec", c.codec, "--check", "-o", proxy});
    EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
    EXPECT_NE(
        Qzcard({"export", card, "--format", "proxy", "--codec", c.codec, "-o", proxy}).out.find("up to date"),
        std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Codecs, ProxyExport,
                         ::testing::Values(ProxyCase{"prores-proxy", true, false},
                                           ProxyCase{"prores-lt", true, false},
                                           ProxyCase{"dnxhr-lb", true, false},
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
    // Refused before any work, the folder not even made.
    EXPECT_EQ(odd.exitCode, 64);
    EXPECT_NE(odd.err.find("does not divide"), std::string::npos) << odd.err;
    EXPECT_FALSE(std::filesystem::exists(scratch.Path() + "/c"));
}

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

// ffmpeg's lowest PSNR of a picture of `a` through `filterA` against the
// same picture of `b` through `filterB`.
double Psnr(const std::string& a, const std::string& filterA, const std::string& b,
            const std::string& filterB) {
    const std::string text =
        RunCommand("ffmpeg -v error -i " + ShellQuote(a) + " -i " + ShellQuote(b) +
                       " -filter_complex '[0:v]" + filterA + "[a];[1:v]" + filterB +
                       "[b];[a][b]psnr=stats_file=-' -f null - "
                       "| sed -n 's/.*psnr_avg:\\([0-9.inf]*\\).*/\\1/p' | sort -g | head -1",
                   qztest::Capture::Stdout)
            .output;
    EXPECT_FALSE(text.empty()) << a;
    return text.rfind("inf", 0) == 0 ? 99.0 : std::atof(text.c_str());
}

// An inverting LUT shows in the proxy's pictures; the burn-in changes the
// band along the bottom and nothing else; either makes the old proxy not up
// to date; a LUT libavfilter cannot read is refused before any work.
TEST(ProxyLook, LutAndBurnInShowWhereTheyShould) {
    QZ_REQUIRE_TOOL("ffmpeg");
    qztest::ScratchFolder scratch("proxy");
    const std::string root = scratch.Path(), card = root + "/card";
    ASSERT_EQ(Qzcard({"sample-card", "--clips", "1", "--frames", "10", card}).exitCode, 0);
    // A 2-point cube mapping every component c to 1 - c.
    RunCommand(
        "printf 'LUT_3D_SIZE 2\\n1 1 1\\n0 1 1\\n1 0 1\\n0 0 1\\n1 1 0\\n0 1 0\\n1 0 0\\n0 0 0\\n' > " +
        ShellQuote(root + "/invert.cube") + " && echo LUT_3D_SIZE 2 > " + ShellQuote(root + "/bad.cube"));
    const auto proxy = [&](const std::string& folder, std::vector<std::string> extra) {
        std::vector<std::string> args = {"export", card, "--format", "proxy", "-o", root + "/" + folder};
        args.insert(args.end(), extra.begin(), extra.end());
        return Qzcard(args);
    };
    ASSERT_EQ(proxy("plain", {}).exitCode, 0);
    ASSERT_EQ(proxy("lut", {"--lut", root + "/invert.cube"}).exitCode, 0);
    ASSERT_EQ(proxy("burnt", {"--burn-in", "timecode,clip,title"}).exitCode, 0);
    const std::string plain = root + "/plain/QZ0001.mov", lut = root + "/lut/QZ0001.mov",
                      burnt = root + "/burnt/QZ0001.mov";
    EXPECT_GE(Psnr(lut, "format=rgb24", plain, "format=rgb24,negate"), 35.0);
    EXPECT_LE(Psnr(lut, "format=rgb24", plain, "format=rgb24"), 20.0);
    const std::string top = "crop=iw:ih*3/4:0:0", band = "crop=iw:ih/8:0:ih*7/8";
    EXPECT_GE(Psnr(burnt, top, plain, top), 60.0);
    EXPECT_LE(Psnr(burnt, band, plain, band), 30.0);
    // Another LUT or burn-in is another proxy: not up to date, refused without --force.
    EXPECT_NE(proxy("plain", {"--burn-in", "clip"}).err.find("with other options"), std::string::npos);
    EXPECT_NE(proxy("burnt", {"--burn-in", "timecode,clip,title"}).out.find("up to date"), std::string::npos);
    EXPECT_NE(proxy("burnt", {"--burn-in", "timecode,clip,title", "--lut", root + "/invert.cube"})
                  .err.find("with other options"),
              std::string::npos);
    const qztest::QzcardRun bad = proxy("bad", {"--lut", root + "/bad.cube"});
    EXPECT_EQ(bad.exitCode, 64);
    EXPECT_NE(bad.err.find("bad.cube is not a LUT"), std::string::npos) << bad.err;
    EXPECT_FALSE(std::filesystem::exists(root + "/bad"));
}

// SIGINT midway through an encode (its partial has grown) leaves no proxy and no partial, exits 130 and
// ends the progress as interrupted, never done; the next run writes the proxy whole, and it relinks.
TEST(ProxyInterrupted, LeavesNothingAndTheNextRunWritesItWhole) {
    namespace fs = std::filesystem;
    qztest::ScratchFolder scratch("proxy");
    const std::string card = scratch.Path() + "/card", out = scratch.Path() + "/out";
    ASSERT_EQ(Qzcard({"sample-card", "--clips", "1", "--frames", "240", card}).exitCode, 0);
    // The names in `out` but its lock; with `grown`, only partials past 256 KiB (the codecs are at work).
    const auto entries = [&out](bool grown) {
        std::vector<std::string> names;
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(out, error))
            if (grown ? entry.path().extension() == ".partial" &&
                            fs::file_size(entry.path(), error) > (256 << 10)
                      : entry.path().filename() != ".qzcard-export.lock")
                names.push_back(entry.path().filename());
        return names;
    };
    const qztest::SignalledRun run = qztest::RunAndSignal(
        {"export", card, "--format", "proxy", "--progress", "-o", out},
        [&] { return !entries(true).empty(); }, SIGINT, scratch.Path() + "/err.txt");
    EXPECT_EQ(run.exitCode, 130) << run.err;
    EXPECT_NE(run.err.find("done=0 stopped=interrupted"), std::string::npos) << run.err.substr(0, 400);
    EXPECT_EQ(run.err.find("done=1"), std::string::npos);
    EXPECT_EQ(entries(false), std::vector<std::string>()) << "no proxy, no partial";
    ASSERT_EQ(Qzcard({"export", card, "--format", "proxy", "-o", out}).exitCode, 0);
    EXPECT_EQ(entries(false).size(), 2u);  // QZ0001.mov and its record
    EXPECT_EQ(Qzcard({"export", card, "--format", "proxy", "--check", "-o", out}).exitCode, 0);
}

}  // namespace
