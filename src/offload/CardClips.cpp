#include "CardClips.h"

#include "CFBCCardFolder.h"
#include "CFBCClip.h"
#include "CFBCContent.h"
#include "CUArray.h"
#include "CUStringMac.h"
#include "OffloadError.h"

namespace qzoffload {

using namespace ComVantoVantoQZ64RADPlug;

CardClips CardClips::Of(const std::string& folder) {
    std::string refusal;
    CUSharedPtr<CFBCContent> content = CFBCCardFolder::Open(folder, &refusal);
    if (!content) throw OffloadError(refusal, CUFailureKind::kNotACard);
    CardClips card;
    CUSharedPtr<CUArray> list = content->ClipList();
    for (size_t i = 0; list && i < list->Count(); ++i) {
        CUSharedPtr<CFBCClip> clip = list->ObjectAtIndex(i);
        CUSharedPtr<CUStringMac> id = clip ? clip->GetClipID() : nullptr;
        card.clips.push_back(id ? id->Utf8() : std::string("?"));
    }
    card.namedFiles = CFBCCardFiles::Of(*content);
    card.content = content;
    return card;
}

}  // namespace qzoffload
