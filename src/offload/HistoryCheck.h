#pragma once
// Checks a copy against its ASC MHL history: every file the history vouches
// for (its newest original or verified hashes) is read from the drive and
// re-hashed in those formats; files changed or missing, and files the
// history does not vouch for, are reported; a generation with the results
// (verified or failed, process "in-place") is appended. A history whose
// chain does not match its generation files is refused (OffloadError,
// kProblems) and nothing is written. Run() is called by one thread.
#include "Offload.h"
#include "OffloadReport.h"

#include <string>

namespace qzoffload {

struct CheckOptions {
    std::string folder;
    double waitSeconds = 0;
    MhlCreator creator;
};

class HistoryCheck {
public:
    static CheckReport Run(const CheckOptions& options);
};

}  // namespace qzoffload
