// qzcard sample-card DIR: writes the built-in sample card (several clips of
// one frame-rate family, the three picture sizes, 2 and 4 channels, a clip
// spanned over three MXF files, drop-frame timecode, full XML metadata);
// with --essence every clip carries the pictures of an MPEG-2 4:2:2 stream;
// with --cards N, N cards holding one recording linked across them. Every
// run writes a medium of its own unless --medium pins it.
#include "CommandRegistry.h"
#include "ExitCodes.h"

#include "CardWriter.h"
#include "MediumIdentity.h"
#include "Mpeg2EssenceStream.h"
#include "SampleCard.h"

#include <CLI/CLI.hpp>

#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

// An option value the writer cannot use is a usage error, as CLI11's own.

using namespace ComVantoVantoQZ64RADPlug::CardWriter;

struct SampleCardArguments {
    std::string folder;
    uint32_t clips = 6;
    uint32_t frames = 60;
    std::string rate;
    std::string family = "59.94";
    std::string essence;
    bool framesGiven = false;
    uint32_t cards = 0;  // 0: one card in DIR; else DIR/CARD1..CARDn holding one recording
    // The number ending the card's medium UUID (NumberedMedium); absent: a
    // fresh medium.
    std::optional<uint16_t> medium;
};

// "1 clip", "6 clips".
std::string Count(uint64_t n, const std::string& what) {
    return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
}

void PrintClips(const CardDescription& card, const std::string& prefix) {
    std::printf("%smedium %s\n", prefix.c_str(), MediumText(card.mediaUuid).c_str());
    for (const ClipDescription& clip : card.clips) {
        std::printf("%s%s  %-15s %4ux%-4u %2llu Mbps %s  %u ch  %5u frame%s in %s  start %s\n",
                    prefix.c_str(), ClipIdText(clip.id).c_str(), FrameRateName(clip.frameRate).c_str(),
                    PictureWidth(clip.pictureSize), PictureHeight(clip.pictureSize),
                    static_cast<unsigned long long>(BitsPerSecond(clip.bitRate) / 1000000),
                    clip.constantBitRate ? "CBR" : "VBR", clip.audioChannels, clip.durationFrames,
                    clip.durationFrames == 1 ? "" : "s", Count(EffectiveMembers(clip).size(), "file").c_str(),
                    TimecodeText(clip.startTimecode, clip.dropFrame).c_str());
        if (!clip.relay.previous.clipId.empty() || !clip.relay.next.clipId.empty())
            std::printf("%s        relay: previous %s, next %s\n", std::string(prefix.size(), ' ').c_str(),
                        clip.relay.previous.clipId.empty() ? "-" : clip.relay.previous.clipId.c_str(),
                        clip.relay.next.clipId.empty() ? "-" : clip.relay.next.clipId.c_str());
    }
}

// DIR/CARD1 .. DIR/CARDn, one piece of the recording on each.
void RunRelayCards(const SampleCardArguments& args, const SampleCardOptions& options) {
    if (!args.essence.empty()) {
        std::fprintf(stderr, "qzcard sample-card: --essence cannot be combined with --cards\n");
        throw CLI::RuntimeError(qzcard::kExitUsage);
    }
    const auto started = std::chrono::steady_clock::now();
    std::vector<CardDescription> cards;
    try {
        cards = RelaySampleCardDescriptions(args.cards, options);
        for (size_t k = 0; k < cards.size(); ++k)
            WriteCard(cards[k], args.folder + "/CARD" + std::to_string(k + 1));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "qzcard sample-card: %s\n", e.what());
        throw CLI::RuntimeError(1);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    size_t clips = 0;
    for (size_t k = 0; k < cards.size(); ++k) {
        PrintClips(cards[k], "CARD" + std::to_string(k + 1) + "  ");
        clips += cards[k].clips.size();
    }
    std::printf("wrote %s (%s) to %s in %.1f s\n", Count(cards.size(), "card").c_str(),
                Count(clips, "clip").c_str(), args.folder.c_str(), seconds);
}

void RunSampleCard(const SampleCardArguments& args) {
    SampleCardOptions options;
    options.clipCount = args.clips;
    options.durationFrames = args.frames;
    if (!args.rate.empty()) {
        FrameRate rate;
        if (!ParseFrameRate(args.rate, rate)) {
            std::fprintf(stderr, "qzcard sample-card: unknown rate '%s'\n", args.rate.c_str());
            throw CLI::RuntimeError(qzcard::kExitUsage);
        }
        options.rate = rate;
    }
    if (args.family == "50")
        options.family = kFamily50;
    else if (args.family == "24")
        options.family = kFamily24;
    else
        options.family = kFamily59_94;
    options.medium = args.medium ? NumberedMedium(*args.medium) : FreshMedium();
    if (args.cards > 0) return RunRelayCards(args, options);

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
    PrintClips(card, "");
    std::printf("wrote %s to %s in %.1f s\n", Count(card.clips.size(), "clip").c_str(), args.folder.c_str(),
                seconds);
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
    command
        ->add_option("--cards", args->cards,
                     "Write DIR/CARD1..CARDn holding one recording continued from card to card by "
                     "relay links (--frames per piece, --rate; --clips and --family unused)")
        ->check(CLI::Range(1, 99));
    command
        ->add_option("--medium", args->medium,
                     "Medium number: the same medium UUID (ending in it) on every run, for cards that must "
                     "not change; without it every run writes a medium (and clip UMIDs) of its own. With "
                     "--cards the cards are numbered from it")
        ->check(CLI::Range(1, 65535));
    command->add_option("--family", args->family, "Frame-rate family of the mixed card")
        ->check(CLI::IsMember({"59.94", "50", "24"}));
    command->callback([args, frames] {
        args->framesGiven = frames->count() > 0;
        RunSampleCard(*args);
    });
}

const bool kRegistered = qzcard::RegisterCommand(&InstallSampleCard);

}  // namespace
