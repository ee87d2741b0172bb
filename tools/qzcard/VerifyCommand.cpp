// qzcard verify CARD [CLIPID...] [--json] [--decode]: walks every frame of
// every clip through the plug-in bundle's cursors as a host does and reports
// each problem with its clip, frame and timecode, and what the clips folder
// holds that the index does not list; with --decode also each picture the
// decoder finds damaged. Exits 0 only for a clean card.
#include "CommandRegistry.h"
#include "FBC_Utl_CountText.h"

#include "CardReading.h"
#include "CatalogRecorder.h"

#include "CFBCClip.h"
#include "CFBCContent.h"
#include "CUNumber.h"
#include "CardOpening.h"
#include "CardVerifier.h"
#include "CheckProgress.h"
#include "ClipVerifier.h"
#include "FBCClipValueTag.h"
#include "HostEventCycle.h"
#include "MediaLayers.h"
#include "PluginHost.h"
#include "ProblemRanges.h"
#include "QzcardVersion.h"
#include "UnlistedFiles.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace ComVantoVantoQZ64RADPlug;
using nlohmann::ordered_json;

struct VerifyArguments {
    std::string card;
    std::vector<std::string> clipIDs;
    bool json = false;
    bool decode = false;
    bool progress = false;
    std::string plugin;
    std::string hostVersion = qzimport::PluginHost::kDefaultHostVersion;
};

constexpr int kExitProblemsFound = 4;

// One problem as JSON: `lastFrame` and `lastTimecode` end its range (the
// frame's own for a problem of one frame; null for the clip as a whole).
ordered_json ProblemJson(const qzimport::VerifyProblem& p) {
    const auto orNull = [](const std::string& text) {
        return text.empty() ? ordered_json() : ordered_json(text);
    };
    const bool range = p.frame >= 0 && p.lastFrame > p.frame;
    return {{"frame", p.frame < 0 ? ordered_json() : ordered_json(p.frame)},
            {"timecode", orNull(p.timecode)},
            {"lastFrame", p.frame < 0 ? ordered_json() : ordered_json(range ? p.lastFrame : p.frame)},
            {"lastTimecode", p.frame < 0 ? ordered_json() : orNull(range ? p.lastTimecode : p.timecode)},
            {"check", p.check},
            {"detail", p.detail}};
}

// What a clean verify has looked at, and what it has not: a card called
// clean is clean only in these.
std::vector<std::string> Checked(bool decoded) {
    std::vector<std::string> checked = {"frames through the plug-in", "timecodes", "sound lengths"};
    if (decoded) checked.push_back("pictures decoded");
    return checked;
}
std::vector<std::string> NotChecked(bool decoded) {
    std::vector<std::string> unchecked;
    if (!decoded) unchecked.push_back("pictures not decoded");
    unchecked.push_back("sound samples not checked");
    return unchecked;
}
std::string Joined(const std::vector<std::string>& parts) {
    std::string text;
    for (const std::string& part : parts) text += (text.empty() ? "" : "; ") + part;
    return text;
}

// The frames clip `id` has (0 when it does not tell), for the time left.
uint64_t FramesOf(const CFBCContent& content, const std::string& card, const std::string& id) {
    const CUSharedPtr<CUNumber> count =
        qzimport::FindClip(content, card, id)->ValueForTag(kClipValueDurationFrames);
    return count ? count->UInt32Value() : 0;
}
uint64_t FramesOf(const CFBCContent& content, const std::string& card, const std::vector<std::string>& ids) {
    uint64_t frames = 0;
    for (const std::string& id : ids) frames += FramesOf(content, card, id);
    return frames;
}

[[noreturn]] void Fail(int code, const std::string& message) {
    std::fprintf(stderr, "qzcard verify: %s\n", message.c_str());
    throw CLI::RuntimeError(code);
}

