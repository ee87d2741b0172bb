// qzcard report CARD... -o DIR [--thumbnails N] [--at PERCENT|FRAME|TC]
// [--check] [--copies DIR...] [--dailies DIR] [--wait SECONDS] [--json] [--progress]:
// writes the cards' report for people (DIR/index.html with DIR/thumbs/) and
// for scripts (DIR/report.json), put in place as one set under the output
// folder lock, and says where. Exits 4 when --check found problems or
// unlisted entries or a copy is not verified, 5 when another export or report holds the folder.
// qzcard report --catalog [URL|PATH] -o DIR [--json]: writes the catalog's
// page DIR/catalog.html instead (the catalog named, else the global one).
#include "CommandRegistry.h"
#include "ExitCodes.h"
#include "FBC_Utl_CountText.h"

#include "CUInterruption.h"
#include "CardReport.h"
#include "CatalogOverview.h"
#include "CatalogRecorder.h"
#include "ImportError.h"
#include "MediaLayers.h"
#include "PluginHost.h"
#include "QzcardVersion.h"
#include "ReportError.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <ctime>
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
    std::string catalog;  // --catalog VALUE
};

// Copies that count on this many volumes make a file safe, on the catalog's page.
constexpr int64_t kPageCopies = 2;

void RunCatalogPage(const ReportArguments& args, const std::string& location) {
    qzcatalog::Catalog catalog(qzcatalog::CatalogLocation::Resolve(location));
    const qzcatalog::CatalogState state = qzcatalog::CatalogOverview::Of(catalog, kPageCopies);
    const std::string page = qzcard::LoadMediaLayers().WriteCatalogPage(
        state, args.options.output, static_cast<int64_t>(std::time(nullptr)));
    size_t erasable = 0;
    for (const qzcatalog::CardOverview& card : state.cards) erasable += card.erasable.Erasable() ? 1 : 0;
    if (args.json) {
        const nlohmann::ordered_json out = {{"qzcardVersion", qzimport::QzcardVersion()},
                                            {"page", page},
                                            {"where", state.where},
                                            {"copiesNeeded", state.copiesNeeded},
                                            {"cards", state.cards.size()},
                                            {"erasableCards", erasable},
                                            {"lackingClips", state.lacking.clips.size()},
                                            {"lackingFiles", state.lacking.files.size()}};
        std::cout << out.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
    } else {
        std::printf("%s, %zu erasable; %s lacking copies on %lld volumes\npage  %s\n",
                    FBC_Utl_CountText(state.cards.size(), "card", "cards").c_str(), erasable,
                    FBC_Utl_CountText(state.lacking.files.size(), "file", "files").c_str(),
                    static_cast<long long>(state.copiesNeeded), page.c_str());
    }
    std::fflush(stdout);
}

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
    command->add_option("CARD", o.cards, "Card root folders");
    CLI::Option* catalog =
        command
            ->add_option("--catalog", args->catalog,
                         "Without CARD: write the page of the catalog (this PostgreSQL URL or SQLite file, "
                         "else the one qzcard records in) as DIR/catalog.html. With CARD: the catalog to "
                         "record in, as the global --catalog")
            ->expected(0, 1);
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
    command->callback([args, catalog] {
        const bool page = catalog->count() > 0 && args->options.cards.empty();
        if (catalog->count() > 0 && !page) {
            // `qzcard report CARD... --catalog X` names where to record, as the global option
            // given after the command does for every other command.
            if (args->catalog.empty()) {
                std::fprintf(stderr,
                             "qzcard report: --catalog without a value writes the catalog's "
                             "page and takes no CARD\n");
                throw CLI::RuntimeError(qzcard::kExitUsage);
            }
            qzcard::CatalogRecorder::ChooseLocation(args->catalog);
        }
        if (!page && args->options.cards.empty()) {
            std::fprintf(stderr,
                         "qzcard report: give the cards (CARD...) or --catalog for the catalog's page\n");
            throw CLI::RuntimeError(qzcard::kExitUsage);
        }
        if (page) {
            RunCatalogPage(*args,
                           args->catalog.empty() ? qzcard::CatalogRecorder::GivenLocation() : args->catalog);
            return;
        }
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
