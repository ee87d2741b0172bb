#pragma once
// A folder read as a card: the clip IDs its media index lists, in index
// order, and the files its index and clips name (CFBCCardFiles), or why the
// folder is not a card. Reading never writes to the folder. A plain value.
#include "CFBCCardFiles.h"
#include "CFBCContent.h"

#include <string>
#include <vector>

namespace qzoffload {

struct CardClips {
    std::vector<std::string> clips;
    std::vector<ComVantoVantoQZ64RADPlug::CFBCNamedFile> namedFiles;
    // The card as it was opened, so that what runs after the copy (the
    // catalog's recording) need not read its index and clips again.
    ComVantoVantoQZ64RADPlug::CUSharedPtr<ComVantoVantoQZ64RADPlug::CFBCContent> content;

    // Throws OffloadError (kNotACard) with CFBCCardFolder::Open's refusal
    // when `folder` is not a card.
    static CardClips Of(const std::string& folder);
};

}  // namespace qzoffload
