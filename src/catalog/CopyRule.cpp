#include "CopyRule.h"

namespace qzcatalog {

CopyVerdict CopyRule::Judge(const CardFileFacts& file, const CopyFacts& copy, bool needCardHash) {
    if (copy.action == qzoffload::HashAction::kFailed) return CopyVerdict::kFailed;
    // A check of the same second as the entry came after it: an entry is
    // written before any check can read it.
    if (copy.foundChangedAt && *copy.foundChangedAt >= copy.vouchedAt) return CopyVerdict::kFoundChanged;
    if (file.size && copy.size && *file.size != *copy.size) return CopyVerdict::kOtherSize;
    bool compared = false;
    for (const auto& [format, value] : copy.hashes) {
        const auto card = file.hashes.find(format);
        if (card == file.hashes.end()) continue;
        if (card->second != value) return CopyVerdict::kHashDiffers;
        compared = true;
    }
    if (!compared && needCardHash) return CopyVerdict::kNoHashToCompare;
    return CopyVerdict::kCounts;
}

const char* CopyRule::Describe(CopyVerdict verdict) {
    switch (verdict) {
        case CopyVerdict::kFailed:
            return "failed";
        case CopyVerdict::kFoundChanged:
            return "found changed by a check";
        case CopyVerdict::kOtherSize:
            return "another size";
        case CopyVerdict::kHashDiffers:
            return "hash differs";
        case CopyVerdict::kNoHashToCompare:
            return "no hash of the card file to compare";
        case CopyVerdict::kOnTheCardsVolume:
            return "on the card's own volume";
        case CopyVerdict::kCounts:
            break;
    }
    return "counts";
}

const char* CopyRule::Key(CopyVerdict verdict) {
    switch (verdict) {
        case CopyVerdict::kFailed:
            return "failed";
        case CopyVerdict::kFoundChanged:
            return "foundChanged";
        case CopyVerdict::kOtherSize:
            return "otherSize";
        case CopyVerdict::kHashDiffers:
            return "hashDiffers";
        case CopyVerdict::kNoHashToCompare:
            return "noHashToCompare";
        case CopyVerdict::kOnTheCardsVolume:
            return "onTheCardsVolume";
        case CopyVerdict::kCounts:
            break;
    }
    return "counts";
}

}  // namespace qzcatalog
