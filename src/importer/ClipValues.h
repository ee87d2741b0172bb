#pragma once
// Every value of a clip by tag name, as `clip` shows it and the export
// record carries it: each raw value, and beside each coded value what it
// means (ClipValueMeaning). Reads the clip under its own lock, one value at
// a time; call from one thread per clip.
#include "CFBCClip.h"
#include "FBCClipValueTag.h"

#include <nlohmann/json.hpp>

#include <string>

namespace qzimport {

// {"values": {tag name: raw value (ValueJson), ... every tag in tag order},
//  "valueTexts": {tag name: meaning, ... the coded values that have one}}.
nlohmann::ordered_json ClipValuesJson(ComVantoVantoQZ64RADPlug::CFBCClip& clip);

// One value for a line of text: the raw value, then its meaning in
// brackets ("1 (59.94i)"), escaped with TableCell; "-" when missing.
std::string ClipValueLine(ComVantoVantoQZ64RADPlug::CFBCClip& clip,
                          ComVantoVantoQZ64RADPlug::_ClipValueTag tag);

}  // namespace qzimport
