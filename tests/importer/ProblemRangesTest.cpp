// Problems folded into frame ranges: runs of one check and detail on
// consecutive frames fold, a gap, another detail, another check or a
// problem of the whole clip each start a new range.
#include <gtest/gtest.h>
#include "ProblemRanges.h"

#include <string>
#include <vector>

namespace {

using qzimport::VerifyProblem;

VerifyProblem At(int64_t frame, const std::string& detail = "no picture element",
                 const std::string& check = "picture") {
    return {frame, frame < 0 ? "" : "00:00:00:" + std::to_string(10 + frame), check, detail};
}

TEST(VerifyProblemRangesTest, RunsFoldIntoRanges) {
    const struct {
        const char* name;
        std::vector<VerifyProblem> problems;
        std::vector<std::string> texts;
    } cases[] = {
        {"none", {}, {}},
        {"one frame", {At(7)}, {"frame 7 (00:00:00:17) picture: no picture element"}},
        {"a run",
         {At(3), At(4), At(5)},
         {"frames 3\u20135 (00:00:00:13\u201300:00:00:15) picture: no picture element"}},
        {"a gap",
         {At(3), At(5)},
         {"frame 3 (00:00:00:13) picture: no picture element",
          "frame 5 (00:00:00:15) picture: no picture element"}},
        {"another detail",
         {At(3), At(4, "short")},
         {"frame 3 (00:00:00:13) picture: no picture element", "frame 4 (00:00:00:14) picture: short"}},
        {"runs of two problems interleaved",
         {At(3), At(3, "late", "decode"), At(4), At(4, "late", "decode")},
         {"frames 3\u20134 (00:00:00:13\u201300:00:00:14) picture: no picture element",
          "frames 3\u20134 (00:00:00:13\u201300:00:00:14) decode: late"}},
        {"another check",
         {At(3), At(4, "no picture element", "decode")},
         {"frame 3 (00:00:00:13) picture: no picture element",
          "frame 4 (00:00:00:14) decode: no picture element"}},
        {"the clip",
         {At(-1, "not offered", "offered"), At(-1, "not offered", "offered"), At(0)},
         {"clip offered: not offered", "clip offered: not offered",
          "frame 0 (00:00:00:10) picture: no picture element"}},
        {"the same frame twice",
         {At(2), At(2)},
         {"frame 2 (00:00:00:12) picture: no picture element",
          "frame 2 (00:00:00:12) picture: no picture element"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> texts;
        for (const VerifyProblem& p : qzimport::FoldFrameRanges(c.problems))
            texts.push_back(qzimport::ProblemText(p));
        EXPECT_EQ(texts, c.texts);
    }
    // verify's lines: two spaces between where and what.
    EXPECT_EQ(qzimport::ProblemText(At(3), "  "), "frame 3 (00:00:00:13)  picture: no picture element");
    EXPECT_EQ(qzimport::ProblemText(At(-1, "not offered", "offered"), "  "), "clip  offered: not offered");
}

}  // namespace
