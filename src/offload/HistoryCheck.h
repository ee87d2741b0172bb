#pragma once
// Checks a copy against its ASC MHL history, and against the card it copies
// when that is given: every file the history vouches for (its newest
// original or verified hashes) is read from the drive and re-hashed in those
// formats; files changed or missing, files the history does not vouch for,
// and the card's files the copy does not hold verified are reported (the
// card's files come from the card given, else from the history's own
// record of them, or the journal of an offload that did not finish). With a
// card, each of its files must be vouched for with the card file's size and
// modification time. A generation with the results (verified or failed,
// process "in-place", and the card's files) is appended. A history whose
// chain does not match its generation files is refused (OffloadError,
// kProblems) and nothing is written. Run() is called by one thread.
#include "CardFileList.h"
#include "Offload.h"
#include "OffloadReport.h"

#include <cstdint>
#include <functional>
#include <string>

namespace qzoffload {

struct CheckOptions {
    std::string folder;
    double waitSeconds = 0;
    MhlCreator creator;
    // Told after each file read back: its path and size, the bytes of the
    // copy read so far and the bytes there are to read (may be empty).
    std::function<void(const std::string& path, uint64_t size, uint64_t done, uint64_t total)> progress;
};

class HistoryCheck {
public:
    // `card`: the card to compare with (CardFileList::Of), or null for none.
    static CheckReport Run(const CheckOptions& options, const CardFileList* card = nullptr);
};

}  // namespace qzoffload
