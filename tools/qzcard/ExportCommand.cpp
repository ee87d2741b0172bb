// qzcard export CARD [CLIPID...] -o DIR: imports clips through the plug-in
// bundle's ingest object as a host does and writes each as one set of
// outputs in the format asked for (es: ID.m2v, ID.wav, ID_chN.wav; mov:
// ID.mov; mxf: ID.mxf), with
// its record ID.json, never writing to the card. With --join, every
// recording that continues across the cards given becomes one set named
// after its first clip. One line per set on stdout (with --json one
// document for the run); what failed on stderr.
// With --check (proxy), the proxies already in DIR are read back and
// compared with their originals, each value that differs named; exit 4
// when any differs.
#include "CommandRegistry.h"

#include "CUContentDigest.h"
#include "CUFailure.h"
#include "CUInterruption.h"
#include "CatalogRecorder.h"
#include "EsOutputFormat.h"
#include "ExportProgress.h"
#include "Exporter.h"
#include "HostEventCycle.h"
#include "HostProcess.h"
#include "ImportError.h"
#include "MediaLayers.h"
#include "OrNull.h"
#include "PluginHost.h"
#include "QzcardVersion.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <iostream>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace ComVantoVantoQZ64RADPlug;
using nlohmann::ordered_json;
using qzimport::OrNull;
using Status = qzimport::OutputSetResult::Status;

struct ExportArguments {
    std::string card;
    std::vector<std::string> clipIDs;
    std::string output;
    std::string format = "mov";
    std::string in;
    std::string out;
    std::string audio = "mono";
    std::string codec;                // proxy
    std::string size;                 // proxy
    std::string lut;                  // proxy
    std::vector<std::string> burnIn;  // proxy
    bool allChannels = false;
    bool force = false;
    bool progress = false;
    bool join = false;
    bool allowMissing = false;
    bool splitAtBreaks = false;
    bool discard = false;  // --null
    bool check = false;
    bool json = false;
    double wait = 0;
    std::string plugin;
    std::string hostVersion = qzimport::PluginHost::kDefaultHostVersion;
};

std::unique_ptr<qzimport::OutputFormat> FormatNamed(const std::string& name) {
    if (name == "es") return std::make_unique<qzimport::EsOutputFormat>();
    return qzcard::LoadMediaLayers().OutputFormatNamed(name);  // mov, mxf, proxy
}

// "WxH" with both numbers from 16 to 8192, or "half" / "quarter".
bool IsProxySize(const std::string& size) {
    if (size == "half" || size == "quarter") return true;
    unsigned width = 0, height = 0;
    char tail = 0;
    return std::sscanf(size.c_str(), "%ux%u%c", &width, &height, &tail) == 2 && width >= 16 &&
           width <= 8192 && height >= 16 && height <= 8192 &&
           size.find_first_not_of("0123456789x") == std::string::npos;
}

const char* StatusKey(Status status) {
    switch (status) {
        case Status::kWritten:
            return "written";
        case Status::kUpToDate:
            return "upToDate";
        case Status::kPartial:
            return "partial";
        case Status::kMatches:
            return "relinks";
        case Status::kMismatched:
            return "doesNotRelink";
        case Status::kFailed:
            break;
    }
    return "failed";
}

// Each output set as it is done: one line on stdout (what failed on
// stderr), or with --json one entry of the run's document.
class PrintedExport : public qzimport::ExportObserver {
public:
    PrintedExport(bool severalCards, bool discard, bool json, const std::string& folder,
                  const std::string& format)
        : m_severalCards(severalCards),
          m_discard(discard),
          m_json(json),
          m_folder(folder),
          m_format(format) {}

    void Notice(const std::string& text) override {
        std::fprintf(stderr, "qzcard export: %s\n", text.c_str());
        notices.push_back(text);
    }

