// qzcard list CARD [--json]: whether a folder is a card (and why not), then
// one row per clip in card order: clip ID, state, duration, start timecode,
// frame rate, picture size, bit rate, audio channels, device, shooting date
// and title; why each clip that cannot be imported cannot.
#include "CommandRegistry.h"

#include "CFBCContent.h"
#include "CardOpening.h"
#include "CardReading.h"
#include "CardSummary.h"
#include "CatalogRecorder.h"
#include "ClipSummary.h"
#include "ClipSummaryWriter.h"
#include "ImportError.h"
#include "QzcardVersion.h"
#include "TextTable.h"
#include "ValueTexts.h"

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

struct ListArguments {
    std::string folder;
    bool json = false;
};

void PrintTable(const std::vector<qzimport::ClipSummary>& rows) {
    std::vector<std::vector<std::string>> cells;
    for (const qzimport::ClipSummary& row : rows) cells.push_back(qzimport::ClipSummaryWriter::Cells(row));
    qzcard::PrintTextTable({"CLIP", "STATE", "DURATION", "FRAMES", "START", "RATE", "SIZE", "BIT RATE",
                            "AUDIO", "DEVICE", "SHOT", "TITLE"},
                           std::move(cells));
}

// With --json a folder that is not a card is told on stdout too, so that a
// script reads one JSON answer either way.
CUSharedPtr<CFBCContent> OpenCard(const ListArguments& args) {
    try {
        return qzimport::OpenCard(args.folder);
    } catch (const qzimport::ImportError& e) {
        if (args.json && e.Kind() == ComVantoVantoQZ64RADPlug::CUFailureKind::kNotACard) {
            const ordered_json out = {{"qzcardVersion", qzimport::QzcardVersion()},
                                      {"card", args.folder},
                                      {"isCard", false},
                                      {"reason", e.what()}};
            std::cout << out.dump(2) << '\n' << std::flush;
        }
        throw;
    }
}

void RunList(const ListArguments& args) {
    CUSharedPtr<CFBCContent> content = OpenCard(args);
    const qzimport::CardSummary card = qzimport::SummarizeCard(*content);
    const std::vector<qzimport::ClipSummary>& rows = card.clips;
    const qzcard::CatalogOutcome recorded =
        qzcard::CatalogRecorder::Record([&args, &content](qzcatalog::Catalog& catalog, int64_t now) {
            catalog.RecordCard(qzcatalog::CardReading::Read(args.folder, content, {}, now));
        });

    if (args.json) {
        ordered_json out;
        out["qzcardVersion"] = qzimport::QzcardVersion();
        out["card"] = args.folder;
        out["isCard"] = true;
        // `mediumId` as spans, report and the export record name it;
        // `mediaId`, its older name, stays for the scripts that read it.
        out["mediumId"] = card.mediaID;
        out["mediaId"] = card.mediaID;
        out["indexVersion"] = card.indexVersion;
        out["systemBitmap"] = card.systemBitmap;
        out["frameRateType"] = card.frameRateType;
        out["frameRateTypeText"] = qzimport::FrameRateTypeText(card.frameRateType);
        out["clipCount"] = rows.size();
        out["offeredClipCount"] = card.readyCount;
        out["clips"] = ordered_json::array();
        for (const qzimport::ClipSummary& row : rows)
            out["clips"].push_back(qzimport::ClipSummaryWriter::Json(row));
        out["catalog"] = recorded.Json();
        std::cout << out.dump(2) << '\n';
        return;
    }
    std::printf("card        %s\n", args.folder.c_str());
    std::printf("media ID    %s\n", card.mediaID.c_str());
    std::printf("index       version %s, system bitmap 0x%02X (%s)\n", card.indexVersion.c_str(),
                card.systemBitmap, qzimport::FrameRateTypeText(card.frameRateType).c_str());
    std::printf("clips       %zu (%zu ready)\n", rows.size(), card.readyCount);
    if (rows.empty()) return;
    std::printf("\n");
    PrintTable(rows);
    bool first = true;
    for (const qzimport::ClipSummary& row : rows) {
        if (!row.stateReason) continue;
        std::printf("%s%s  %s: %s\n", first ? "\n" : "", row.clipID.c_str(), row.state.c_str(),
                    qzimport::TableCell(*row.stateReason).c_str());
        first = false;
    }
}

void InstallList(CLI::App& app) {
    auto args = std::make_shared<ListArguments>();
    CLI::App* command = app.add_subcommand("list", "Tell whether a folder is a card and list its clips");
    command->add_option("CARD", args->folder, "Card root folder (holding CONTENTS/CLIPS001/INDEX.MIF)")
        ->required();
    command->add_flag("--json", args->json, "Print JSON instead of a table");
    command->callback([args] { RunList(*args); });
}

const bool kRegistered = qzcard::RegisterCommand(&InstallList);

}  // namespace
