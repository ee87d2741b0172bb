// qzcard export run as a person runs it, through the built plug-in bundle:
// every sample-card clip of the three families against ffmpeg's own extraction of its member
// files, the card untouched (bytes, sizes, modification times), an output
// folder inside the card refused, existing outputs kept unless --force, a
// damaged clip (a member file cut inside its essence, a picture element
// whose key is gone) failing alone with nothing of it left behind, and the
// exit codes of the other refusals.
#include <gtest/gtest.h>
#include "FolderSnapshot.h"
#include "QzcardRun.h"
#include "ScratchFolder.h"
#include "TestFiles.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;
using qztest::Qzcard;

TEST(ExportCommandTest, SampleCardClipsOfEveryRateEqualFfmpegsExtractionAndTheCardIsUntouched) {
    QZ_REQUIRE_TOOL("ffmpeg");
    qztest::ScratchFolder folder("export-cmd");
    // Every rate: the 59.94 family's card last, for the checks that follow.
    std::string card, out;
    qztest::FolderSnapshot before;
    for (const char* family : {"50", "24", "59.94"}) {
        SCOPED_TRACE(family);
        card = folder.Path() + "/card" + family, out = folder.Path() + "/out" + family;
        ASSERT_EQ(Qzcard({"sample-card", card, "--frames", "12", "--family", family}).exitCode, 0);
        before = qztest::TakeSnapshot(card);
        const qztest::QzcardRun run =
            Qzcard({"export", "--format", "es", card, "-o", out, "--all-channels", "--progress"});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_TRUE(qztest::TakeSnapshot(card) == before) << "the card changed";
        for (int n = 1; n <= 6; ++n) {
            const std::string id = "QZ000" + std::to_string(n);
            SCOPED_TRACE(id);
            const size_t frames = id == "QZ0004" ? 36 : 12;  // the spanned clip has three files
            EXPECT_NE(run.err.find("clip=" + id + " frame=" + std::to_string(frames) +
                                   " total=" + std::to_string(frames)),
                      std::string::npos);
            qztest::ExpectFfmpegsExtraction(qztest::MemberFiles(card, id), 1, out, id);
            EXPECT_TRUE(fs::exists(out + "/" + id + ".json"));
        }
    }

    // A repeat finds the clip's own complete outputs up to date; its own
    // outputs cut short are written again, saying so; outputs of another
    // request (another channel choice) are kept and refused unless --force.
    qztest::QzcardRun again =
        Qzcard({"export", "--format", "es", card, "QZ0001", "QZ0002", "-o", out, "--all-channels"});
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_NE(again.out.find("QZ0002  up to date  -> QZ0002.m2v"), std::string::npos) << again.out;
    const uintmax_t whole = fs::file_size(out + "/QZ0001_ch1.wav");
    fs::resize_file(out + "/QZ0001_ch1.wav", 100);
    again = Qzcard({"export", "--format", "es", card, "QZ0001", "-o", out, "--all-channels"});
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_NE(again.out.find("written again: QZ0001_ch1.wav changed since it was written"), std::string::npos)
        << again.out;
    EXPECT_EQ(fs::file_size(out + "/QZ0001_ch1.wav"), whole);
    again = Qzcard({"export", "--format", "es", card, "QZ0002", "-o", out});
    EXPECT_EQ(again.exitCode, 4) << again.err;
    EXPECT_NE(again.err.find(".m2v exists in " + out + ", an export of other clips or with other options"),
              std::string::npos)
        << again.err;
    EXPECT_EQ(Qzcard({"export", "--format", "es", card, "QZ0002", "-o", out, "--force"}).exitCode, 0);

    // Refusals, each leaving the card as it was.
    const struct {
        std::vector<std::string> arguments;
        int exitCode;
    } refusals[] = {
        {{"export", "--format", "es", card, "-o", card + "/CONTENTS/out"}, 64},
        {{"export", "--format", "es", card, "QZ0099", "-o", out}, 3},
        {{"export", "--format", "es", folder.Path(), "-o", out}, 2},
        {{"export", "--format", "es", card, "-o", out, "--in", "99:00"}, 64},
        {{"export", "--format", "es", card, "-o", out, "--host-version", "10.0.2"}, 1},
        {{"export", "--format", "es", card, "-o", out, "--plugin", folder.Path()}, 1},
    };
    for (const auto& r : refusals)
        EXPECT_EQ(Qzcard(r.arguments).exitCode, r.exitCode) << testing::PrintToString(r.arguments);
    EXPECT_FALSE(fs::exists(card + "/CONTENTS/out"));
    EXPECT_TRUE(qztest::TakeSnapshot(card) == before) << "the card changed";
}

