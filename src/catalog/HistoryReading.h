#pragma once
// The copies one ASC MHL history vouches for, read for the catalog (the
// history is only read): for every file its newest entry (original,
// verified or failed, with its hashes and generation), the volume the copy
// lies on, and which card each file is a copy of: the history's folder
// when it is a card, else each card folder inside it (opened as a card to
// learn its medium), the rest as a copy of something that is not a card,
// known by where it lies. qzcard's histories and other tools' alike (any
// process, several generations and hash formats). One thread.
#include "CatalogRecords.h"
#include "MhlHistory.h"

#include <optional>
#include <string>
#include <vector>

namespace qzcatalog {

class HistoryReading {
public:
    // One CopiesSeen per card found; none for a folder without a history.
    // Throws CatalogError (kProblems) for a history its chain refuses or a
    // folder whose volume cannot be told.
    static std::vector<CopiesSeen> Read(const std::string& folder, int64_t seenAt);
    // As Read(), of the history the caller loaded from `folder`; when
    // `folderCard` is given, the folder is a copy of that card (its medium
    // and clips; an offload that has just written the copy from the card it
    // read knows it) and is not opened again to learn so.
    static std::vector<CopiesSeen> Read(const std::string& folder, const qzoffload::MhlHistory& history,
                                        const std::optional<CardSeen>& folderCard, int64_t seenAt);
};

}  // namespace qzcatalog
