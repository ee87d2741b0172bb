#pragma once
// Every file a copy of a card must hold, as one listing taken before
// copying or checking: the regular files of the card's tree (SourceTree),
// and the files its index and clips name that a whole card holds, those
// missing on the card included: a copy can never hold them, so it is
// incomplete, and says why. Sorted by path. A plain value.
#include "CardClips.h"
#include "SourceTree.h"

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace qzoffload {

struct CardFile {
    std::string relativePath;
    uint64_t size = 0;
    timespec modified{};
    // Empty when the file is on the card; else why it is not ("named by the
    // card's clip information, missing on the card").
    std::string absentReason;

    bool OnCard() const { return absentReason.empty(); }
};

struct CardFileList {
    std::string root;  // the card folder as given
    SourceTree tree;
    CardClips card;
    std::vector<CardFile> files;

    // Throws OffloadError: kNotACard when `root` is not a card, kProblems
    // when its folders cannot be listed.
    static CardFileList Of(const std::string& root);
    // The files on the card (every file less those absent).
    size_t OnCardCount() const;
};

}  // namespace qzoffload