    void SetDone(const qzimport::OutputSetResult& r) override {
        if (!m_discard && !r.files.empty() && (r.status == Status::kWritten || r.status == Status::kUpToDate))
            records.push_back(m_folder + "/" + r.files.back());
        const std::string name = m_severalCards ? r.baseName + " (" + r.card + ")" : r.baseName;
        if (r.status == Status::kFailed)
            std::fprintf(stderr, "qzcard export: %s: %s; nothing of it was written\n", name.c_str(),
                         r.failure.c_str());
        if (r.status == Status::kPartial)
            std::fprintf(stderr, "qzcard export: %s: %s\n", name.c_str(), r.failure.c_str());
        if (m_json) {
            sets.push_back(SetJson(r));
            return;
        }
        if (r.status == Status::kMatches || r.status == Status::kMismatched) {
            std::string line = name + (r.status == Status::kMatches ? "  relinks" : "  does not relink");
            for (const std::string& file : r.files) line += "  " + file;
            std::printf("%s\n", line.c_str());
            for (const std::string& mismatch : r.mismatches) std::printf("  %s\n", mismatch.c_str());
            std::fflush(stdout);
            return;
        }
        if (r.status == Status::kFailed) return;
        std::string line = name;
        if (r.status == Status::kUpToDate) {
            line += "  up to date  ->";
        } else {
            if (r.pieces > 1) line += "  " + std::to_string(r.pieces) + " pieces";
            line += "  " + std::to_string(r.frames) + (r.frames == 1 ? " frame" : " frames");
            line += "  " + std::to_string(r.samples) + (r.samples == 1 ? " sample" : " samples");
            line +=
                m_discard ? "  nothing written (" + std::to_string(r.bytes) + " bytes delivered)" : "  ->";
        }
        for (const std::string& file : r.files) line += " " + file;
        for (const std::string& note : r.notes) line += "  " + note;
        if (r.status == Status::kPartial) line += "  " + r.failure;
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
    }

    // The run's document: `summary` and `failure` (what ended the run, or null).
    ordered_json Json(const std::vector<std::string>& cards, const qzimport::ExportSummary* summary,
                      const std::string& failure) const {
        ordered_json out = {{"qzcardVersion", qzimport::QzcardVersion()},
                            {"cards", cards},
                            {"output", m_discard ? ordered_json() : ordered_json(m_folder)},
                            {"format", m_format},
                            {"sets", sets},
                            {"notices", notices}};
        if (summary)
            out["summary"] = {{"sets", summary->sets},
                              {"written", summary->written},
                              {"upToDate", summary->upToDate},
                              {"partial", summary->partial},
                              {"failed", summary->failed},
                              {"relinks", summary->matching},
                              {"doNotRelink", summary->mismatched}};
        else
            out["summary"] = ordered_json();
        out["failure"] = failure.empty() ? ordered_json() : ordered_json(failure);
        return out;
    }

    // The record (ID.json) of each set written whole or up to date, for the
    // catalog: a partial set is no output of the whole clip.
    std::vector<std::string> records;
    std::vector<std::string> notices;
    ordered_json sets = ordered_json::array();

private:
    ordered_json SetJson(const qzimport::OutputSetResult& r) const {
        ordered_json files = ordered_json::array();
        for (const std::string& file : r.files) files.push_back(m_folder + "/" + file);
        const bool made = !r.files.empty() && r.status != Status::kMatches && r.status != Status::kMismatched;
        return {{"name", r.baseName},
                {"card", r.card},
                {"pieces", r.pieces},
                {"format", m_format},
                {"status", StatusKey(r.status)},
                {"files", files},
                {"record", made ? ordered_json(files.back()) : ordered_json()},
                {"frames", r.frames},
                {"audioSamples", r.samples},
                {"inPoint", {{"frame", OrNull(r.firstFrame)}, {"timecode", OrNull(r.startTimecode)}}},
                {"outPoint", {{"frame", OrNull(r.lastFrame)}, {"timecode", OrNull(r.endTimecode)}}},
                {"notes", r.notes},
                {"reason", r.failure.empty() ? ordered_json() : ordered_json(r.failure)},
                {"mismatches", r.mismatches}};
    }

    bool m_severalCards;
    bool m_discard;
    bool m_json;
    std::string m_folder;
    std::string m_format;
};

