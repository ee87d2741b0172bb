// qzcard report CARD... -o DIR [--thumbnails N] [--at PERCENT|FRAME|TC]
// [--check] [--copies DIR...] [--dailies DIR] [--wait SECONDS] [--json] [--progress]:
// writes the cards' report for people (DIR/index.html with DIR/thumbs/) and
// for scripts (DIR/report.json), put in place as one set under the output
// folder lock, and says where. Exits 4 when --check found problems or
// unlisted entries or a copy is not verified, 5 when another export or report holds the folder.
#include "CommandRegistry.h"
#include "ExitCodes.h"
#include "FBC_Utl_CountText.h"

#include "CUInterruption.h"
#include "CardReport.h"
#include "CatalogRecorder.h"
#include "ImportError.h"
#include "MediaLayers.h"
#include "PluginHost.h"
#include "QzcardVersion.h"
#include "ReportError.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace {

using ComVantoVantoQZ64RADPlug::FBC_Utl_CountText;

constexpr int kExitProblemsFound = 4;

struct ReportArguments {
    qzreport::ReportOptions options;
    bool json = false;
    bool progress = false;
};

void RunReport(ReportArguments& args) {
    ComVantoVantoQZ64RADPlug::CUInterruption::Install();
    if (args.progress)
        args.options.progress = [](const std::string& line) {
            std::fprintf(stderr, "qzcard report: %s\n", line.c_str());
        };
    const qzreport::ReportResult result = qzcard::LoadMediaLayers().WriteReport(args.options);
    const qzcard::CatalogOutcome recorded =
        qzcard::CatalogRecorder::RecordReport(args.options.cards, result.json);
    if (args.json) {
        const nlohmann::ordered_json out = {
            {"qzcardVersion", qzimport::QzcardVersion()},
            {"page", result.page},
            {"json", result.json},
            {"thumbnailFolder", result.thumbnailFolder},
            {"cards", result.cards},
            {"clips", result.clips},
            {"thumbnails", result.thumbnails},
            {"problems",
             args.options.check ? nlohmann::ordered_json(result.problems) : nlohmann::ordered_json()},
            {"unlisted",
             args.options.check ? nlohmann::ordered_json(result.unlisted) : nlohmann::ordered_json()},
            {"failedCopies", result.failedCopies},
            {"dailies", args.options.dailies.empty() ? nlohmann::ordered_json()
                                                     : nlohmann::ordered_json(result.dailies)},
            {"catalog", recorded.Json()}};
        std::cout << out.dump(2) << '\n';
    } else {
        std::printf("%zu card%s, %zu clip%s, %zu thumbnail%s\n", result.cards, result.cards == 1 ? "" : "s",
                    result.clips, result.clips == 1 ? "" : "s", result.thumbnails,
                    result.thumbnails == 1 ? "" : "s");
        if (args.options.check) {
            std::string checked;
            if (result.problems > 0) checked = FBC_Utl_CountText(result.problems, "problem", "problems");
            if (result.unlisted > 0)
                checked += (checked.empty() ? "" : ", ") +
                           FBC_Utl_CountText(result.unlisted, "unlisted entry", "unlisted entries");
            std::printf("checked: %s\n", checked.empty() ? "clean" : checked.c_str());
        }
        if (!args.options.copies.empty())
            std::printf("copies: %zu of %zu verified\n", args.options.copies.size() - result.failedCopies,
                        args.options.copies.size());
        if (!args.options.dailies.empty())
            std::printf("dailies: %zu of %s\n", result.dailies,
                        FBC_Utl_CountText(result.clips, "clip", "clips").c_str());
        std::printf("page  %s\njson  %s\n", result.page.c_str(), result.json.c_str());
    }
    std::fflush(stdout);
    if (result.problems > 0 || result.unlisted > 0 || result.failedCopies > 0)
        throw CLI::RuntimeError(kExitProblemsFound);
}

void InstallReport(CLI::App& app) {
    auto args = std::make_shared<ReportArguments>();
    qzreport::ReportOptions& o = args->options;
    CLI::App* command = app.add_subcommand(
        "report",
        "Write a page (and its JSON) showing the cards: a thumbnail per clip, the clips, the recordings, "
        "the checks and the copies");
    command->add_option("CARD", o.cards, "Card root folders")->required();
    command->add_option("-o,--output", o.output, "Folder of the report (index.html, report.json, thumbs/)")
        ->required();
    command->add_option("--thumbnails", o.thumbnails, "Thumbnails per clip, 0 to 10")
        ->default_val(1)
        ->check(CLI::Range(0, 10));
    command
        ->add_option("--at", o.at,
                     "Where the first thumbnail is taken: PERCENT% of the clip, a FRAME index or a TC")
        ->default_val("10%");
    command->add_flag("--check", o.check, "Verify every clip through the plug-in and decode its pictures");
    command->add_option("--copies", o.copies,
                        "Copies of the cards made by offload (their ASC MHL histories)");
    command->add_option(
        "--dailies", o.dailies,
        "Folder of the clips' H.264 dailies (export --format proxy --codec h264): each clip's "
        "row plays its daily");
    command
        ->add_option("--wait", o.waitSeconds,
                     "Seconds to wait for another export or report working in the output folder")
        ->check(CLI::NonNegativeNumber);
    command->add_flag("--json", args->json, "Say where as JSON");
    command->add_flag("--progress", args->progress, "Progress on stderr");
    command->add_option("--plugin", o.plugin,
                        "Plug-in bundle folder for --check (default: the installed one, or the build's)");
    command->add_option("--host-version", o.hostVersion, "Host version announced to the plug-in")
        ->default_val(qzimport::PluginHost::kDefaultHostVersion);
    command->callback([args] {
        try {
            RunReport(*args);
        } catch (const ComVantoVantoQZ64RADPlug::CUInterrupted& e) {
            throw qzimport::ImportError::Interrupted(
                "interrupted; nothing of this report was put in place in " + args->options.output,
                e.Signal());
        }
    });
}

const bool kRegistered = qzcard::RegisterCommand(&InstallReport);

}  // namespace
