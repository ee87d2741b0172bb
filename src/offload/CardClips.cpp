#include "CardClips.h"

#include "CFBCClip.h"
#include "CFBCContent.h"
#include "CUArray.h"
#include "CUStringMac.h"
#include "OffloadError.h"

namespace qzoffload {

using namespace ComVantoVantoQZ64RADPlug;

CardClips CardClips::Of(const std::string& folder) {
    CUSharedPtr<CFBCContent> content = CFBCContent::Create(CUStringMac::Create(folder.c_str()),
                                                           CUStringMac::Create(""), kContentsMediaTypeCard);
    const std::string index =
        std::string(kContentsFolderName) + "/" + kClipsFolderName + "/" + kMediaIndexFileName;
    if (!content)
        throw OffloadError(folder + " is not a card: no readable media index " + index,
                           CUFailureKind::kNotACard);
    switch (content->ContentState()) {
        case kContentStateReady:
            break;
        case kContentStateUnsupported:
            throw OffloadError(folder + " is not a card: unsupported media index version",
                               CUFailureKind::kNotACard);
        case kContentStateBadSystem:
            throw OffloadError(folder + " is not a card: frame-rate type not allowed",
                               CUFailureKind::kNotACard);
        default:
            throw OffloadError(folder + " is not a card: the media index " + index + " has no media metadata",
                               CUFailureKind::kNotACard);
    }
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
