#pragma once
// Whether one copy of a card file counts towards the file's safe copies,
// and if not why: the one rule both `erasable` (judging the card as it is
// now) and the safe-volume counts the catalog keeps for `lacking` apply.
// A copy counts when the newest entry of its history vouches for it
// (original or verified, never failed), no check since found it changed or
// missing, it has the card file's size, and its hashes equal the card
// file's in every format both know. `erasable` also needs one such format;
// the kept counts take a copy whose card file has no known hash on its
// history's word. Pure functions.
#include "HashFormat.h"
#include "HashList.h"
#include "HashSet.h"

#include <cstdint>
#include <optional>

namespace qzcatalog {

enum class CopyVerdict {
    kCounts,
    kFailed,            // the newest entry of its history failed
    kFoundChanged,      // a check found it changed or missing since
    kOtherSize,         // it is not the size the card file has
    kHashDiffers,       // a hash differs from the card file's
    kNoHashToCompare,   // no hash of the card file in a format the copy has
    kOnTheCardsVolume,  // it lies on the volume of the card itself, erased with it
};

struct CopyFacts {
    qzoffload::HashAction action = qzoffload::HashAction::kOriginal;
    std::optional<int64_t> size;
    qzoffload::FileHashes hashes;
    int64_t vouchedAt = 0;
    // The latest check that found it changed or missing, unless a later one found it clean.
    std::optional<int64_t> foundChangedAt;
};

struct CardFileFacts {
    std::optional<int64_t> size;
    qzoffload::FileHashes hashes;  // of the file as it is; empty when none is known
};

class CopyRule {
public:
    static CopyVerdict Judge(const CardFileFacts& file, const CopyFacts& copy, bool needCardHash);
    // "counts", "failed", "found changed by a check", "another size",
    // "hash differs", "no hash of the card file to compare", "on the card's own volume".
    static const char* Describe(CopyVerdict verdict);
    // The same as a JSON key: "counts", "failed", "foundChanged", "otherSize",
    // "hashDiffers", "noHashToCompare", "onTheCardsVolume".
    static const char* Key(CopyVerdict verdict);
};

}  // namespace qzcatalog
