#pragma once
// What the coded clip values mean: the name of each code that the card
// format defines for the enumerated clip value tags (frame rate, picture
// size, video and audio type, channels, sampling, recording rate and mode,
// interval unit, the clip attributes, white balance accuracy, infrared,
// gamma kind, relay type, position types). Pure functions: any thread.
#include "CUObject.h"
#include "CUSharedPtr.h"
#include "FBCClipValueTag.h"

#include <string>

namespace qzimport {

// What `value` of `tag` means: "59.94i" for FrameRate 1, "4 channels" for
// AudioChannel 2, "E" for LongitudeType 2; "unknown code" for a code the
// card format does not name, "not recorded" for a field the information
// block leaves unread. Empty for a tag whose values are not codes of the
// card format (numbers, texts, timecodes, and the camera's own exposure,
// white balance and gamma curve codes, which it does not name), and for a
// missing value.
std::string ClipValueMeaning(
    ComVantoVantoQZ64RADPlug::_ClipValueTag tag,
    const ComVantoVantoQZ64RADPlug::CUSharedPtr<ComVantoVantoQZ64RADPlug::CUObject>& value);

}  // namespace qzimport
