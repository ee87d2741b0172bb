#pragma once
// Problems of one clip folded for a reader: a run of problems of the same
// check and detail on consecutive frames becomes one range ("frames 60-119:
// no picture element"), so a clip that lost a file's worth of pictures reads
// as one line, not sixty. Pure functions on values; any thread.
#include "ClipVerifier.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qzimport {

struct VerifyProblemRange {
    int64_t firstFrame = -1;                  // decode order, inclusive; -1 for the clip as a whole
    int64_t lastFrame = -1;                   // inclusive; equal to firstFrame for one frame
    std::string firstTimecode, lastTimecode;  // of those frames; empty with frame -1
    std::string check;
    std::string detail;
    size_t count = 1;  // problems folded into the range
};

// `problems` in their order, each run of the same check and detail on frames
// one after the other (frame -1 never joins a run) folded into one range.
std::vector<VerifyProblemRange> FoldProblems(const std::vector<VerifyProblem>& problems);

// "frames 60–119 (00:00:02:10–00:00:04:19) picture: no picture element",
// "frame 7 (00:00:00:07) decode: ...", "clip offered: ...".
std::string ProblemRangeText(const VerifyProblemRange& range);

}  // namespace qzimport
