#include "CardOpening.h"

#include "CFBCCardFolder.h"
#include "CFBCClip.h"
#include "CUArray.h"
#include "CUStringMac.h"
#include "ImportError.h"

#include <algorithm>
#include <cctype>

namespace qzimport {

using namespace ComVantoVantoQZ64RADPlug;

bool SameClipID(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) ==
                      std::toupper(static_cast<unsigned char>(y));
           });
}

CUSharedPtr<CFBCContent> OpenCard(const std::string& folder) {
    std::string refusal;
    CUSharedPtr<CFBCContent> content = CFBCCardFolder::Open(folder, &refusal);
    if (!content) throw ImportError(refusal, CUFailureKind::kNotACard);
    return content;
}

CUSharedPtr<CFBCClip> FindClip(const CFBCContent& content, const std::string& folder,
                               const std::string& clipID, size_t* index) {
    CUSharedPtr<CUArray> clips = content.ClipList();
    for (size_t i = 0; clips && i < clips->Count(); ++i) {
        CUSharedPtr<CFBCClip> candidate = clips->ObjectAtIndex(i);
        CUSharedPtr<CUStringMac> id = candidate ? candidate->GetClipID() : nullptr;
        if (id && SameClipID(id->Utf8(), clipID)) {
            if (index) *index = i;
            return candidate;
        }
    }
    throw ImportError("no clip " + clipID + " on the card " + folder, CUFailureKind::kNoSuchClip);
}

}  // namespace qzimport