void RunExport(const ExportArguments& args) {
    if (args.output.empty() && !args.discard) throw CLI::RequiredError("--output");
    if (args.join && (!args.in.empty() || !args.out.empty()))
        throw CLI::ValidationError("--join", "--in and --out apply to single clips, not joined recordings");
    // An import that writes nothing needs no format of its own.
    const std::unique_ptr<qzimport::OutputFormat> format = FormatNamed(args.discard ? "es" : args.format);
    if (!format) throw CLI::ValidationError("--format", "gives es, mov, mxf or proxy, not " + args.format);
    const bool proxy = format->EncodesPictures();
    if (!proxy && (!args.codec.empty() || !args.size.empty() || !args.lut.empty() || !args.burnIn.empty()))
        throw CLI::ValidationError("--codec",
                                   "--codec, --size, --lut and --burn-in apply to --format proxy only");
    if (args.check && !format->ChecksOutputs())
        throw CLI::ValidationError("--check", "compares proxies: it needs --format proxy");
    if (proxy && !IsProxySize(args.size.empty() ? "half" : args.size))
        throw CLI::ValidationError("--size", "gives half, quarter or WxH, not " + args.size);
    CUInterruption::Install();

    qzimport::ExportSettings settings;
    settings.cards = {args.card};
    if (args.join)  // every positional argument is a card
        settings.cards.insert(settings.cards.end(), args.clipIDs.begin(), args.clipIDs.end());
    else
        settings.selection.clipIds = args.clipIDs;
    settings.selection.join = args.join;
    settings.selection.allowMissing = args.allowMissing;
    settings.selection.splitAtBreaks = args.splitAtBreaks;
    settings.selection.inText = args.in;
    settings.selection.outText = args.out;
    settings.outputFolder = args.output;
    settings.force = args.force;
    settings.discard = args.discard;
    settings.check = args.check;
    settings.waitSeconds = args.wait;
    settings.options.allChannels = args.allChannels;
    settings.options.stereoPairs = args.audio == "pairs";
    if (proxy) {
        settings.options.proxyCodec = args.codec.empty() ? "prores-proxy" : args.codec;
        settings.options.proxySize = args.size.empty() ? "half" : args.size;
        settings.options.proxyLut = args.lut;
        if (!args.lut.empty()) {
            char digest[17];
            try {
                std::snprintf(digest, sizeof digest, "%016llx",
                              static_cast<unsigned long long>(CUContentDigest::OfFile(args.lut)));
            } catch (const CUError& e) {
                throw qzimport::ImportError("--lut " + args.lut + ": " + e.what(), CUFailureKind::kUsage);
            }
            settings.options.proxyLutDigest = digest;
        }
        // In one order, whatever order they were asked in, each once.
        for (const char* item : {"timecode", "clip", "title"})
            if (std::find(args.burnIn.begin(), args.burnIn.end(), item) != args.burnIn.end())
                settings.options.proxyBurnIn.push_back(item);
    }
    format->CheckOptions(settings.options);

    std::unique_ptr<qzimport::PluginHost> host;
    try {
        host = std::make_unique<qzimport::PluginHost>(
            args.plugin.empty() ? qzimport::PluginHost::DefaultBundlePath() : args.plugin, args.hostVersion);
    } catch (const qzimport::PluginHostError& e) {
        throw qzimport::ImportError(e.what(), ComVantoVantoQZ64RADPlug::CUFailureKind::kSetup);
    }
    HostEventCycle cycle;
    const qzimport::ProgressMode mode = args.progress ? qzimport::ProgressMode::kLines
                                        : HostProcess::StandardErrorIsTerminal()
                                            ? qzimport::ProgressMode::kTerminal
                                            : qzimport::ProgressMode::kSilent;
    qzimport::ExportProgress progress(mode, stderr);
    qzimport::Exporter exporter(*host, *format, progress);
    PrintedExport printed(settings.cards.size() > 1, args.discard, args.json, args.output,
                          args.discard ? "none" : format->Name());
    qzimport::ExportSummary summary;
    try {
        summary = exporter.Run(settings, printed);
    } catch (const CUHostError& e) {
        // One JSON answer either way: what was done, and what ended the run.
        if (args.json)
            std::cout << printed.Json(settings.cards, nullptr, e.what()).dump(2) << '\n' << std::flush;
        throw;
    }
    const qzcard::CatalogOutcome recorded =
        qzcard::CatalogRecorder::RecordExport(settings.cards, printed.records);
    if (args.json) {
        ordered_json out = printed.Json(settings.cards, &summary, "");
        out["catalog"] = recorded.Json();
        std::cout << out.dump(2) << '\n' << std::flush;
    }
    const char* what =
        args.join ? (summary.sets == 1 ? "recording" : "recordings") : (summary.sets == 1 ? "clip" : "clips");
    if (summary.failed > 0 || summary.partial > 0) {
        std::string text;
        if (summary.failed > 0)
            text = std::to_string(summary.failed) + " of " + std::to_string(summary.sets) + " " + what +
                   (args.check ? " not checked" : " not exported");
        if (summary.partial > 0)
            text += (text.empty() ? std::to_string(summary.partial) + " of " + std::to_string(summary.sets) +
                                        " " + what
                                  : ", " + std::to_string(summary.partial)) +
                    " exported in part only";
        throw qzimport::ImportError(text);
    }
    if (summary.mismatched > 0)
        throw qzimport::ImportError(std::to_string(summary.mismatched) + " of " +
                                    std::to_string(summary.sets) +
                                    (summary.sets == 1 ? " proxy does" : " proxies do") + " not relink");
}