void RunVerify(const VerifyArguments& args) {
    CUSharedPtr<CFBCContent> content = qzimport::OpenCard(args.card);
    // A named clip the card lacks ends the run before the plug-in is loaded.
    const std::vector<std::string> wanted =
        qzimport::CardVerifier::ClipsToVerify(*content, args.card, args.clipIDs);

    std::unique_ptr<qzimport::PluginHost> host;
    try {
        host = std::make_unique<qzimport::PluginHost>(
            args.plugin.empty() ? qzimport::PluginHost::DefaultBundlePath() : args.plugin, args.hostVersion);
    } catch (const qzimport::PluginHostError& e) {
        Fail(1, e.what());
    }
    HostEventCycle cycle;
    qzimport::CardVerifier verifier(*host, content, args.card);

    ordered_json report = {
        {"qzcardVersion", qzimport::QzcardVersion()}, {"card", args.card}, {"clips", ordered_json::array()}};
    size_t problems = 0;
    qzcatalog::CheckSeen check;  // for the catalog: one result per clip
    check.kind = args.decode ? "verify-decode" : "verify";
    qzimport::CheckProgress progress(args.progress ? FramesOf(*content, args.card, wanted) : 0,
                                     [&args](const std::string& line) {
                                         if (args.progress) std::fprintf(stderr, "%s\n", line.c_str());
                                     });
    for (const std::string& id : wanted) {
        std::unique_ptr<qzimport::PictureObserver> decoding;
        if (args.decode) decoding = qzcard::LoadMediaLayers().PictureDecodeCheck();
        std::unique_ptr<qzimport::PictureObserver> watching;
        if (args.progress) {
            progress.StartClip(args.card, id, FramesOf(*content, args.card, id));
            watching = progress.Watching(decoding.get());
        }
        const qzimport::ClipVerification result =
            verifier.Verify(id, watching ? watching.get() : decoding.get());
        problems += result.problems.size();
        check.results.push_back({id, "", result.problems.empty() ? "clean" : "problems",
                                 result.problems.empty()
                                     ? ""
                                     : FBC_Utl_CountText(result.problems.size(), "problem", "problems")});
        ordered_json list = ordered_json::array();
        int64_t framesWithProblems = 0;
        for (const qzimport::VerifyProblem& p : result.problems) {
            framesWithProblems += qzimport::FramesCovered(p);
            list.push_back(ProblemJson(p));
        }
        report["clips"].push_back({{"clipId", id}, {"frames", result.frames}, {"problems", list}});
        if (decoding) report["clips"].back()["picturesDecoded"] = decoding->PicturesChecked();
        if (args.json) continue;
        std::string state = "clean";
        if (!result.problems.empty()) {
            state = FBC_Utl_CountText(result.problems.size(), "problem", "problems");
            if (framesWithProblems > static_cast<int64_t>(result.problems.size()))
                state +=
                    " over " + FBC_Utl_CountText(static_cast<size_t>(framesWithProblems), "frame", "frames");
        }
        std::printf("%s  %s  %s\n", id.c_str(), FBC_Utl_CountText(result.frames, "frame", "frames").c_str(),
                    state.c_str());
        for (const qzimport::VerifyProblem& p : result.problems)
            std::printf("  %s\n", qzimport::ProblemText(p, "  ").c_str());
    }
    // What the clips folder holds that no clip of the index names (only in
    // the named clips' folders when clips are named).
    const std::vector<qzimport::UnlistedEntry> unlisted = qzimport::FindUnlisted(*content, args.clipIDs);
    report["unlisted"] = ordered_json::array();
    for (const qzimport::UnlistedEntry& entry : unlisted) {
        report["unlisted"].push_back({{"path", entry.path}, {"folder", entry.folder}, {"what", entry.what}});
        if (!args.json) std::printf("unlisted  %s  %s\n", entry.path.c_str(), entry.what.c_str());
    }
    const bool clean = problems == 0 && unlisted.empty();
    report["clean"] = clean;
    report["checked"] = Checked(args.decode);
    report["notChecked"] = NotChecked(args.decode);
    report["catalog"] =
        qzcard::CatalogRecorder::Record([&args, &check, &content](qzcatalog::Catalog& catalog, int64_t now) {
            qzcatalog::CardSeen card = qzcatalog::CardReading::Read(args.card, content, {}, now);
            check.checkedAt = now;
            check.mediumId = card.mediumId;
            catalog.Record({{std::move(card)}, {}, {check}, {}});
        }).Json();
    if (args.json) {
        std::cout << report.dump(2) << "\n";
    } else if (clean) {
        std::printf("card clean (%s; %s)\n", Joined(Checked(args.decode)).c_str(),
                    Joined(NotChecked(args.decode)).c_str());
    } else {
        std::string summary;
        if (problems > 0) summary = FBC_Utl_CountText(problems, "problem", "problems") + " found";
        if (!unlisted.empty())
            summary += (summary.empty() ? "" : ", ") +
                       FBC_Utl_CountText(unlisted.size(), "unlisted entry", "unlisted entries");
        std::printf("%s\n", summary.c_str());
    }
    std::fflush(stdout);
    if (!clean) throw CLI::RuntimeError(kExitProblemsFound);
}

void InstallVerify(CLI::App& app) {
    auto args = std::make_shared<VerifyArguments>();
    CLI::App* command = app.add_subcommand(
        "verify", "Walk every frame of the clips through the plug-in bundle and report what is wrong");
    command->add_option("CARD", args->card, "Card root folder")->required();
    command->add_option("CLIPID", args->clipIDs, "Clips to verify (default: every clip of the card)");
    command->add_flag("--json", args->json, "JSON output");
    command->add_flag("--decode", args->decode,
                      "Also decode every picture and report those the decoder finds damaged");
    command->add_flag(
        "--progress", args->progress,
        "At most once a second on stderr: the clip and frame checked, frames per second, time left");
    command->add_option(
        "--plugin", args->plugin,
        "Plug-in bundle folder (default: the installed FBCFormatRADPlugin.bundle, or the build's)");
    command->add_option("--host-version", args->hostVersion, "Host version announced to the plug-in")
        ->default_val(qzimport::PluginHost::kDefaultHostVersion);
    command->callback([args] { RunVerify(*args); });
}

const bool kRegistered = qzcard::RegisterCommand(&InstallVerify);

}  // namespace
