#pragma once
// Progress of a check that walks every frame of a card's clips (`verify
// --progress`, `report --check --progress`): at its first frame, then at
// most once a second, one line, "checking card QZ0002: frame 1200 of 3000, 372 frames/s, 0:09
// left", the time left for every clip of the check. Used by the verifying
// thread only.
#include "CUProgressPace.h"
#include "ClipVerifier.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace qzimport {

class CheckProgress {
public:
    // `totalFrames`: the frames of every clip to check; `say` gets each
    // line (may be empty: nothing is said).
    CheckProgress(uint64_t totalFrames, std::function<void(const std::string&)> say);

    // The check of clip `clipID` of the card at `folder`, of `frames`
    // frames, begins; the clip before it is then done.
    void StartClip(const std::string& folder, const std::string& clipID, uint64_t frames);
    // The walk has reached frame `frame` (from 0) of the clip.
    void Frame(int64_t frame);
    // An observer handing every picture on to `inner` (when given) and
    // telling Frame; valid while `inner` and this object are.
    std::unique_ptr<PictureObserver> Watching(PictureObserver* inner);

private:
    std::function<void(const std::string&)> m_say;
    uint64_t m_totalFrames = 0;
    uint64_t m_framesBefore = 0;  // frames of the clips checked before this one
    uint64_t m_clipFrames = 0;
    bool m_saidAny = false;
    std::string m_where;  // "card QZ0002"
    ComVantoVantoQZ64RADPlug::CUProgressPace m_pace;
};

}  // namespace qzimport