void InstallExport(CLI::App& app) {
    auto args = std::make_shared<ExportArguments>();
    CLI::App* command = app.add_subcommand(
        "export", "Import clips through the plug-in bundle into one set of files per clip");
    command->add_option("CARD", args->card, "Card root folder")->required();
    command->add_option("CLIPID", args->clipIDs,
                        "Clips to export (default: every clip of the card); with --join, more cards");
    CLI::Option* output = command->add_option("-o,--output", args->output,
                                              "Output folder (created if missing; not inside the card)");
    command
        ->add_option("--format", args->format,
                     "Output format: mov (ID.mov, the default), mxf (ID.mxf, OP1a), es (ID.m2v and ID.wav) "
                     "or proxy (ID.mov, re-encoded)")
        ->check(CLI::IsMember({"es", "mov", "mxf", "proxy"}));
    command->add_option("--in", args->in, "In point: frame index or timecode HH:MM:SS:FF of the clip");
    command->add_option("--out", args->out, "Out point (inclusive): frame index or timecode HH:MM:SS:FF");
    CLI::Option* allChannels = command->add_flag("--all-channels", args->allChannels,
                                                 "es: also write one mono WAV per sound track (ID_chN.wav)");
    command->add_option("--audio", args->audio, "mov, mxf: mono tracks, or stereo pairs of channels 1+2, 3+4")
        ->check(CLI::IsMember({"mono", "pairs"}));
    command
        ->add_option("--codec", args->codec, "proxy: prores-proxy (the default), prores-lt, dnxhr-lb or h264")
        ->check(CLI::IsMember({"prores-proxy", "prores-lt", "dnxhr-lb", "h264"}));
    command->add_option("--lut", args->lut, "proxy: a .cube 3D LUT applied to the pictures before scaling");
    command
        ->add_option("--burn-in", args->burnIn,
                     "proxy: burn in the running timecode, the clip ID and the title (timecode,clip,title)")
        ->delimiter(',')
        ->check(CLI::IsMember({"timecode", "clip", "title"}));
    command->add_option("--size", args->size,
                        "proxy: half (the default), quarter or WxH dividing the clip's picture size evenly");
    CLI::Option* force = command->add_flag("--force", args->force, "Replace existing outputs");
    CLI::Option* check = command->add_flag(
        "--check", args->check,
        "proxy: read back the proxies in the output folder and compare what editors relink by with the "
        "originals (exit 4 naming each value that differs); writes nothing");
    check->excludes(force);
    CLI::Option* join =
        command->add_flag("--join", args->join,
                          "Export each recording continuing across the cards given as one set of outputs");
    command
        ->add_flag("--allow-missing", args->allowMissing,
                   "--join: export the pieces present of a recording with pieces on no card given")
        ->needs(join);
    command
        ->add_flag("--split-at-breaks", args->splitAtBreaks,
                   "--join: one set of outputs per run of continuous timecode")
        ->needs(join);
    command->add_option("--wait", args->wait, "Seconds to wait for another export using the output folder")
        ->check(CLI::NonNegativeNumber);
    command->add_flag(
        "--json", args->json,
        "One JSON document for the run on stdout (every set's status, files, frames, in and out)");
    command->add_flag("--progress", args->progress,
                      "Progress as key=value lines on stderr (clip= frame= total= bytes= done=)");
    command
        ->add_flag("--null", args->discard,
                   "Import through the ingest object, building and dropping every buffer; write nothing")
        ->excludes(output)
        ->excludes(allChannels)
        ->excludes(force)
        ->excludes(check);
    command->add_option(
        "--plugin", args->plugin,
        "Plug-in bundle folder (default: the installed FBCFormatRADPlugin.bundle, or the build's)");
    command->add_option("--host-version", args->hostVersion, "Host version announced to the plug-in")
        ->default_val(qzimport::PluginHost::kDefaultHostVersion);
    command->callback([args] { RunExport(*args); });
}

const bool kRegistered = qzcard::RegisterCommand(&InstallExport);

}  // namespace
