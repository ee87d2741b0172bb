#pragma once
// `erasable CARD`: may the card be erased? Yes only when every file the
// card holds now (as an offload would copy it) has copies that count
// (CopyRule, needing a hash of the card file to compare) on at least the
// number of volumes asked for. The card file's hashes are those the catalog
// holds for its present size and time, or with `rehash` its bytes hashed
// now in the formats its copies carry; without `rehash` a file whose size
// or time differs from what the catalog knows of it has changed since.
// A copy on the card's own volume never counts: it goes with the card.
// Every file short of copies is named with why. The card is only read.
// One thread.
#include "Catalog.h"
#include "CopyRule.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qzcatalog {

struct ErasableCopy {
    std::string volumeKey;
    std::optional<std::string> volumeLabel;
    std::optional<std::string> mountPoint;
    std::string path;  // on the volume
    std::string action;
    CopyVerdict verdict = CopyVerdict::kCounts;
};

// Why a file is short of copies.
enum class ShortReason { kMissing, kChangedSince, kTooFewVolumes, kCopyRefused };

struct ErasableFile {
    std::string path;
    int64_t size = 0;
    size_t volumes = 0;  // volumes holding a copy that counts
    std::vector<ShortReason> reasons;
    std::vector<ErasableCopy> copies;
};

struct ErasableAnswer {
    std::string card;  // the folder as given
    std::string mediumId;
    int64_t copiesNeeded = 2;
    bool rehashed = false;
    size_t files = 0;
    std::vector<ErasableFile> shortFiles;  // in path order

    bool Erasable() const { return shortFiles.empty(); }
};

class ErasableQuestion {
public:
    // Throws CatalogError: kNotACard, kProblems (a card file that cannot
    // be read), kSetup (the catalog).
    static ErasableAnswer Ask(Catalog& catalog, const std::string& folder, int64_t copies, bool rehash);
    // "missing", "changedSince", "tooFewVolumes", "copyRefused".
    static const char* Key(ShortReason reason);
};

}  // namespace qzcatalog
