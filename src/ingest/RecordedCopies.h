#pragma once
// Whether the copies of a card on the first destinations are already whole
// by their own records, so that a later ingest of the card need not read
// it at all: every DEST/NAME's ASC MHL history vouches for each file the
// card holds now (its newest generation lists the card's files, every one
// verified), with the size and modification time (to the second, as the
// history keeps it) the file has on the card and a hash in every format
// asked for, each copy file still there with that size, and no offload
// into the copy is unfinished. Only the card's
// folders and the copies' files are looked at (sizes and times); no file of
// the card or the copies is opened but the histories. Keeps no state; any thread.
#include "HashFormat.h"
#include "OffloadReport.h"

#include <optional>
#include <string>
#include <vector>

namespace qzingest {

class RecordedCopies {
public:
    // The report an offload keeping every file would give, or nothing when
    // any copy would have to be read or written (the offload then tells why:
    // the card is not a card, a history does not match its chain, ...).
    static std::optional<qzoffload::OffloadReport> WholeOnRecord(
        const std::string& card, const std::vector<std::string>& destinations,
        const std::vector<qzoffload::HashFormat>& formats);
};

}  // namespace qzingest
