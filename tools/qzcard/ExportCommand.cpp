// qzcard export CARD [CLIPID...] -o DIR: imports clips through the plug-in
// bundle's ingest object as a host does (ID.m2v, ID.wav, ID_chN.wav with
// --all-channels, ID.json), never writing to the card. With --join, every
// recording that continues across the cards given becomes one set of
// outputs named after its first clip.
#include "CommandRegistry.h"

#include "CFBCClip.h"
#include "CFBCContent.h"
#include "CUArray.h"
#include "CUStringMac.h"
#include "CardText.h"
#include "ClipExporter.h"
#include "ClipOutputs.h"
#include "ExportProgress.h"
#include "FBC_Utl_Timecode.h"
#include "HostEventCycle.h"
#include "HostProcess.h"
#include "ImportError.h"
#include "JoinedOutputs.h"
#include "MIORADIngestObject.h"
#include "PluginClipProperties.h"
#include "PluginHost.h"
#include "RecordingSpans.h"
#include "TimecodeInfo.h"

#include <CLI/CLI.hpp>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <tuple>
#include <utility>
#include <vector>

namespace {

using namespace ComVantoVantoQZ64RADPlug;

struct ExportArguments {
    std::string card;
    std::vector<std::string> clipIDs;
    std::string output;
    std::string in;
    std::string out;
    bool allChannels = false;
    bool force = false;
    bool progress = false;
    bool join = false;
    bool discard = false;  // --null
    std::string plugin;
    std::string hostVersion = qzimport::PluginHost::kDefaultHostVersion;
};

constexpr int kExitNotDelivered = 4;

// A frame index of the clip from "N" or from a timecode "HH:MM:SS:FF" /
// "HH:MM:SS;FF" of the clip's own timecode; nothing when the text is
// neither or lies before the clip's start.
std::optional<int64_t> FrameOf(const std::string& text, CFBCClip& clip) {
    if (text.find_first_of(":;") == std::string::npos) {
        size_t used = 0;
        try {
            const long long frame = std::stoll(text, &used);
            if (used == text.size() && frame >= 0 && frame <= UINT32_MAX)
                return frame;  // frame indices are 32-bit
        } catch (const std::logic_error&) {
        }
        return std::nullopt;
    }
    unsigned h = 0, m = 0, s = 0, f = 0;
    char sep = 0;
    int consumed = 0;
    if (std::sscanf(text.c_str(), "%u:%u:%u%c%u%n", &h, &m, &s, &sep, &f, &consumed) != 5 ||
        static_cast<size_t>(consumed) != text.size() || (sep != ':' && sep != ';') || h > 255 || m > 59 ||
        s > 59 || f > 59)
        return std::nullopt;
    CUSharedPtr<TimecodeInfo> start = CUDynamicCast<TimecodeInfo>(clip.ValueForTag(kClipValueStartTimecode));
    uint32_t base = clip.RoundedTimecodeBase();
    if (!start || base == 0) return std::nullopt;
    // At 50 and 60 pictures per second a timecode labels every second one.
    const int64_t step = base >= 50 ? 2 : 1;
    base /= static_cast<uint32_t>(step);
    CUSharedPtr<TimecodeInfo> at = CUSharedPtr<TimecodeInfo>(new TimecodeInfo());
    at->hours = static_cast<uint8_t>(h);
    at->minutes = static_cast<uint8_t>(m);
    at->seconds = static_cast<uint8_t>(s);
    at->frames = static_cast<uint8_t>(f);
    const uint32_t flags = clip.isDropFrame() ? 1u : 0u;
    const int64_t frame = (static_cast<int64_t>(FBC_Utl_TimecodeFromFrame(at, base, flags)) -
                           static_cast<int64_t>(FBC_Utl_TimecodeFromFrame(start, base, flags))) *
                          step;
    if (frame < 0) return std::nullopt;
    return frame;
}

[[noreturn]] void Fail(int code, const std::string& message) {
    std::fprintf(stderr, "qzcard export: %s\n", message.c_str());
    throw CLI::RuntimeError(code);
}

using OfferedClips = std::map<std::string, std::shared_ptr<MIORADClipDataSourceProtocol>>;

std::unique_ptr<qzimport::PluginHost> LoadHost(const ExportArguments& args) {
    try {
        return std::make_unique<qzimport::PluginHost>(
            args.plugin.empty() ? qzimport::PluginHost::DefaultBundlePath() : args.plugin, args.hostVersion);
    } catch (const qzimport::PluginHostError& e) {
        Fail(1, e.what());
    }
}

// The clips the plug-in's volume of `card` offers, by name (the clip ID),
// in the volume's order in `order`.
OfferedClips Offered(qzimport::PluginHost& host, const std::string& card, std::vector<std::string>* order) {
    if (!host.PathIsValidVolume(card)) Fail(2, "the plug-in does not take " + card + " as a card");
    std::shared_ptr<MIORADVolumeDataSourceProtocol> volume = host.VolumeWithPath(card);
    if (!volume) Fail(2, "the plug-in makes no volume of " + card);
    OfferedClips byID;
    for (const auto& clip : host.Clips(volume)) {
        const std::optional<std::string> name = clip ? clip->name() : std::nullopt;
        if (!name || byID.count(*name)) continue;
        byID[*name] = clip;
        if (order) order->push_back(*name);
    }
    return byID;
}

qzimport::ProgressMode ModeOf(const ExportArguments& args) {
    return args.progress                            ? qzimport::ProgressMode::kLines
           : HostProcess::StandardErrorIsTerminal() ? qzimport::ProgressMode::kTerminal
                                                    : qzimport::ProgressMode::kSilent;
}

// One clip through its descriptor's ingest object; false (the reason on
// stderr) when it was not exported.
bool ExportOne(qzimport::ClipExporter& exporter, MIORADClipDataSourceProtocol& descriptor, CFBCClip& clip,
               qzimport::ExportRequest request, const nlohmann::ordered_json& targets,
               qzimport::ExportResult* out) {
    request.pluginProperties = qzimport::PluginClipProperties(descriptor);
    request.pluginProperties["targetFormats"] = targets;
    std::shared_ptr<MIORADIngestObject> ingest = descriptor.ingestObject();
    if (!ingest) {
        std::fprintf(stderr, "qzcard export: %s: the plug-in gives no ingest object\n",
                     request.clipID.c_str());
        return false;
    }
    *out = exporter.Export(request, *ingest, descriptor.ingestObjectRefCon(), clip);
    if (!out->ok)
        std::fprintf(stderr, "qzcard export: %s: %s; nothing of it was written\n", request.clipID.c_str(),
                     out->failure.c_str());
    return out->ok;
}

// Exports one recording's pieces into a scratch folder and joins them;
// false (the reason on stderr) when any piece is missing or fails.
bool ExportRecording(const ExportArguments& args, const qzimport::Recording& recording,
                     const std::vector<OfferedClips>& offered, qzimport::ClipExporter& exporter,
                     const nlohmann::ordered_json& targets) {
    const std::string firstID = recording.FirstPresent().identity.clipID;
    for (const qzimport::RecordingPiece& piece : recording.pieces)
        if (piece.missing) {
            std::fprintf(stderr,
                         "qzcard export: recording %s: its piece %s (medium %s) is on no card given; nothing "
                         "of it was written\n",
                         firstID.c_str(), piece.identity.clipID.empty() ? "-" : piece.identity.clipID.c_str(),
                         piece.identity.mediumID.empty() ? "-" : piece.identity.mediumID.c_str());
            return false;
        }
    // Hidden in the output folder so that the joined files are renamed
    // within one file system; removed on every path out.
    const std::string scratch = args.output + "/.join-" + firstID + ".partial";
    struct ScratchGuard {
        std::string path;
        ~ScratchGuard() {
            std::error_code ignored;  // a leftover scratch folder holds nothing final
            std::filesystem::remove_all(path, ignored);
        }
    } guard{scratch};
    std::error_code error;
    std::filesystem::remove_all(scratch, error);
    if (!std::filesystem::create_directory(scratch, error)) {
        std::fprintf(stderr, "qzcard export: cannot create %s: %s\n", scratch.c_str(),
                     error.message().c_str());
        return false;
    }
    std::vector<qzimport::JoinedPiece> joined;
    for (size_t k = 0; k < recording.pieces.size(); ++k) {
        const qzimport::RecordingPiece& piece = recording.pieces[k];
        const std::string& id = piece.identity.clipID;
        const auto descriptor = offered[piece.cardIndex].find(id);
        if (descriptor == offered[piece.cardIndex].end()) {
            std::fprintf(stderr, "qzcard export: recording %s: %s on %s: the plug-in does not offer it\n",
                         firstID.c_str(), id.c_str(), piece.card.c_str());
            return false;
        }
        qzimport::ExportRequest request;
        request.clipID = id;
        request.cardFolder = piece.card;
        request.outputFolder = scratch;
        request.replace = true;
        request.allChannels = args.allChannels;
        qzimport::ExportResult result;
        if (!ExportOne(exporter, *descriptor->second, *piece.clip, request, targets, &result)) return false;
        std::ifstream in(scratch + "/" + id + ".json");
        qzimport::JoinedPiece j{id, nlohmann::ordered_json::parse(in, nullptr, false)};
        if (j.record.is_discarded()) {
            std::fprintf(stderr, "qzcard export: %s: its record cannot be read back\n", id.c_str());
            return false;
        }
        // The joint is continuous when this piece starts on the timecode
        // that follows the previous piece's last frame.
        if (k > 0) {
            const qzimport::RecordingPiece& previous = recording.pieces[k - 1];
            const std::optional<int64_t> at = FrameOf(piece.startTimecode, *previous.clip);
            const bool continuous = at && static_cast<uint64_t>(*at) == previous.frames;
            j.record["continuesPrevious"] = continuous;
            if (!continuous)
                std::fprintf(stderr, "qzcard export: recording %s: %s starts at %s, not after %s\n",
                             firstID.c_str(), id.c_str(), piece.startTimecode.c_str(),
                             previous.endTimecode.c_str());
        }
        joined.push_back(std::move(j));
    }
    try {
        const std::vector<std::string> names =
            qzimport::JoinPieceOutputs(scratch, joined, args.output, args.force);
        std::printf("%s  %zu piece%s  %llu frames  ->", firstID.c_str(), joined.size(),
                    joined.size() == 1 ? "" : "s",
                    static_cast<unsigned long long>(recording.FramesPresent()));
        for (const std::string& name : names) std::printf(" %s", name.c_str());
        std::printf("\n");
        return true;
    } catch (const qzimport::ImportError& e) {
        std::fprintf(stderr, "qzcard export: recording %s: %s; nothing of it was written\n", firstID.c_str(),
                     e.what());
        return false;
    }
}

void RunJoin(const ExportArguments& args) {
    if (!args.in.empty() || !args.out.empty())
        throw CLI::ValidationError("--join", "--in and --out apply to single clips, not joined recordings");
    // With --join every positional argument is a card.
    std::vector<std::string> folders = {args.card};
    folders.insert(folders.end(), args.clipIDs.begin(), args.clipIDs.end());
    std::vector<CUSharedPtr<CFBCContent>> cards;
    for (const std::string& folder : folders) {
        cards.push_back(qzimport::OpenCard(folder));
        if (qzimport::IsInsideFolder(args.output, folder))
            throw CLI::ValidationError("--output", args.output + " lies inside the card " + folder +
                                                       "; the importer never writes to a card");
    }
    std::unique_ptr<qzimport::PluginHost> host = LoadHost(args);
    HostEventCycle cycle;
    std::vector<OfferedClips> offered;
    for (const std::string& folder : folders) offered.push_back(Offered(*host, folder, nullptr));
    const std::vector<qzimport::Recording> recordings = qzimport::FindRecordings(folders, cards);

    std::error_code error;
    std::filesystem::create_directories(args.output, error);
    if (error) Fail(1, "cannot create the output folder " + args.output + ": " + error.message());
    qzimport::ExportProgress progress(ModeOf(args), stderr);
    qzimport::ClipExporter exporter(progress);
    const nlohmann::ordered_json targets = qzimport::PluginTargetFormats(host->Plugin());
    size_t failed = 0;
    for (const qzimport::Recording& recording : recordings)
        if (!ExportRecording(args, recording, offered, exporter, targets)) ++failed;
    if (failed > 0)
        Fail(kExitNotDelivered, std::to_string(failed) + " of " + std::to_string(recordings.size()) +
                                    " recordings not exported");
}

void RunExport(const ExportArguments& args) {
    if (args.output.empty() && !args.discard) throw CLI::RequiredError("--output");
    if (args.join) return RunJoin(args);
    CUSharedPtr<CFBCContent> content = qzimport::OpenCard(args.card);
    if (!args.discard && qzimport::IsInsideFolder(args.output, args.card))
        throw CLI::ValidationError("--output", args.output + " lies inside the card " + args.card +
                                                   "; the importer never writes to a card");

    std::unique_ptr<qzimport::PluginHost> host = LoadHost(args);
    HostEventCycle cycle;
    std::vector<std::string> order;
    OfferedClips byID = Offered(*host, args.card, &order);
    // Without clip IDs: every clip the volume offers, and every other clip
    // of the card too, so that one the plug-in leaves out (missing or
    // unreadable files) is reported instead of silently not imported.
    std::vector<std::string> wanted = args.clipIDs.empty() ? order : args.clipIDs;
    if (args.clipIDs.empty()) {
        CUSharedPtr<CUArray> clips = content->ClipList();
        for (size_t i = 0; clips && i < clips->Count(); ++i) {
            CUSharedPtr<CFBCClip> clip = clips->ObjectAtIndex(i);
            CUSharedPtr<CUStringMac> id = clip ? clip->GetClipID() : nullptr;
            if (id && !byID.count(id->Utf8())) wanted.push_back(id->Utf8());
        }
    }
    // A clip the card does not have, or an in or out point that is no frame
    // of a clip, ends the run before anything is written.
    std::map<std::string, std::pair<std::optional<int64_t>, std::optional<int64_t>>> points;
    for (const std::string& id : wanted) {
        CUSharedPtr<CFBCClip> clip = qzimport::FindClip(*content, args.card, id);
        auto& [in, out] = points[id];
        if (!args.in.empty() && !(in = FrameOf(args.in, *clip)))
            throw CLI::ValidationError("--in", args.in + " is no frame or timecode of clip " + id);
        if (!args.out.empty() && !(out = FrameOf(args.out, *clip)))
            throw CLI::ValidationError("--out", args.out + " is no frame or timecode of clip " + id);
    }

    std::error_code error;
    if (!args.discard) std::filesystem::create_directories(args.output, error);
    if (error) Fail(1, "cannot create the output folder " + args.output + ": " + error.message());

    qzimport::ExportProgress progress(ModeOf(args), stderr);
    qzimport::ClipExporter exporter(progress);
    const nlohmann::ordered_json targets = qzimport::PluginTargetFormats(host->Plugin());
    size_t failed = 0;
    for (const std::string& id : wanted) {
        size_t index = 0;
        CUSharedPtr<CFBCClip> clip = qzimport::FindClip(*content, args.card, id, &index);
        if (!byID.count(id)) {
            std::fprintf(stderr, "qzcard export: %s: the plug-in does not offer it (%s)\n", id.c_str(),
                         qzimport::ClipStateText(*content, index).c_str());
            ++failed;
            continue;
        }
        qzimport::ExportRequest request;
        request.clipID = id;
        request.cardFolder = args.card;
        request.outputFolder = args.output;
        request.replace = args.force;
        request.allChannels = args.allChannels;
        request.discard = args.discard;
        std::tie(request.inFrame, request.outFrame) = points[id];
        qzimport::ExportResult result;
        if (!ExportOne(exporter, *byID[id], *clip, request, targets, &result)) {
            ++failed;
            continue;
        }
        std::printf("%s  %llu frames  %llu samples  ->", id.c_str(),
                    static_cast<unsigned long long>(result.frames),
                    static_cast<unsigned long long>(result.audioSamples));
        for (const std::string& name : result.outputs) std::printf(" %s", name.c_str());
        if (args.discard)
            std::printf(" nothing written (%llu bytes delivered)",
                        static_cast<unsigned long long>(result.bytes));
        std::printf("\n");
    }
    if (failed > 0)
        Fail(kExitNotDelivered,
             std::to_string(failed) + " of " + std::to_string(wanted.size()) + " clips not exported");
}

void InstallExport(CLI::App& app) {
    auto args = std::make_shared<ExportArguments>();
    CLI::App* command = app.add_subcommand(
        "export", "Import clips through the plug-in bundle into .m2v, .wav and .json files");
    command->add_option("CARD", args->card, "Card root folder")->required();
    command->add_option("CLIPID", args->clipIDs,
                        "Clips to export (default: every clip the volume offers); with --join, more cards");
    CLI::Option* output = command->add_option("-o,--output", args->output,
                                              "Output folder (created if missing; not inside the card)");
    command->add_option("--in", args->in, "In point: frame index or timecode HH:MM:SS:FF of the clip");
    command->add_option("--out", args->out, "Out point: frame index or timecode HH:MM:SS:FF of the clip");
    CLI::Option* allChannels = command->add_flag("--all-channels", args->allChannels,
                                                 "Also write one mono WAV per sound track (ID_chN.wav)");
    CLI::Option* force = command->add_flag("--force", args->force, "Replace existing outputs");
    CLI::Option* join =
        command->add_flag("--join", args->join,
                          "Export each recording continuing across the cards given as one set of outputs");
    command->add_flag("--progress", args->progress,
                      "Progress as key=value lines on stderr (clip= frame= total= bytes= done=)");
    command
        ->add_flag("--null", args->discard,
                   "Import through the ingest object, building and dropping every buffer; write nothing")
        ->excludes(output)
        ->excludes(join)
        ->excludes(allChannels)
        ->excludes(force);
    command->add_option("--plugin", args->plugin,
                        "Plug-in bundle folder (default: the build's FBCFormatRADPlugin.bundle)");
    command->add_option("--host-version", args->hostVersion, "Host version announced to the plug-in")
        ->default_val(qzimport::PluginHost::kDefaultHostVersion);
    command->callback([args] { RunExport(*args); });
}

const bool kRegistered = qzcard::RegisterCommand(&InstallExport);

}  // namespace
