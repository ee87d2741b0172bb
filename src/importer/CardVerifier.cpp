#include "CardVerifier.h"

#include "CFBCClip.h"
#include "CUArray.h"
#include "CUStringMac.h"
#include "CardOpening.h"
#include "ClipStates.h"
#include "PluginHost.h"
#include "ProblemRanges.h"

#include <algorithm>

namespace qzimport {

using namespace ComVantoVantoQZ64RADPlug;

std::vector<std::string> CardVerifier::ClipsToVerify(const CFBCContent& content, const std::string& folder,
                                                     const std::vector<std::string>& named) {
    std::vector<std::string> wanted;
    if (named.empty()) {
        CUSharedPtr<CUArray> clips = content.ClipList();
        for (size_t i = 0; clips && i < clips->Count(); ++i) {
            CUSharedPtr<CFBCClip> clip = clips->ObjectAtIndex(i);
            CUSharedPtr<CUStringMac> id = clip ? clip->GetClipID() : nullptr;
            if (id) wanted.push_back(id->Utf8());
        }
    }
    for (const std::string& name : named) {
        CUSharedPtr<CUStringMac> id = FindClip(content, folder, name)->GetClipID();
        if (id && std::find(wanted.begin(), wanted.end(), id->Utf8()) == wanted.end())
            wanted.push_back(id->Utf8());
    }
    return wanted;
}

CardVerifier::CardVerifier(PluginHost& host, CUSharedPtr<CFBCContent> content, const std::string& folder)
    : m_content(std::move(content)), m_folder(folder), m_volume(host.CardVolume(folder)) {
    for (const NamedClip& clip : host.NamedClips(m_volume))
        if (!m_offered.count(clip.name)) m_offered[clip.name] = clip.descriptor;
}

ClipVerification CardVerifier::Verify(const std::string& clipID, PictureObserver* observer) {
    size_t index = 0;
    CUSharedPtr<CFBCClip> clip = FindClip(*m_content, m_folder, clipID, &index);
    const auto found = m_offered.find(clipID);
    ClipVerification result =
        ClipVerifier::Verify(found == m_offered.end() ? nullptr : found->second.get(), *clip, observer);
    if (found == m_offered.end()) {
        const std::string reason = ClipStateReason(*m_content, index);
        result.problems.insert(result.problems.begin(),
                               {-1, std::string(), "offered",
                                "the plug-in does not offer it (" + ClipStateText(*m_content, index) +
                                    (reason.empty() ? "" : ": " + reason) + ")"});
    }
    result.problems = FoldFrameRanges(std::move(result.problems));
    return result;
}

}  // namespace qzimport
