#pragma once
// Builds a clip's metadata document (.XML): root "VideoClip" in the maker's
// namespace, then Title, Creator, Description, Device and Location in schema
// order. Pure function of the description; safe from any thread.
#include "ClipDescription.h"

#include <string>
#include <vector>

namespace ComVantoVantoQZ64RADPlug::CardWriter {

// UTF-8 text of the document (or the description's raw document as given).
std::string BuildClipXml(const ClipDescription& clip);

// Firmware components as the XML and the clip information reader show them:
// the first as "%d", each further one as ".%02d"; stops at 255.
std::string FirmwareVersionText(const std::vector<uint8_t>& components);

}  // namespace ComVantoVantoQZ64RADPlug::CardWriter
