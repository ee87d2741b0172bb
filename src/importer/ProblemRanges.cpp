#include "ProblemRanges.h"

#include <map>
#include <string>
#include <utility>

namespace qzimport {

std::vector<VerifyProblem> FoldFrameRanges(std::vector<VerifyProblem> problems) {
    std::vector<VerifyProblem> folded;
    folded.reserve(problems.size());
    // The latest range of each check and detail: its place in `folded`.
    std::map<std::pair<std::string, std::string>, size_t> open;
    for (VerifyProblem& problem : problems) {
        if (problem.frame < 0) {
            folded.push_back(std::move(problem));
            continue;
        }
        const std::pair<std::string, std::string> key(problem.check, problem.detail);
        const auto found = open.find(key);
        if (found != open.end()) {
            VerifyProblem& range = folded[found->second];
            const int64_t last = range.lastFrame < 0 ? range.frame : range.lastFrame;
            if (problem.frame == last + 1) {
                range.lastFrame = problem.frame;
                range.lastTimecode = std::move(problem.timecode);
                continue;
            }
        }
        open[key] = folded.size();
        folded.push_back(std::move(problem));
    }
    return folded;
}

int64_t FramesCovered(const VerifyProblem& problem) {
    if (problem.frame < 0) return 0;
    return problem.lastFrame < problem.frame ? 1 : problem.lastFrame - problem.frame + 1;
}

std::string ProblemText(const VerifyProblem& problem, const char* separator) {
    std::string where;
    if (problem.frame < 0)
        where = "clip";
    else if (FramesCovered(problem) == 1)
        where = "frame " + std::to_string(problem.frame) +
                (problem.timecode.empty() ? "" : " (" + problem.timecode + ")");
    else
        where =
            "frames " + std::to_string(problem.frame) + "\u2013" + std::to_string(problem.lastFrame) +
            (problem.timecode.empty() ? "" : " (" + problem.timecode + "\u2013" + problem.lastTimecode + ")");
    return where + separator + problem.check + ": " + problem.detail;
}

}  // namespace qzimport
