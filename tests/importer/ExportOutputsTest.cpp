// The output side of export: output folders inside a card refused by real
// path, Broadcast Wave files as ffprobe reads them, and the key=value
// progress lines scripts parse.
#include "CUOutputFile.h"
#include "EsOutputWriter.h"
#include "ExportProgress.h"
#include "FBC_Utl_PathInside.h"
#include "ImportError.h"
#include "WavWriter.h"

#include <gtest/gtest.h>
#include "ExternalTool.h"
#include "ScratchFolder.h"
#include "TestFiles.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using ComVantoVantoQZ64RADPlug::CUOutputFile;

// A WAV's time reference is where the first picture's sound starts on the
// clip's clock from midnight (01:00:00:00 at 25P, 01:00:00;00 at 29.97, its
// first and second picture at 59.94P, the second at 50P, 23.98P).
TEST(ExportOutputsTest, TimeReferenceIsTheFirstPicturesSample) {
    const int64_t cases[][4] = {{25, 1, 90000, 172800000},        {30000, 1001, 107892, 172799827},
                                {60000, 1001, 215784, 172799827}, {60000, 1001, 215785, 172800628},
                                {50, 1, 180001, 172800960},       {24000, 1001, 86400, 172972800}};
    for (const auto& c : cases) {
        qzimport::ExportStreamInfo stream;
        stream.timescale = c[0], stream.frameDuration = c[1], stream.startFrame = uint64_t(c[2]);
        EXPECT_EQ(qzimport::EsOutputWriter::TimeReference(stream), uint64_t(c[3])) << c[0] << " " << c[2];
    }
}

TEST(ExportOutputsTest, AnOutputFolderInsideTheCardIsToldByItsRealPath) {
    qztest::ScratchFolder folder("export-inside");
    const std::string card = folder.Path() + "/card";
    fs::create_directories(card + "/CONTENTS/CLIPS001");
    fs::create_directories(folder.Path() + "/card2");
    fs::create_directory_symlink(card + "/CONTENTS", folder.Path() + "/link");
    const struct {
        std::string output;
        bool inside;
    } cases[] = {
        {card, true},
        {card + "/", true},
        {card + "/CONTENTS/CLIPS001", true},
        {card + "/not/yet/made", true},
        {folder.Path() + "/link/out", true},  // a link into the card
        {card + "/../card/x", true},
        {card + "/../out", false},
        {folder.Path() + "/card2", false},  // a sibling whose name starts alike
        {folder.Path(), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ComVantoVantoQZ64RADPlug::FBC_Utl_PathIsInside(c.output, card), c.inside) << c.output;
}

// Broadcast Wave files as ffprobe reads them: the sample format, the
// samples little-endian after the header, and the bext chunk's time
// reference and description that place the audio on a timeline.
TEST(ExportOutputsTest, WavFilesAreBroadcastWavesAsFfprobeReadsThem) {
    qztest::ScratchFolder folder("export-wav");
    const qzimport::WavPlacement placement{86'400'000ull, "QZ0001 <Title & more>", "2026-12-08", "17:39:41"};
    const struct {
        uint16_t channels, bits;
        const char* codec;
    } cases[] = {{1, 16, "pcm_s16le"}, {2, 16, "pcm_s16le"}, {1, 24, "pcm_s24le"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.codec + std::to_string(c.channels));
        const std::string path =
            folder.Path() + "/t" + std::to_string(c.channels) + std::to_string(c.bits) + ".wav";
        const size_t frameBytes = c.channels * c.bits / 8u;
        std::vector<uint8_t> samples(1602 * frameBytes);
        for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<uint8_t>(i * 37);
        {
            CUOutputFile file(path);
            qzimport::WavWriter wav(file, c.channels, c.bits, placement);
            wav.WriteLittleEndian(samples.data(), 1601 * frameBytes);
            wav.WriteLittleEndian(samples.data() + 1601 * frameBytes, frameBytes);
            EXPECT_THROW(wav.WriteLittleEndian(samples.data(), frameBytes - 1), qzimport::ImportError);
            wav.Finish();
            file.Commit(false);
        }
        const std::vector<uint8_t> bytes = qztest::ReadFile(path);
        ASSERT_EQ(bytes.size(), qzimport::WavWriter::kHeaderBytes + samples.size());
        EXPECT_TRUE(
            std::equal(samples.begin(), samples.end(), bytes.begin() + qzimport::WavWriter::kHeaderBytes));
        if (!qztest::ShouldRunPeerCheck("ffprobe")) continue;
        const qztest::CommandResult probe = qztest::RunCommand(
            "ffprobe -v error -show_entries "
            "stream=codec_name,sample_rate,channels,duration_ts:format_tags=comment,"
            "encoded_by,date,creation_time,time_reference -of default=nw=1 " +
            qztest::ShellQuote(path));
        EXPECT_EQ(probe.output,
                  "codec_name=" + std::string(c.codec) +
                      "\nsample_rate=48000\nchannels=" + std::to_string(c.channels) +
                      "\nduration_ts=1602\nTAG:comment=QZ0001 <Title & more>\nTAG:encoded_by=qzcard\n"
                      "TAG:date=2026-12-08\nTAG:creation_time=17:39:41\n"
                      "TAG:time_reference=86400000\n");
    }
    CUOutputFile file(folder.Path() + "/bad.wav");
    EXPECT_THROW(qzimport::WavWriter(file, 3, 16, placement), qzimport::ImportError);
    EXPECT_THROW(qzimport::WavWriter(file, 1, 20, placement), qzimport::ImportError);
}

TEST(ExportOutputsTest, ProgressLinesCarryTheKeysScriptsRead) {
    // How the clip ends (null: finished), and the last line a script reads.
    const struct {
        const char* stopped;
        const char* last;
    } kCases[] = {
        {nullptr, "clip=QZ0002 frame=2 total=2 bytes=250 done=1\n"},
        {"failed", "clip=QZ0002 frame=2 total=2 bytes=250 done=0 stopped=failed\n"},
        {"interrupted", "clip=QZ0002 frame=2 total=2 bytes=250 done=0 stopped=interrupted\n"},
    };
    for (const auto& c : kCases) {
        std::FILE* out = std::tmpfile();
        ASSERT_TRUE(out);
        qzimport::ExportProgress progress(qzimport::ProgressMode::kLines, out);
        progress.StartClip("QZ0002", 2);
        progress.Frame(1, 100);
        progress.Frame(2, 250);
        if (c.stopped) progress.StopClip(c.stopped);
        progress.FinishClip();  // after a stop: nothing more
        std::rewind(out);
        std::string text(4096, '\0');
        text.resize(std::fread(text.data(), 1, text.size(), out));
        std::fclose(out);
        EXPECT_EQ(text, std::string("clip=QZ0002 frame=1 total=2 bytes=100 done=0\n"
                                    "clip=QZ0002 frame=2 total=2 bytes=250 done=0\n") +
                            c.last);
    }
    EXPECT_EQ(qzimport::ExportProgress::TerminalLine("QZ0001", 150, 600, 30'000'000, 2.0),
              "QZ0001  150/600 frames  75.0 frames/s  15.0 MB/s  0:06 left");
}

}  // namespace
