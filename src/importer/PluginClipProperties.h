#pragma once
// What the plug-in tells a host about a clip (the clip descriptor's
// properties) and about the formats it may transcode to, as JSON and as
// "name  value" lines, for `clip` and the export record.
#include "MIORADClipDataSourceProtocol.h"
#include "MIORADPlugin.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>

namespace qzimport {

// "qzz1" of a FourCC; the decimal number when it is not four printable
// characters (-1 ends the target format list).
std::string FourCCText(int64_t code);

// The descriptor's properties by message name (clipID as clipId); nil
// answers are null. The host dates (creationDate, lastChangeDate: seconds
// since 1970-01-01 UTC) are followed by their ISO 8601 texts
// (creationDateText, lastChangeDateText), and videoDataSize, a byte count
// the host takes as a double, is rounded to whole bytes.
nlohmann::ordered_json PluginClipProperties(ComVantoVantoQZ64RADPlug::MIORADClipDataSourceProtocol& clip);
// The principal's target formats, as the property list it returns.
nlohmann::ordered_json PluginTargetFormats(ComVantoVantoQZ64RADPlug::MIORADPlugin& plugin);

}  // namespace qzimport
