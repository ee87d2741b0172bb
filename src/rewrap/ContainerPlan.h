#pragma once
// What a movie output writes for an export's stream, decided before any
// library is called: the picture's codec tag, pixel aspect and field order,
// the sound streams, the start timecode as the container's writer counts
// it, and the metadata keys. Plain data and pure functions.
#include "ExportStreamInfo.h"
#include "OutputFormat.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace qzrewrap {

enum class Container { kMov, kMxf };

// "mov" or "mxf": the format's name and its file extension.
std::string ContainerName(Container container);

enum class FieldOrder { kProgressive, kTopFieldFirst, kBottomFieldFirst };

// An exact rate or ratio.
struct Rational {
    int64_t num = 0;
    int64_t den = 1;
};

// One sound stream of the output: `channels` consecutive sound tracks of
// the clip from `firstTrack` (0-based), interleaved sample by sample.
struct SoundStream {
    uint32_t firstTrack = 0;
    uint32_t channels = 1;
};

struct ContainerPlan {
    Container container = Container::kMov;
    // MOV: the picture's sample description type: the codec type the
    // plug-in names for the clip when that is a QuickTime MPEG-2 type
    // ("xd5?", "xdv?", "hdv?"), else "m2v1". Empty for MXF.
    std::string codecTag;
    Rational pixelAspect;  // width:height of one pixel, giving the display aspect
    FieldOrder fieldOrder = FieldOrder::kProgressive;
    std::vector<SoundStream> sound;
    // The first presented picture's timecode as the container's writer
    // takes it ("HH:MM:SS:FF", ";" before the frames when drop-frame) and
    // the rate it counts at; empty when the stream has no start timecode.
    // MOV counts at the clip's timecode rate (half the picture rate at 50
    // and 59.94 progressive: a first picture that is the second of its
    // timecode frame starts under that frame's label); libavformat's MXF
    // writer counts at the edit rate, so there the frames are given in
    // pictures.
    std::string timecode;
    Rational timecodeRate;
    std::string reelName;  // the card's medium
    // Container-level metadata, by libavformat's key names.
    std::vector<std::pair<std::string, std::string>> metadata;
};

// Throws qzimport::ImportError for a stream it cannot describe (no picture
// rate, a malformed start timecode, no sound sample size it can write).
ContainerPlan PlanContainer(Container container, const qzimport::ExportStreamInfo& stream,
                            const qzimport::OutputOptions& options);

// The MOV codec tag for a plug-in codec type (see ContainerPlan::codecTag).
std::string MovCodecTag(const std::string& codecType);

}  // namespace qzrewrap