// Damaged copies of QZ0002: the clip fails alone, naming the frame when one
// frame fails, and leaves no output or partial of it behind.
TEST(ExportCommandTest, ADamagedClipFailsAloneAndLeavesNothingBehind) {
    const struct {
        const char* damage;
        const char* reason;
    } cases[] = {
        {"member file cut inside its essence", "QZ0002: "},
        {"picture element key of frame 5 wiped",
         "QZ0002: frame 5 (01:14:59:24): the plug-in could not make its video buffer"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.damage);
        qztest::ScratchFolder folder("export-damaged");
        const std::string card = folder.Path() + "/card", out = folder.Path() + "/out";
        ASSERT_EQ(Qzcard({"sample-card", card, "--clips", "2", "--frames", "12"}).exitCode, 0);
        const std::string member = qztest::MemberFiles(card, "QZ0002").at(0);
        if (c.damage[0] == 'm') {
            fs::resize_file(member, fs::file_size(member) / 2);
        } else {
            const nlohmann::json frames = qztest::QzcardJson({"frames", card, "QZ0002", "--json"});
            std::vector<uint8_t> bytes = qztest::ReadFile(member);
            const size_t key =
                frames["frames"][5]["offset"].get<size_t>() - 20;  // 16-byte key, 4-byte length
            std::fill(bytes.begin() + key, bytes.begin() + key + 16, 0);
            ASSERT_TRUE(qztest::WriteFile(member, bytes));
        }
        const qztest::QzcardRun run = Qzcard({"export", "--format", "es", card, "-o", out});
        EXPECT_EQ(run.exitCode, 4) << run.err;
        EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
        EXPECT_TRUE(fs::exists(out + "/QZ0001.m2v"));
        for (const auto& entry : fs::directory_iterator(out)) {
            const std::string name = entry.path().filename().string();
            EXPECT_EQ(name.find("QZ0002"), std::string::npos) << name;
            EXPECT_EQ(name.find(".partial"), std::string::npos) << name;
        }
    }
}

