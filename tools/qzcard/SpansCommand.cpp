// qzcard spans CARD... [--json]: recordings that continue across clips and
// cards, each as its pieces in order (card, clip, frames, start and end
// timecode), naming the pieces that no card given holds (then exit 4).
#include "CommandRegistry.h"

#include "CFBCContent.h"
#include "CardOpening.h"
#include "QzcardVersion.h"
#include "RecordingSpans.h"

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

constexpr int kExitPiecesMissing = 4;

struct SpansArguments {
    std::vector<std::string> cards;
    bool json = false;
};

// "1 frame", "30 frames".
std::string Frames(uint64_t n) {
    return std::to_string(n) + (n == 1 ? " frame" : " frames");
}

void RunSpans(const SpansArguments& args) {
    std::vector<CUSharedPtr<CFBCContent>> cards;
    for (const std::string& folder : args.cards) cards.push_back(qzimport::OpenCard(folder));
    const std::vector<qzimport::Recording> recordings = qzimport::FindRecordings(args.cards, cards);

    if (args.json) {
        ordered_json out;
        out["qzcardVersion"] = qzimport::QzcardVersion();
        out["cards"] = args.cards;
        out["recordings"] = ordered_json::array();
        for (const qzimport::Recording& r : recordings) out["recordings"].push_back(qzimport::RecordingJson(r));
        std::cout << out.dump(2) << '\n';
    }
    for (size_t i = 0; !args.json && i < recordings.size(); ++i) {
        const qzimport::Recording& r = recordings[i];
        const size_t missing = r.MissingCount();
        std::printf("%srecording %zu: %zu piece%s, %s present%s\n", i ? "\n" : "", i + 1, r.pieces.size(),
                    r.pieces.size() == 1 ? "" : "s", Frames(r.FramesPresent()).c_str(),
                    missing ? (", " + std::to_string(missing) + " missing").c_str() : "");
        for (size_t k = 0; k < r.pieces.size(); ++k) {
            const qzimport::RecordingPiece& p = r.pieces[k];
            if (p.missing) {
                std::printf("  %2zu  MISSING  clip %s on medium %s\n", k + 1,
                            p.identity.clipID.empty() ? "-" : p.identity.clipID.c_str(),
                            p.identity.mediumID.empty() ? "-" : p.identity.mediumID.c_str());
                continue;
            }
            std::printf("  %2zu  %s  %s  %s  %s - %s\n", k + 1, p.card.c_str(), p.identity.clipID.c_str(),
                        Frames(p.frames).c_str(), p.startTimecode.empty() ? "-" : p.startTimecode.c_str(),
                        p.endTimecode.empty() ? "-" : p.endTimecode.c_str());
        }
    }
    // Every recording is told first; a missing piece then fails the run.
    size_t missing = 0;
    for (const qzimport::Recording& r : recordings) missing += r.MissingCount();
    if (missing > 0) {
        std::fflush(stdout);
        std::fprintf(stderr, "qzcard spans: %zu piece%s on no card given\n", missing,
                     missing == 1 ? "" : "s");
        throw CLI::RuntimeError(kExitPiecesMissing);
    }
}

void InstallSpans(CLI::App& app) {
    auto args = std::make_shared<SpansArguments>();
    CLI::App* command = app.add_subcommand(
        "spans", "List the recordings that continue across clips and cards, piece by piece");
    command->add_option("CARD", args->cards, "Card root folders, in any order")->required();
    command->add_flag("--json", args->json, "Print JSON instead of text");
    command->callback([args] { RunSpans(*args); });
}

const bool kRegistered = qzcard::RegisterCommand(&InstallSpans);

}  // namespace
