// qzcard sample-card DIR: writes the built-in sample card (several clips of
// one frame-rate family, the three picture sizes, 2 and 4 channels, a clip
// spanned over three MXF files, drop-frame timecode, full XML metadata);
// with --essence every clip carries the pictures of an MPEG-2 4:2:2 stream.
#include "CommandRegistry.h"

#include "CardWriter.h"
#include "Mpeg2EssenceStream.h"
#include "SampleCard.h"

#include <CLI/CLI.hpp>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

namespace {

using namespace ComVantoVantoQZ64RADPlug::CardWriter;

struct SampleCardArguments {
    std::string folder;
    uint32_t clips = 6;
    uint32_t frames = 60;
    std::string rate;
    std::string family = "59.94";
    std::string essence;
    bool framesGiven = false;
};

void RunSampleCard(const SampleCardArguments& args) {
    SampleCardOptions options;
    options.clipCount = args.clips;
    options.durationFrames = args.frames;
    if (!args.rate.empty()) {
        FrameRate rate;
        if (!ParseFrameRate(args.rate, rate)) {
            std::fprintf(stderr, "qzcard sample-card: unknown rate '%s'\n", args.rate.c_str());
            throw CLI::RuntimeError(2);
        }
        options.rate = rate;
    }
    if (args.family == "50")
        options.family = kFamily50;
    else if (args.family == "24")
        options.family = kFamily24;
    else
        options.family = kFamily59_94;

    const auto started = std::chrono::steady_clock::now();
    CardDescription card;
    try {
        if (!args.essence.empty()) {
            options.essence = Mpeg2EssenceStream::Load(args.essence);
            if (!args.framesGiven) options.durationFrames = 0;  // the stream's length
        }
        card = SampleCardDescription(options);
        WriteCard(card, args.folder);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "qzcard sample-card: %s\n", e.what());
        throw CLI::RuntimeError(1);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    for (const ClipDescription& clip : card.clips) {
        std::printf("%s  %-15s %4ux%-4u %2llu Mbps %s  %u ch  %5u frames in %zu file(s)  start %s\n",
                    ClipIdText(clip.id).c_str(), FrameRateName(clip.frameRate).c_str(),
                    PictureWidth(clip.pictureSize), PictureHeight(clip.pictureSize),
                    static_cast<unsigned long long>(BitsPerSecond(clip.bitRate) / 1000000),
                    clip.constantBitRate ? "CBR" : "VBR", clip.audioChannels, clip.durationFrames,
                    EffectiveMembers(clip).size(), TimecodeText(clip.startTimecode, clip.dropFrame).c_str());
    }
    std::printf("wrote %zu clips to %s in %.1f s\n", card.clips.size(), args.folder.c_str(), seconds);
}

void InstallSampleCard(CLI::App& app) {
    auto args = std::make_shared<SampleCardArguments>();
    CLI::App* command = app.add_subcommand("sample-card", "Write the built-in sample card into a folder");
    command->add_option("DIR", args->folder, "Card root folder (created if missing)")->required();
    command->add_option("--clips", args->clips, "Number of clips")->check(CLI::Range(1, 999));
    CLI::Option* frames =
        command
            ->add_option("--frames", args->frames,
                         "Frames per clip (the spanned clip has three times as many); with --essence "
                         "the stream's picture count unless given")
            ->check(CLI::Range(1, 1000000));
    command
        ->add_option("--essence", args->essence,
                     "Pictures of every clip from this MPEG-2 4:2:2 elementary stream (.m2v), looped "
                     "when a clip is longer; the clips take its rate and picture size")
        ->check(CLI::ExistingFile);
    command->add_option(
        "--rate", args->rate,
        "Every clip at this rate: 59.94i 50i 29.97p 25p 23.98p 59.94p 50p 23.98p-pulldown 24p");
    command->add_option("--family", args->family, "Frame-rate family of the mixed card")
        ->check(CLI::IsMember({"59.94", "50", "24"}));
    command->callback([args, frames] {
        args->framesGiven = frames->count() > 0;
        RunSampleCard(*args);
    });
}

const bool kRegistered = qzcard::RegisterCommand(&InstallSampleCard);

}  // namespace
