#include "OffloadReport.h"

namespace qzoffload {

namespace {

std::string Incomplete(size_t files, size_t of) {
    return "incomplete: " + std::to_string(files) + " of " + std::to_string(of) + " files";
}

}  // namespace

const char* FileProblemName(FileProblem problem) {
    switch (problem) {
        case FileProblem::kNotCopied:
            return "notCopied";
        case FileProblem::kMissingOnCard:
            return "missingOnCard";
        case FileProblem::kFailed:
            break;
    }
    return "failed";
}

const char* DestinationReport::State() const {
    if (files == cardFiles && !recorded) return "not recorded";
    if (verified) return "complete";
    if (files == cardFiles && notReadBack > 0) return "not verified";
    return "incomplete";
}

std::string DestinationReport::Status() const {
    const std::string state = State();
    return state == "incomplete" ? Incomplete(files, cardFiles) : state;
}

bool DestinationReport::Whole() const {
    return failures.empty() && found.foreign.empty() && files == cardFiles;
}

bool OffloadReport::Complete() const {
    if (!cardFailure.empty() || interruptSignal != 0) return false;
    for (const DestinationReport& destination : destinations)
        if (!destination.Whole()) return false;
    return true;
}

std::string CheckReport::Status() const {
    if (cardFiles && cardVerified == *cardFiles) return "complete";
    if (cardFiles) return Incomplete(cardVerified, *cardFiles);
    return Clean() ? "verified" : "not verified";
}

}  // namespace qzoffload
