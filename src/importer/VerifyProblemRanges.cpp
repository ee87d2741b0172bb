#include "VerifyProblemRanges.h"

namespace qzimport {

std::vector<VerifyProblemRange> FoldProblems(const std::vector<VerifyProblem>& problems) {
    std::vector<VerifyProblemRange> ranges;
    for (const VerifyProblem& p : problems) {
        if (!ranges.empty()) {
            VerifyProblemRange& last = ranges.back();
            if (p.frame >= 0 && last.lastFrame >= 0 && p.frame == last.lastFrame + 1 &&
                p.check == last.check && p.detail == last.detail) {
                last.lastFrame = p.frame;
                last.lastTimecode = p.timecode;
                ++last.count;
                continue;
            }
        }
        ranges.push_back({p.frame, p.frame, p.timecode, p.timecode, p.check, p.detail, 1});
    }
    return ranges;
}

std::string ProblemRangeText(const VerifyProblemRange& range) {
    std::string where;
    if (range.firstFrame < 0)
        where = "clip";
    else if (range.lastFrame == range.firstFrame)
        where = "frame " + std::to_string(range.firstFrame) +
                (range.firstTimecode.empty() ? "" : " (" + range.firstTimecode + ")");
    else
        where =
            "frames " + std::to_string(range.firstFrame) + "\u2013" + std::to_string(range.lastFrame) +
            (range.firstTimecode.empty() ? ""
                                         : " (" + range.firstTimecode + "\u2013" + range.lastTimecode + ")");
    return where + " " + range.check + ": " + range.detail;
}

}  // namespace qzimport
