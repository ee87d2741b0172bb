#pragma once
// A folder read as a card: the clip IDs its media index lists, in index
// order, or why the folder is not a card. Reading never writes to the folder.
#include <string>
#include <vector>

namespace qzoffload {

class CardClips {
public:
    // Throws OffloadError (kNotACard) with the reason when `folder` is not a card.
    static std::vector<std::string> Of(const std::string& folder);
};

}  // namespace qzoffload
