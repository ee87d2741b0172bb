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

class PluginHost;

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

// What the plug-in tells `host` about clip `clipID` (any letter case) of the
// card at `folder`: PluginClipProperties of the first descriptor of that
// name its volume offers, then hostVersion (as `host` announced it) and
// targetFormats. Throws ImportError: kNotACard, "the plug-in makes no
// volume of <folder>"; kProblems, "the plug-in does not offer <clipID>".
nlohmann::ordered_json PluginClipView(PluginHost& host, const std::string& folder, const std::string& clipID,
                                      const std::string& hostVersion);

}  // namespace qzimport
