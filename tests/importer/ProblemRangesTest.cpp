// The fold of one problem at consecutive frames into a range: what joins,
// what stays apart, and the order kept.
#include "ProblemRanges.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using qzimport::VerifyProblem;

// Frame `frame` with timecode "tc<frame>".
VerifyProblem At(int64_t frame, const char* check = "picture", const char* detail = "none") {
    return VerifyProblem(frame, frame < 0 ? "" : "tc" + std::to_string(frame), check, detail);
}

// "frame-last check" per folded problem; "clip check" for the whole clip.
std::string Shown(const std::vector<VerifyProblem>& problems) {
    std::string text;
    for (const VerifyProblem& p : problems) {
        if (!text.empty()) text += ", ";
        text += p.frame < 0 ? "clip" : std::to_string(p.frame);
        if (p.lastFrame >= 0) text += "-" + std::to_string(p.lastFrame) + "(" + p.lastTimecode + ")";
        text += " " + p.check;
    }
    return text;
}

TEST(ProblemRangesTest, ConsecutiveFramesOfOneProblemFoldIntoARange) {
    const struct {
        const char* name;
        std::vector<VerifyProblem> problems;
        const char* folded;
    } kCases[] = {
        {"none", {}, ""},
        {"one frame", {At(5)}, "5 picture"},
        {"a run", {At(5), At(6), At(7)}, "5-7(tc7) picture"},
        {"a gap starts another", {At(5), At(6), At(8)}, "5-6(tc6) picture, 8 picture"},
        {"the same frame twice", {At(5), At(5)}, "5 picture, 5 picture"},
        {"out of order", {At(6), At(5)}, "6 picture, 5 picture"},
        {"another detail", {At(5), At(6, "picture", "other")}, "5 picture, 6 picture"},
        {"two checks interleaved",
         {At(1, "a"), At(1, "b"), At(2, "a"), At(2, "b"), At(3, "a")},
         "1-3(tc3) a, 1-2(tc2) b"},
        {"the clip's problems kept",
         {At(-1, "offered"), At(-1, "offered"), At(0)},
         "clip offered, clip offered, 0 picture"},
        {"a run after a clip problem", {At(0), At(-1, "tracks"), At(1)}, "0-1(tc1) picture, clip tracks"},
    };
    for (const auto& c : kCases) {
        const std::vector<VerifyProblem> folded = qzimport::FoldFrameRanges(c.problems);
        EXPECT_EQ(Shown(folded), c.folded) << c.name;
        int64_t covered = 0;
        for (const VerifyProblem& p : folded) covered += qzimport::FramesCovered(p);
        int64_t frames = 0;
        for (const VerifyProblem& p : c.problems) frames += p.frame >= 0;
        EXPECT_EQ(covered, frames) << c.name;
    }
}

}  // namespace
