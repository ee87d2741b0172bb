#pragma once
// Folds the problems of consecutive frames that say the same thing into one
// problem over a range of frames: a member file cut short is one problem
// "frames 60–119: no picture element in QZ000101.MXF", not sixty lines. A
// pure function.
#include "ClipVerifier.h"

#include <string>
#include <vector>

namespace qzimport {

// `problems` in the order a check found them. A problem whose check and
// detail are those of an earlier one (or range) ending at the frame just
// before it extends that one: its `lastFrame` and `lastTimecode` become the
// later frame's. The first of each range keeps its place; problems of the
// clip as a whole are kept as they are.
std::vector<VerifyProblem> FoldFrameRanges(std::vector<VerifyProblem> problems);

// The frames a problem covers: 1 for one frame, 0 for the clip as a whole.
int64_t FramesCovered(const VerifyProblem& problem);

// "frames 60–119 (00:00:02:10–00:00:04:19) picture: no picture element",
// "frame 7 (00:00:00:07) decode: ...", "clip offered: ...": where, then
// `separator` (one space in the report, two in `verify`'s lines), then what.
// A frame without a timecode is named without one.
std::string ProblemText(const VerifyProblem& problem, const char* separator = " ");

}  // namespace qzimport
