#pragma once
// A card checked clip by clip as `verify` does it: which clips to check
// (every clip of the card, or the ones named), and each clip checked by
// ClipVerifier through the descriptor the plug-in's volume of the card
// offers for it; a clip the plug-in does not offer is a problem of its own.
// Uses the caller's PluginHost, whose event cycle the caller keeps open;
// one thread.
#include "CFBCContent.h"
#include "CUSharedPtr.h"
#include "ClipVerifier.h"
#include "MIORADClipDataSourceProtocol.h"
#include "MIORADVolumeDataSourceProtocol.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace qzimport {

class PluginHost;

class CardVerifier {
public:
    // The clip IDs to verify on the card at `folder`: with no `named` clip
    // every clip of the card in card order (so that one the plug-in leaves
    // out is found too), else the named ones by their own IDs, whatever the
    // letter case, each once. Throws ImportError (kNoSuchClip) for a named
    // clip the card lacks.
    static std::vector<std::string> ClipsToVerify(const ComVantoVantoQZ64RADPlug::CFBCContent& content,
                                                  const std::string& folder,
                                                  const std::vector<std::string>& named);

    // Asks `host` for its volume of the card and the clips it offers.
    // Throws ImportError (kNotACard) when the plug-in does not take the
    // folder as a card or makes no volume of it.
    CardVerifier(PluginHost& host,
                 ComVantoVantoQZ64RADPlug::CUSharedPtr<ComVantoVantoQZ64RADPlug::CFBCContent> content,
                 const std::string& folder);

    // Clip `clipID` (its own ID) checked; one the plug-in does not offer
    // has the problem "offered" first, with the clip's state and why.
    // `observer`, when given, sees every picture (ClipVerifier::Verify).
    // The same problem at consecutive frames is one range (FoldFrameRanges).
    // Throws ImportError (kNoSuchClip) for a clip the card lacks.
    ClipVerification Verify(const std::string& clipID, PictureObserver* observer = nullptr);

private:
    ComVantoVantoQZ64RADPlug::CUSharedPtr<ComVantoVantoQZ64RADPlug::CFBCContent> m_content;
    std::string m_folder;
    std::shared_ptr<ComVantoVantoQZ64RADPlug::MIORADVolumeDataSourceProtocol> m_volume;
    // The first descriptor of each name the volume offers.
    std::map<std::string, std::shared_ptr<ComVantoVantoQZ64RADPlug::MIORADClipDataSourceProtocol>> m_offered;
};

}  // namespace qzimport
