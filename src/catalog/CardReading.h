#pragma once
// A card folder read for the catalog, never written: its medium, the
// volume it lies on, its clips
// with their values and relay links, and every file it holds now (as an
// offload would copy it), each with its size and time and, when formats
// are asked for, its hashes read from the drive. Also used to tell which
// card a copy holds. One thread.
#include "CFBCContent.h"
#include "CatalogRecords.h"
#include "HashFormat.h"

#include <optional>
#include <string>
#include <vector>

namespace qzcatalog {

class CardReading {
public:
    // The card at `folder` with its clips and files. Throws CatalogError:
    // kNotACard (why not), kProblems when a file cannot be listed or read.
    static CardSeen Read(const std::string& folder, const std::vector<qzoffload::HashFormat>& formats,
                         int64_t seenAt);
    // As Read(), of the card `content` the caller opened at `folder`, so that
    // a command that has read the card does not open it again.
    static CardSeen Read(
        const std::string& folder,
        const ComVantoVantoQZ64RADPlug::CUSharedPtr<ComVantoVantoQZ64RADPlug::CFBCContent>& content,
        const std::vector<qzoffload::HashFormat>& formats, int64_t seenAt);
    // The card at `folder`, its medium and files (no clips, no hashes).
    // Throws as Read().
    static CardSeen ReadFiles(const std::string& folder, int64_t seenAt);
    // The card at `folder`, its medium and clips only; nothing when the
    // folder is not a card.
    static std::optional<CardSeen> Identify(const std::string& folder, int64_t seenAt);
    // The clip whose folder holds `relativePath` ("CONTENTS/CLIPS001/QZ0001/
    // QZ000101.MXF": "QZ0001"); nothing for the card's other files.
    static std::optional<std::string> ClipOfPath(const std::string& relativePath);
};

}  // namespace qzcatalog
