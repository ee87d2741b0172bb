#pragma once
// Whether a folder is a card, and if not why: the one explanation every
// command gives for a folder it cannot read as a card (a file, a folder
// inside a card, a folder whose media index is missing, unreadable or of a
// kind not read). Reads, never writes. Stateless: any thread.
#include "CFBCContent.h"
#include "CUSharedPtr.h"

#include <string>

namespace ComVantoVantoQZ64RADPlug {

class CFBCCardFolder {
public:
    // The card at `folder`, opened for reading; null with `*refusal` set to
    // the whole sentence when it is not one: "<folder> is a file; the card
    // is the folder that holds CONTENTS", "<folder> lies inside the card
    // <root>; give <root>", or "<folder> is not a card: <reason>".
    static CUSharedPtr<CFBCContent> Open(const std::string& folder, std::string* refusal);
    // The first two of Open's refusals, told from the folders alone without
    // reading the media index; empty when neither applies.
    static std::string LayoutRefusal(const std::string& folder);
    // Why the folder is not a card ("no such folder", "no media index
    // CONTENTS/CLIPS001/INDEX.MIF", what stops the index being read, an
    // unsupported version ...); empty when it is one. `content` is what
    // CFBCContent::Create gave for it (may be null).
    static std::string NotACardReason(const std::string& folder, const CUSharedPtr<CFBCContent>& content);
    // The card root above `path` (a folder holding CONTENTS/CLIPS001/INDEX.MIF,
    // the path itself excluded), as `path` spells it; empty when there is none.
    static std::string EnclosingCardRoot(const std::string& path);
};

}  // namespace ComVantoVantoQZ64RADPlug
