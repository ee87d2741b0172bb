// qzcard write-mxf FILE: writes one member MXF file without a card, for
// interoperability checks and throughput measurements.
#include "CommandRegistry.h"
#include "ExitCodes.h"

#include "ClipMxfWriter.h"

#include <CLI/CLI.hpp>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

namespace {

// An option value the writer cannot use is a usage error, as CLI11's own.

using namespace ComVantoVantoQZ64RADPlug::CardWriter;

struct WriteMxfArguments {
    std::string file;
    uint32_t frames = 300;
    std::string rate = "59.94i";
    std::string size = "1920x1080";
    uint32_t megabits = 50;
    bool vbr = false;
    uint32_t channels = 4;
    uint32_t bits = 16;
    std::string startTimecode = "01:00:00:00";
    uint32_t gop = 0;
    int bPictures = -1;
    bool closedGop = false;
    int64_t firstFrame = 0;
};

[[noreturn]] void Fail(const std::string& message, int code) {
    std::fprintf(stderr, "qzcard write-mxf: %s\n", message.c_str());
    throw CLI::RuntimeError(code);
}

void RunWriteMxf(const WriteMxfArguments& args) {
    ClipDescription clip;
    if (!ParseFrameRate(args.rate, clip.frameRate))
        Fail("unknown rate '" + args.rate + "'", qzcard::kExitUsage);
    if (args.size == "1920x1080")
        clip.pictureSize = PictureSize::k1920x1080;
    else if (args.size == "1440x1080")
        clip.pictureSize = PictureSize::k1440x1080;
    else if (args.size == "1280x720")
        clip.pictureSize = PictureSize::k1280x720;
    else
        Fail("unknown picture size '" + args.size + "'", qzcard::kExitUsage);
    clip.bitRate = args.megabits == 25   ? BitRate::k25Mbps
                   : args.megabits == 35 ? BitRate::k35Mbps
                                         : BitRate::k50Mbps;
    clip.constantBitRate = !args.vbr;
    clip.audioChannels = args.channels;
    clip.audioBitsPerSample = args.bits;
    if (!ParseTimecode(args.startTimecode, clip.startTimecode, clip.dropFrame))
        Fail("start timecode must read HH:MM:SS:FF (or HH:MM:SS;FF for drop frame)", qzcard::kExitUsage);
    if (clip.dropFrame && !TraitsOf(clip.frameRate).dropFrameAllowed)
        Fail("drop-frame timecode at " + args.rate, qzcard::kExitUsage);
    const uint32_t roundedBase = TraitsOf(clip.frameRate).roundedBase;
    clip.gopLength = args.gop != 0 ? args.gop : (roundedBase == 25 || roundedBase == 24 ? 12 : 15);
    if (roundedBase >= 50 && args.gop == 0) clip.gopLength *= 2;
    clip.bPictures = args.bPictures >= 0 ? static_cast<uint32_t>(args.bPictures) : 2;
    clip.closedGop = args.closedGop;
    clip.durationFrames = args.frames;

    CardDescription card;
    card.clips.push_back(clip);
    MxfFileDescription description;
    try {
        description = MemberMxfDescription(card, 0, 0);
    } catch (const std::exception& e) {
        Fail(e.what(), qzcard::kExitUsage);
    }
    description.firstFrame = args.firstFrame;
    description.startTimecode += args.firstFrame;

    const auto started = std::chrono::steady_clock::now();
    MxfFileLayout layout;
    try {
        layout = WriteMxfFile(description, args.file);
    } catch (const std::exception& e) {
        Fail(e.what(), 1);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("wrote %s: %u frame%s %s %s, %u ch, %llu bytes in %.2f s (%.1f MB/s)\n", args.file.c_str(),
                args.frames, args.frames == 1 ? "" : "s", FrameRateName(clip.frameRate).c_str(),
                args.size.c_str(), args.channels, static_cast<unsigned long long>(layout.fileSize), seconds,
                seconds > 0 ? static_cast<double>(layout.fileSize) / 1e6 / seconds : 0.0);
}

void InstallWriteMxf(CLI::App& app) {
    auto args = std::make_shared<WriteMxfArguments>();
    CLI::App* command = app.add_subcommand("write-mxf", "Write one clip MXF file without a card");
    command->add_option("FILE", args->file, "Output MXF path")->required();
    command->add_option("--frames", args->frames, "Frames in the file")->check(CLI::Range(1, 10000000));
    command->add_option("--rate", args->rate,
                        "59.94i 50i 29.97p 25p 23.98p 59.94p 50p 23.98p-pulldown 24p (default 59.94i)");
    command->add_option("--size", args->size, "1920x1080, 1440x1080 or 1280x720");
    command->add_option("--mbps", args->megabits, "Bit rate: 25, 35 or 50")
        ->check(CLI::IsMember({25, 35, 50}));
    command->add_flag("--vbr", args->vbr, "Variable bit rate (default constant)");
    command->add_option("--channels", args->channels, "Mono audio tracks")->check(CLI::Range(0, 16));
    command->add_option("--bits", args->bits, "Audio bits per sample (24 only for negative tests)")
        ->check(CLI::IsMember({16, 24}));
    command->add_option("--start-tc", args->startTimecode,
                        "Start timecode at the recorded base; ';' = drop frame");
    command->add_option("--gop", args->gop, "Pictures per GOP")->check(CLI::Range(1, 128));
    command->add_option("--b-pictures", args->bPictures, "B pictures between anchors")
        ->check(CLI::Range(0, 127));
    command->add_flag("--closed-gop", args->closedGop, "Closed GOPs (default open)");
    command->add_option("--first-frame", args->firstFrame, "Clip frame index of the file's first frame")
        ->check(CLI::NonNegativeNumber);
    command->callback([args] { RunWriteMxf(*args); });
}

const bool kRegistered = qzcard::RegisterCommand(&InstallWriteMxf);

}  // namespace
