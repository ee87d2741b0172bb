#pragma once
// The state of each clip of a card as the import sees it ("ready",
// "damaged", "missing files" ...) and why, and why a clip's frames could not
// be read. Stateless: any thread that may read the card.
#include "CFBCContent.h"

#include <cstddef>
#include <string>

namespace ComVantoVantoQZ64RADPlug {
class FBCMovieStream;
}  // namespace ComVantoVantoQZ64RADPlug

namespace qzimport {

// "ready", or the state of clip `index` of the card's clip list that keeps
// it from being imported: "missing files", "damaged" (its files are there
// but the clip's checks found one the import cannot read), "unsupported",
// "invalid", "check failed (0x...)".
std::string ClipStateText(const ComVantoVantoQZ64RADPlug::CFBCContent& content, size_t index);
// Why the clip is in that state (which file is missing, what is damaged and
// where); empty for a ready clip.
std::string ClipStateReason(const ComVantoVantoQZ64RADPlug::CFBCContent& content, size_t index);
// Why the movie's last step failed, as its last failure describes it;
// `fallback` when it recorded none.
std::string MovieFailure(const ComVantoVantoQZ64RADPlug::FBCMovieStream& movie, const std::string& fallback);

}  // namespace qzimport
