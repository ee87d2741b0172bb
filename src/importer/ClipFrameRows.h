#pragma once
// The frames of one clip, a row each, as the import cursor walks them in
// decode order over the clip or its in/out range: member file and edit unit
// in it, picture type, sync kind, index offsets, decode and presentation
// times, the picture element's offset and size, and the timecode of the
// picture it presents; for `frames`. Opens a movie of its own for the clip
// and reads the clip under the clip's lock; call from one thread per clip.
#include "CFBCClip.h"
#include "ClipFramePoints.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qzimport {

struct FrameRow {
    uint32_t index = 0;         // decode order
    std::string file;           // the member file's name
    uint32_t local = 0;         // edit unit in that file
    const char* type = "I";     // I, P or B
    const char* sync = "full";  // full, partial or none
    int8_t temporalOffset = 0;  // as the index table holds them
    int8_t keyFrameOffset = 0;
    int32_t displayOffset = 0;  // presentation position less decode position
    int64_t decodeTime = 0;     // in timescale units
    int64_t presentationTime = 0;
    uint64_t offset = 0;  // of the picture element in the file
    uint64_t size = 0;
    std::string timecode;  // of the picture the frame presents
};

struct ClipFrameRows {
    std::string clipID;  // the clip's own ID
    int64_t timescale = 0;
    int64_t frameDuration = 0;  // in timescale units
    std::vector<FrameRow> rows;
};

// The rows of `clip` from `points.in` to `points.out` (frame indices in
// presentation order, the whole clip without them). Throws ImportError
// (kProblems), "the frames of clip <ID> cannot be read: <why>", when
// the clip has no usable frames or picture track, or a frame has no file,
// no readable index entry or no picture element to be found.
ClipFrameRows ReadClipFrameRows(ComVantoVantoQZ64RADPlug::CFBCClip& clip, const FramePoints& points);

}  // namespace qzimport
