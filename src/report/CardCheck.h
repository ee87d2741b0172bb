#pragma once
// `report --check`: each clip of a card verified through the plug-in as
// `verify --decode` runs it (every frame walked, every picture decoded), a
// clip the plug-in does not offer a problem of its own, with progress while
// the pictures are decoded. One object for the whole report; one thread.
#include "CheckProgress.h"
#include "ClipVerifier.h"
#include "MIORADClipDataSourceProtocol.h"
#include "MIORADVolumeDataSourceProtocol.h"
#include "PluginHost.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

namespace qzreport {

// The clips the plug-in offers of one card, by name (the first of each
// name), with the volume that offers them.
struct OfferedClips {
    std::shared_ptr<ComVantoVantoQZ64RADPlug::MIORADVolumeDataSourceProtocol> volume;
    std::map<std::string, std::shared_ptr<ComVantoVantoQZ64RADPlug::MIORADClipDataSourceProtocol>> clips;

    // The card at `folder` as `host` sees it; a card the plug-in does not
    // take offers no clip.
    static OfferedClips Of(qzimport::PluginHost& host, const std::string& folder);
};

struct ClipCheck {
    qzimport::ClipVerification verification;
    uint64_t picturesDecoded = 0;
};

class CardCheck {
public:
    // `totalFrames`: the frames of every clip to check, for the time left;
    // `progress` gets a line at most once a second (may be empty).
    CardCheck(uint64_t totalFrames, std::function<void(const std::string&)> progress);

    // The card at `folder` and the clips the plug-in offers of it (a clip it
    // does not offer is then a problem of its own).
    void Open(const std::string& folder, const OfferedClips& offered);

    // Clip `clip` of the card opened last, whose ID is `clipID`, of `frames`
    // frames; `state` and `stateReason` say why a clip the plug-in does not
    // offer is left out.
    ClipCheck Verify(ComVantoVantoQZ64RADPlug::CFBCClip& clip, const std::string& clipID, uint64_t frames,
                     const std::string& state, const std::string& stateReason);

private:
    std::string m_folder;
    const OfferedClips* m_offered = nullptr;
    qzimport::CheckProgress m_progress;
};

}  // namespace qzreport
