#pragma once
// What a card's clips folder holds that its media index does not account
// for: clip folders that no index entry names, and files (or folders) in
// clip folders that no clip of the index names. A card whose index was
// rewritten for fewer clips still holds the other clips' folders; an import
// would never see them. Reads folder listings only, never a file's bytes;
// never writes. Call from one thread.
#include "CFBCContent.h"

#include <string>
#include <vector>

namespace qzimport {

struct UnlistedEntry {
    std::string path;  // relative to the card root: "CONTENTS/CLIPS001/QZ0003"
    bool folder = false;
    std::string what;  // "a clip folder the index does not list", ...
};

// Every unlisted entry of the card, in name order. With `onlyClips` (clip
// IDs, any letter case) only those clips' folders are looked in, and other
// folders of the clips folder are not reported.
std::vector<UnlistedEntry> FindUnlisted(const ComVantoVantoQZ64RADPlug::CFBCContent& content,
                                        const std::vector<std::string>& onlyClips = {});

}  // namespace qzimport