// A recording over three cards joins into one set of outputs: its stream is
// the three pieces' single exports appended, its audio their samples, its
// timecode continuous; without the middle card it fails naming that piece.
TEST(ExportCommandTest, JoinedRecordingEqualsItsPiecesAppendedAndAMissingPieceFailsIt) {
    qztest::ScratchFolder folder("export-join");
    const std::string root = folder.Path() + "/relay", out = folder.Path() + "/joined",
                      single = folder.Path() + "/single";
    ASSERT_EQ(Qzcard({"sample-card", root, "--cards", "3", "--frames", "30"}).exitCode, 0);
    const auto card = [&](int n) { return root + "/CARD" + std::to_string(n); };
    qztest::QzcardRun run = Qzcard(
        {"export", "--format", "es", "--join", card(3), card(1), card(2), "-o", out, "--all-channels"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    // The recording of QZ0002 (card 1), QZ0003 (card 2), QZ0004 (card 3).
    std::string m2v, wav, ch1;
    for (const auto& [n, id] :
         std::vector<std::pair<int, std::string>>{{1, "QZ0002"}, {2, "QZ0003"}, {3, "QZ0004"}}) {
        ASSERT_EQ(Qzcard({"export", "--format", "es", card(n), id, "-o", single, "--all-channels"}).exitCode,
                  0);
        m2v += qztest::ReadText(single + "/" + id + ".m2v");
        wav += qztest::WavSamples(single + "/" + id + ".wav");
        ch1 += qztest::WavSamples(single + "/" + id + "_ch1.wav");
    }
    EXPECT_TRUE(qztest::ReadText(out + "/QZ0002.m2v") == m2v);
    EXPECT_TRUE(qztest::WavSamples(out + "/QZ0002.wav") == wav);
    EXPECT_TRUE(qztest::WavSamples(out + "/QZ0002_ch1.wav") == ch1);
    const auto record = nlohmann::json::parse(qztest::ReadText(out + "/QZ0002.json"));
    EXPECT_EQ(record["frames"], 90);
    EXPECT_EQ(record["startTimecode"], "02:09:58;00");
    EXPECT_EQ(record["endTimecode"], "02:10:00;29");
    ASSERT_EQ(record["pieces"].size(), 3u);
    EXPECT_EQ(record["pieces"][1]["clipId"], "QZ0003");
    EXPECT_EQ(record["pieces"][2]["continuesPrevious"], true);
    EXPECT_TRUE(fs::exists(out + "/QZ0001.m2v") && fs::exists(out + "/QZ0005.m2v"));

    const std::string partial = folder.Path() + "/partial";
    run = Qzcard({"export", "--format", "es", "--join", card(1), card(3), "-o", partial});
    EXPECT_EQ(run.exitCode, 4);
    EXPECT_NE(run.err.find("QZ0003"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(partial + "/QZ0002.m2v"));
    EXPECT_TRUE(fs::exists(partial + "/QZ0001.m2v") && fs::exists(partial + "/QZ0005.m2v"));
    EXPECT_EQ(std::distance(fs::directory_iterator(partial), fs::directory_iterator()),
              7);  // the outputs of QZ0001 and QZ0005, the folder's lock file and nothing else
}

}  // namespace

namespace {

// In and out points on open groups of pictures, on a written clip and on
// ffmpeg's own pictures: the output starts at the I picture the plug-in
// starts from, without the B pictures that refer to the group before; every
// picture decodes and equals the same picture decoded from the whole clip,
// and the sound is the whole clip's from the same frame on.
TEST(ExportCommandTest, InAndOutPointsGiveOutputsThatDecodeLikeTheWholeClip) {
    QZ_REQUIRE_TOOL("ffmpeg");
    qztest::ScratchFolder folder("export-points");
    const std::string written = folder.Path() + "/written", real = folder.Path() + "/real",
                      stream = folder.Path() + "/real.m2v";
    ASSERT_EQ(Qzcard({"sample-card", written, "--clips", "1", "--frames", "60"}).exitCode, 0);
    ASSERT_EQ(
        qztest::RunCommand("ffmpeg -nostdin -v error -f lavfi -i testsrc=size=1920x1080:rate=30000/1001 "
                           "-frames:v 90 -c:v mpeg2video -pix_fmt yuv422p -g 15 -bf 2 -b:v 30M -flags "
                           "+ilme+ildct " +
                           qztest::ShellQuote(stream))
            .exitCode,
        0);
    ASSERT_EQ(Qzcard({"sample-card", real, "--essence", stream, "--clips", "1"}).exitCode, 0);
    const struct {
        std::string card, in, out;
    } cases[] = {
        {written, "40", ""}, {written, "01:05:00;20", "01:05:01;08"}, {real, "50", ""}, {real, "20", "44"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.card + " --in " + c.in + " --out " + c.out);
        const std::string whole = c.card + "-whole", part = folder.Path() + "/part" + c.in;
        ASSERT_EQ(Qzcard({"export", "--format", "es", c.card, "-o", whole}).exitCode, 0);
        std::vector<std::string> args = {"export", "--format", "es", c.card, "-o", part, "--in", c.in};
        if (!c.out.empty()) args.insert(args.end(), {"--out", c.out});
        const qztest::QzcardRun run = Qzcard(args);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_NE(run.out.find("moved back to its key frame"), std::string::npos) << run.out;
        const nlohmann::json record = qztest::ParseJson(qztest::ReadText(part + "/QZ0001.json"));
        const int first = record["inPoint"]["frame"], last = record["outPoint"]["frame"];
        EXPECT_EQ(record["frames"], last - first + 1);
        const std::vector<std::string> all = qztest::FfmpegPictureHashes(whole + "/QZ0001.m2v");
        ASSERT_LT(last, int(all.size()));
        EXPECT_EQ(qztest::FfmpegPictureHashes(part + "/QZ0001.m2v"),
                  std::vector<std::string>(all.begin() + first, all.begin() + last + 1));
        // 48 kHz at 30000/1001 frames a second: 1601.6 stereo samples a frame.
        const std::string sound = qztest::WavSamples(part + "/QZ0001.wav");
        const size_t before = size_t(first * 1601.6 + 0.5) * 4;
        EXPECT_EQ(sound.size(), (size_t((last + 1) * 1601.6 + 0.5) * 4) - before);
        EXPECT_TRUE(qztest::WavSamples(whole + "/QZ0001.wav").substr(before, sound.size()) == sound);
        // The WAV's time reference: the first presented picture's drop-frame timecode, in samples.
        unsigned h = 0, m = 0, sec = 0, f = 0;
        std::sscanf(std::string(record["startTimecode"]).c_str(), "%u:%u:%u;%u", &h, &m, &sec, &f);
        const int64_t minutes = h * 60 + m,
                      count = (minutes * 60 + sec) * 30 + f - 2 * (minutes - minutes / 10);
        EXPECT_EQ(
            qztest::RunCommand("ffprobe -v error -show_entries format_tags=time_reference -of csv=p=0 " +
                               qztest::ShellQuote(part + "/QZ0001.wav"))
                .output,
            std::to_string(int64_t(count * 1601.6 + 0.5)) + "\n");
    }
}

// In and out points that name no frame of the clip end the run before
// anything is written, as usage errors naming the option.
TEST(ExportCommandTest, InAndOutPointsOutsideTheClipAreRefused) {
    qztest::ScratchFolder folder("export-refused");
    const std::string card = folder.Path() + "/card", out = folder.Path() + "/out";
    ASSERT_EQ(Qzcard({"sample-card", card, "--clips", "1", "--frames", "60"}).exitCode, 0);
    const std::vector<std::string> refused[] = {{"--in", "99:00:00;00"}, {"--in", "01:05:00:45"},
                                                {"--in", "24:00:00;00"}, {"--in", "01:60:00;00"},
                                                {"--in", "00:00:00;00"}, {"--in", "30", "--out", "10"},
                                                {"--out", "1000"},       {"--in", "60"}};
    for (const std::vector<std::string>& points : refused) {
        SCOPED_TRACE(testing::PrintToString(points));
        std::vector<std::string> args = {"export", "--format", "es", card, "-o", out};
        args.insert(args.end(), points.begin(), points.end());
        const qztest::QzcardRun run = Qzcard(args);
        EXPECT_EQ(run.exitCode, 64);
        EXPECT_NE(run.err.find(points[points.size() - 2]), std::string::npos) << run.err;
        EXPECT_FALSE(fs::exists(out));
    }
}

TEST(ExportCommandTest, JsonTellsEachSetAndTheExitCodeMirrorsIt) {
    qztest::ScratchFolder folder("export-json");
    const std::string card = folder.Path() + "/card", out = folder.Path() + "/out";
    ASSERT_EQ(Qzcard({"sample-card", card, "--frames", "12"}).exitCode, 0);
    fs::resize_file(card + "/CONTENTS/CLIPS001/QZ0004/QZ000403.MXF", 40000);
    const struct {
        std::vector<std::string> args, sets;  // each set's status and out point, in order
        int exitCode;
    } cases[] = {{{"export", card, "QZ0001", "QZ0002", "--json", "-o", out}, {"written 11", "written 11"}, 0},
                 {{"export", card, "QZ0001", "--json", "-o", out}, {"upToDate 11"}, 0},
                 {{"export", card, "QZ0004", "QZ0005", "--json", "-o", out}, {"partial 23", "written 11"}, 4},
                 {{"export", folder.Path(), "--json", "-o", out}, {}, 2}};  // not a card: why, and no sets
    for (const auto& c : cases) {
        const qztest::QzcardRun run = Qzcard(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        const nlohmann::json doc = qztest::ParseJson(run.out);
        EXPECT_EQ(doc["cards"], nlohmann::json::array({c.args[1]}));
        EXPECT_EQ(doc["failure"].is_null(), c.exitCode != 2) << doc["failure"];
        ASSERT_EQ(doc["sets"].size(), c.sets.size()) << run.out;
        for (size_t s = 0; s < c.sets.size(); ++s) {
            const nlohmann::json& set = doc["sets"][s];
            EXPECT_EQ(set["status"].get<std::string>() + " " + set["outPoint"]["frame"].dump(), c.sets[s]);
            EXPECT_EQ(set["reason"].is_null(), set["status"] != "partial") << set["reason"];
            EXPECT_EQ(set["record"], out + "/" + c.args[s + 2] + ".json");
            EXPECT_EQ(set["frames"], set["outPoint"]["frame"].get<int>() + 1);
        }
    }
}

}  // namespace
