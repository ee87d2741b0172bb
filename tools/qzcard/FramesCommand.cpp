// qzcard frames CARD CLIPID [--json] [--in P] [--out P]: one row per frame
// of a clip (or of its in/out range, as the import cursor walks it), in
// decode order: file, edit unit, picture type, sync kind, index offsets,
// time stamps, picture element and timecode. In and out points are frame
// indices or timecodes of the clip; anything else is refused.
#include "CommandRegistry.h"

#include "CFBCClip.h"
#include "CFBCContent.h"
#include "CUStringMac.h"
#include "CardText.h"
#include "ClipFramePoints.h"
#include "FBCMovieSample.h"
#include "MXFStream.h"
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

struct FrameRow {
    uint32_t index = 0;
    std::string file;
    uint32_t local = 0;
    const char* type = "I";
    const char* sync = "full";
    int8_t temporalOffset = 0;
    int8_t keyFrameOffset = 0;
    int32_t displayOffset = 0;
    int64_t decodeTime = 0;
    int64_t presentationTime = 0;
    uint64_t offset = 0;
    uint64_t size = 0;
    std::string timecode;
};

[[noreturn]] void Unreadable(const std::string& clipID, const std::string& why) {
    std::fprintf(stderr, "qzcard frames: the frames of clip %s cannot be read: %s\n", clipID.c_str(),
                 why.c_str());
    throw CLI::RuntimeError(4);
}

std::string FailureText(const FBCMovieStream& movie, const std::string& fallback) {
    const CUFailure failure = movie.LastFailure();
    return failure.Failed() ? failure.Describe() : fallback;
}

const char* PictureType(uint8_t flags) {
    if (flags & 0x10) return "B";
    if (flags & 0x20) return "P";
    return "I";
}

const char* SyncKind(uint32_t sampleFlags) {
    if ((sampleFlags & kMediaSampleNotSync) == 0) return "full";
    return (sampleFlags & kMediaSamplePartialSync) ? "partial" : "none";
}

FrameRow ReadRow(const std::string& clipID, FBCMovieSample& movie, CFBCClip& clip, int32_t pictureTrack) {
    FrameRow row;
    row.index = movie.CurrentIndex();
    const std::string frameText = "frame " + std::to_string(row.index);
    CUSharedPtr<MXFStream> stream = movie.mxfAtFrameIndex(row.index, &row.local);
    if (!stream || !movie.LastAccessInfo())
        Unreadable(clipID, FailureText(movie, frameText + " has no file"));
    CUStringMac name;
    if (movie.LastAccessInfo()->path->PathGetFileName(name) == 0) row.file = name.Utf8();
    uint8_t flags = 0;
    if (!movie.FrameInfoAtIndex(row.index, &row.temporalOffset, &row.keyFrameOffset, &flags))
        Unreadable(clipID, FailureText(movie, frameText + ": its index entry cannot be read"));
    row.type = PictureType(flags);
    row.sync = SyncKind(movie.sampleFlagAtIndex(row.index));
    row.displayOffset = movie.DisplayOffsetAtIndex(row.index);
    row.decodeTime = movie.FrameDecodeTimeStamp();
    row.presentationTime = movie.FramePresentationTimeStamp();
    const MXFEssenceRange range = stream->RangeEssenceData(row.local, static_cast<uint32_t>(pictureTrack));
    if (range.first == MXFStream::kNoEssenceOffset)
        Unreadable(clipID, frameText + ": its picture element cannot be located");
    row.offset = range.first;
    row.size = range.second;
    row.timecode =
        qzimport::TimecodeText(clip.CalculateTimcodeFromFrameNo(int64_t{row.index} + row.displayOffset));
    return row;
}

void RunFrames(const FramesArguments& args) {
    CUSharedPtr<CFBCContent> content = qzimport::OpenCard(args.folder);
    CUSharedPtr<CFBCClip> clip = qzimport::FindClip(*content, args.folder, args.clipID);
    const std::string clipID = qzimport::ClipValueText(*clip, kClipValueClipID);
    const qzimport::FramePoints points = qzimport::ClipFramePoints(args.in, args.out, *clip);
    CUSharedPtr<FBCMovieSample> movie(new FBCMovieSample());
    if (!movie->Init(clip->GetCIFPath()))
        Unreadable(clipID, FailureText(*movie, "the clip has no usable frames"));
    const int32_t pictureTrack = movie->trackIndexFromType(kMxfTrackPicture, 0);
    if (pictureTrack < 0) Unreadable(clipID, "the clip has no picture track");

    // Frame indices become times at the clip's frame duration.
    const int64_t timescale = movie->timescale();
    const int64_t duration = movie->durationPerFrame();
    movie->InitializeGetSample();
    if (points.in) movie->setInPoint(*points.in * duration, timescale);
    if (points.out) movie->setOutPoint(*points.out * duration, timescale);
    std::vector<FrameRow> rows;
    if (movie->FrameCountInClip() > 0)
        for (; !movie->isEndOfClip(); movie->nextFrame())
            rows.push_back(ReadRow(clipID, *movie, *clip, pictureTrack));

    if (args.json) {
        ordered_json out;
        out["qzcardVersion"] = qzimport::QzcardVersion();
        out["clipId"] = clipID;
        out["timescale"] = timescale;
        out["frameDuration"] = duration;
        ordered_json frames = ordered_json::array();
        for (const FrameRow& row : rows) {
            frames.push_back({{"index", row.index},
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
        out["frames"] = frames;
        std::cout << out.dump(2) << '\n';
        return;
    }
    std::printf("clip %s: %zu frame%s, timescale %" PRId64 ", frame duration %" PRId64 "\n", clipID.c_str(),
                rows.size(), rows.size() == 1 ? "" : "s", timescale, duration);
    std::printf("%6s  %-12s %5s  %s  %-7s %4s %4s %4s %10s %10s %12s %8s  %s\n", "index", "file", "local",
                "T", "sync", "tmp", "key", "disp", "dts", "pts", "offset", "size", "timecode");
    for (const FrameRow& r : rows)
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
