// qzcard verify CARD [CLIPID...] [--json] [--decode] [--progress]: walks every frame of
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
#include "QzcardVersion.h"
#include "UnlistedFiles.h"
#include "VerifyRecord.h"
#include "VerifyRecordWriter.h"

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

    qzimport::VerifyRecord record;
    record.card = args.card;
    record.decoded = args.decode;
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
        qzimport::VerifiedClip clip{id, verifier.Verify(id, watching ? watching.get() : decoding.get()), {}};
        if (decoding) clip.picturesDecoded = decoding->PicturesChecked();
        const size_t problems = clip.result.problems.size();
        check.results.push_back({id, "", problems == 0 ? "clean" : "problems",
                                 problems == 0 ? "" : FBC_Utl_CountText(problems, "problem", "problems")});
        // Each clip told as soon as it is checked.
        if (!args.json)
            for (const std::string& line : qzimport::VerifyRecordWriter::ClipLines(clip))
                std::printf("%s\n", line.c_str());
        std::fflush(stdout);
        record.clips.push_back(std::move(clip));
    }
    // What the clips folder holds that no clip of the index names (only in
    // the named clips' folders when clips are named).
    record.unlisted = qzimport::FindUnlisted(*content, args.clipIDs);
    const qzcard::CatalogOutcome recorded =
        qzcard::CatalogRecorder::Record([&args, &check, &content](qzcatalog::Catalog& catalog, int64_t now) {
            qzcatalog::CardSeen card = qzcatalog::CardReading::Read(args.card, content, {}, now);
            check.checkedAt = now;
            check.mediumId = card.mediumId;
            catalog.Record({{std::move(card)}, {}, {check}, {}});
        });
    if (args.json) {
        ordered_json report = qzimport::VerifyRecordWriter::Json(record);
        report["catalog"] = recorded.Json();
        std::cout << report.dump(2) << "\n";
    } else {
        for (const std::string& line : qzimport::VerifyRecordWriter::UnlistedLines(record))
            std::printf("%s\n", line.c_str());
        std::printf("%s\n", qzimport::VerifyRecordWriter::ClosingLine(record).c_str());
    }
    std::fflush(stdout);
    if (!record.Clean()) throw CLI::RuntimeError(kExitProblemsFound);
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
