#include "CardCheck.h"

#include "HostEventCycle.h"
#include "PictureDecodeCheck.h"
#include "ProblemRanges.h"

#include <optional>
#include <vector>

namespace qzreport {

using namespace ComVantoVantoQZ64RADPlug;

OfferedClips OfferedClips::Of(qzimport::PluginHost& host, const std::string& folder) {
    OfferedClips offered;
    offered.volume = host.PathIsValidVolume(folder) ? host.VolumeWithPath(folder) : nullptr;
    if (!offered.volume) return offered;
    for (const auto& clip : host.Clips(offered.volume)) {
        const std::optional<std::string> name = clip ? clip->name() : std::nullopt;
        if (name && !offered.clips.count(*name)) offered.clips[*name] = clip;
    }
    return offered;
}

CardCheck::CardCheck(uint64_t totalFrames, std::function<void(const std::string&)> progress)
    : m_progress(totalFrames, std::move(progress)) {}

void CardCheck::Open(const std::string& folder, const OfferedClips& offered) {
    m_folder = folder;
    m_offered = &offered;
}

ClipCheck CardCheck::Verify(CFBCClip& clip, const std::string& clipID, uint64_t frames,
                            const std::string& state, const std::string& stateReason) {
    HostEventCycle cycle;
    static const OfferedClips kNone;
    const OfferedClips& offered = m_offered ? *m_offered : kNone;
    const auto found = offered.clips.find(clipID);
    PictureDecodeCheck decoding;
    m_progress.StartClip(m_folder, clipID, frames);
    const std::unique_ptr<qzimport::PictureObserver> observer = m_progress.Watching(&decoding);
    ClipCheck check;
    check.verification = qzimport::ClipVerifier::Verify(
        found == offered.clips.end() ? nullptr : found->second.get(), clip, observer.get());
    if (found == offered.clips.end())
        check.verification.problems.insert(check.verification.problems.begin(),
                                           {-1, std::string(), "offered",
                                            "the plug-in does not offer it (" + state +
                                                (stateReason.empty() ? "" : ": " + stateReason) + ")"});
    // Counted and shown as `verify` does: one problem over a run of frames.
    check.verification.problems = qzimport::FoldFrameRanges(std::move(check.verification.problems));
    check.picturesDecoded = decoding.PicturesChecked();
    return check;
}

}  // namespace qzreport
