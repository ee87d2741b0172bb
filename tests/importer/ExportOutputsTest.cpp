// The output side of export: partial files renamed into place only when
// complete, existing outputs kept unless replaced, output folders inside a
// card refused by real path, WAV files as ffprobe reads them, and the
// key=value progress lines scripts parse.
#include "ClipOutputs.h"
#include "ImportError.h"
#include "ExportProgress.h"
#include "OutputFile.h"
#include "WavWriter.h"

#include <gtest/gtest.h>
#include "ExternalTool.h"
#include "ScratchFolder.h"
#include "TestFiles.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using qzimport::ClipOutputs;
using qzimport::OutputFile;

TEST(ExportOutputsTest, OutputsAppearUnderTheirNamesOnlyWhenTheClipIsComplete) {
    qztest::ScratchFolder folder("export-out");
    const std::string final = folder.Path() + "/QZ0001.m2v";
    ASSERT_TRUE(qztest::WriteFile(folder.Path() + "/QZ0002.m2v", {1, 2, 3}));
    {
        ClipOutputs outputs(folder.Path(), false);
        EXPECT_EQ(outputs.ExistingOutputs({"QZ0001.m2v", "QZ0002.m2v"}),
                  std::vector<std::string>{"QZ0002.m2v"});
        EXPECT_THROW(outputs.Add("QZ0002.m2v"), qzimport::ImportError);
        OutputFile& file = outputs.Add("QZ0001.m2v");
        file.Write("abc", 3);
        EXPECT_EQ(file.PartialPath(), folder.Path() + "/.QZ0001.m2v.partial");
        EXPECT_TRUE(fs::exists(file.PartialPath()));
        EXPECT_FALSE(fs::exists(final));
        // A clip that fails is dropped without committing.
    }
    EXPECT_FALSE(fs::exists(folder.Path() + "/.QZ0001.m2v.partial"));
    EXPECT_FALSE(fs::exists(final));
    EXPECT_EQ(qztest::ReadFile(folder.Path() + "/QZ0002.m2v"), (std::vector<uint8_t>{1, 2, 3}));

    ClipOutputs replacing(folder.Path(), true);
    replacing.Add("QZ0002.m2v").Write("xy", 2);
    replacing.Add("QZ0001.m2v").Write("abc", 3);
    replacing.CommitAll();
    EXPECT_EQ(qztest::ReadFile(folder.Path() + "/QZ0002.m2v"), (std::vector<uint8_t>{'x', 'y'}));
    EXPECT_EQ(qztest::ReadFile(final), (std::vector<uint8_t>{'a', 'b', 'c'}));
    EXPECT_FALSE(fs::exists(folder.Path() + "/.QZ0001.m2v.partial"));
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
    for (const auto& c : cases) EXPECT_EQ(qzimport::IsInsideFolder(c.output, card), c.inside) << c.output;
}

TEST(ExportOutputsTest, WavFilesAreSixteenBitPcmAsFfprobeReadsThem) {
    qztest::ScratchFolder folder("export-wav");
    for (uint16_t channels : {1, 2}) {
        SCOPED_TRACE(channels);
        const std::string path = folder.Path() + "/t" + std::to_string(channels) + ".wav";
        {
            OutputFile file(path);
            qzimport::WavWriter wav(file, channels);
            std::vector<int16_t> samples(1601 * channels);
            for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<int16_t>(i * 37 - 30000);
            wav.WriteFrames(samples.data(), 1601);
            wav.WriteFrames(samples.data(), 1602 - 1601);
            wav.Finish();
            file.Commit();
        }
        const std::vector<uint8_t> bytes = qztest::ReadFile(path);
        ASSERT_EQ(bytes.size(), 44u + 1602u * 2 * channels);
        EXPECT_EQ(bytes[44], static_cast<uint8_t>(-30000 & 0xFF));  // little-endian samples
        EXPECT_EQ(bytes[45], static_cast<uint8_t>((-30000 >> 8) & 0xFF));
        if (!qztest::ShouldRunPeerCheck("ffprobe")) continue;
        const qztest::CommandResult probe = qztest::RunCommand(
            "ffprobe -v error -show_entries stream=codec_name,sample_rate,channels,duration_ts -of csv=p=0 " +
            qztest::ShellQuote(path));
        EXPECT_EQ(probe.output, "pcm_s16le,48000," + std::to_string(channels) + ",1602\n");
    }
    OutputFile file(folder.Path() + "/bad.wav");
    EXPECT_THROW(qzimport::WavWriter(file, 3), qzimport::ImportError);
}

TEST(ExportOutputsTest, ProgressLinesCarryTheKeysScriptsRead) {
    std::FILE* out = std::tmpfile();
    ASSERT_TRUE(out);
    qzimport::ExportProgress progress(qzimport::ProgressMode::kLines, out);
    progress.StartClip("QZ0002", 2);
    progress.Frame(1, 100);
    progress.Frame(2, 250);
    progress.FinishClip();
    std::rewind(out);
    std::string text(4096, '\0');
    text.resize(std::fread(text.data(), 1, text.size(), out));
    std::fclose(out);
    EXPECT_EQ(text,
              "clip=QZ0002 frame=1 total=2 bytes=100 done=0\n"
              "clip=QZ0002 frame=2 total=2 bytes=250 done=0\n"
              "clip=QZ0002 frame=2 total=2 bytes=250 done=1\n");
    EXPECT_EQ(qzimport::ExportProgress::TerminalLine("QZ0001", 150, 600, 30'000'000, 2.0),
              "QZ0001  150/600 frames  15.0 MB/s  0:06 left");
}

}  // namespace
