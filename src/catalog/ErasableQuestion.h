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
#include "CardTable.h"
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

// The copies of the card's files on one volume.
struct ErasableVolume {
    std::string volumeKey;
    std::optional<std::string> label;
    std::optional<std::string> mountPoint;
    size_t files = 0;   // card files with a copy there
    size_t counts = 0;  // of which a copy there counts
};

struct ErasableAnswer {
    std::string card;  // the folder as given
    std::string mediumId;
    int64_t copiesNeeded = 2;
    bool rehashed = false;
    size_t files = 0;
    std::vector<ErasableFile> shortFiles;  // in path order
    std::vector<ErasableVolume> volumes;   // every volume with a copy of a file, by key

    bool Erasable() const { return shortFiles.empty(); }
};

class ErasableQuestion {
public:
    // Throws CatalogError: kNotACard, kProblems (a card file that cannot
    // be read), kSetup (the catalog).
    static ErasableAnswer Ask(Catalog& catalog, const std::string& folder, int64_t copies, bool rehash);
    // The same question of the card as the catalog last knew it (its files
    // with the size, time and hashes recorded; the card is not read, so a
    // change since is not seen): the catalog's page, for cards that are not
    // at hand. Within the caller's transaction. `card` is named by its folder name.
    static ErasableAnswer AskKnown(Database& database, const CardRow& card, int64_t copies);
    // "missing", "changedSince", "tooFewVolumes", "copyRefused".
    static const char* Key(ShortReason reason);
    // Why the file is short, for people: "no copy", "changed since (size or
    // time)", "only 1 volume", and each copy refused with its verdict
    // ("SHUTTLE2: failed"), joined by "; ".
    static std::string Why(const ErasableFile& file);
    // A volume for people: its label, else its UUID, else its mount point.
    static std::string VolumeName(const std::string& key, const std::optional<std::string>& label,
                                  const std::optional<std::string>& mountPoint);
};

}  // namespace qzcatalog
