// qzcard frames CARD CLIPID [--json] [--in P] [--out P]: one row per frame
// of a clip (or of its in/out range, as the import cursor walks it), in
// decode order: file, edit unit, picture type, sync kind, index offsets,
// time stamps, picture element and timecode. In and out points are frame
// indices or timecodes of the clip; anything else is refused.
#include "CommandRegistry.h"

#include "CFBCClip.h"
#include "CFBCContent.h"
#include "CardOpening.h"
#include "ClipFramePoints.h"
#include "ClipFrameRows.h"
#include "QzcardVersion.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <cinttypes>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace ComVantoVantoQZ64RADPlug;
using nlohmann::ordered_json;

struct FramesArguments {
    std::string folder;
    std::string clipID;
    bool json = false;
    std::optional<std::string> in;  // frame index (presentation order) or timecode
    std::optional<std::string> out;
};

void RunFrames(const FramesArguments& args) {
    CUSharedPtr<CFBCContent> content = qzimport::OpenCard(args.folder);
    CUSharedPtr<CFBCClip> clip = qzimport::FindClip(*content, args.folder, args.clipID);
    const qzimport::FramePoints points = qzimport::ClipFramePoints(args.in, args.out, *clip);
    const qzimport::ClipFrameRows frames = qzimport::ReadClipFrameRows(*clip, points);
    const std::vector<qzimport::FrameRow>& rows = frames.rows;

    if (args.json) {
        ordered_json out;
        out["qzcardVersion"] = qzimport::QzcardVersion();
        out["clipId"] = frames.clipID;
        out["timescale"] = frames.timescale;
        out["frameDuration"] = frames.frameDuration;
        ordered_json list = ordered_json::array();
        for (const qzimport::FrameRow& row : rows) {
            list.push_back({{"index", row.index},
                            {"file", row.file},
                            {"localIndex", row.local},
                            {"type", row.type},
                            {"sync", row.sync},
                            {"temporalOffset", row.temporalOffset},
                            {"keyFrameOffset", row.keyFrameOffset},
                            {"displayOffset", row.displayOffset},
                            {"decodeTime", row.decodeTime},
                            {"presentationTime", row.presentationTime},
                            {"offset", row.offset},
                            {"size", row.size},
                            {"timecode", row.timecode}});
        }
        out["frames"] = list;
        std::cout << out.dump(2) << '\n';
        return;
    }
    std::printf("clip %s: %zu frame%s, timescale %" PRId64 ", frame duration %" PRId64 "\n",
                frames.clipID.c_str(), rows.size(), rows.size() == 1 ? "" : "s", frames.timescale,
                frames.frameDuration);
    std::printf("%6s  %-12s %5s  %s  %-7s %4s %4s %4s %10s %10s %12s %8s  %s\n", "index", "file", "local",
                "T", "sync", "tmp", "key", "disp", "dts", "pts", "offset", "size", "timecode");
    for (const qzimport::FrameRow& r : rows)
        std::printf("%6u  %-12s %5u  %s  %-7s %4d %4d %4d %10" PRId64 " %10" PRId64 " %12" PRIu64 " %8" PRIu64
                    "  %s\n",
                    r.index, r.file.c_str(), r.local, r.type, r.sync, r.temporalOffset, r.keyFrameOffset,
                    r.displayOffset, r.decodeTime, r.presentationTime, r.offset, r.size, r.timecode.c_str());
}

void InstallFrames(CLI::App& app) {
    auto args = std::make_shared<FramesArguments>();
    CLI::App* command = app.add_subcommand("frames", "List the frames of one clip in decode order");
    command->add_option("CARD", args->folder, "Card root folder")->required();
    command->add_option("CLIPID", args->clipID, "Clip ID, e.g. QZ0001")->required();
    command->add_flag("--json", args->json, "Print JSON instead of text");
    command->add_option(
        "--in", args->in,
        "In point: frame index (presentation order, 0 = first picture) or timecode HH:MM:SS:FF");
    command->add_option("--out", args->out,
                        "Out point: frame index (presentation order) or timecode HH:MM:SS:FF");
    command->callback([args] { RunFrames(*args); });
}

const bool kRegistered = qzcard::RegisterCommand(&InstallFrames);

}  // namespace
