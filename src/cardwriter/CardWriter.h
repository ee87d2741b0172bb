#pragma once
// Writes a complete QZ card (CONTENTS/CLIPS001 with INDEX.MIF and one folder
// per clip: .CIF, .XML and member MXF files) from a CardDescription.
// Reentrant: concurrent calls on different folders are independent.
#include "CardDescription.h"
#include "MxfFileWriter.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace ComVantoVantoQZ64RADPlug::CardWriter {

// Thrown for a description that cannot be written (e.g. member frame counts
// that do not add up, a rate without essence rules) or a file-system error.
class CardWriterError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Writes the card under `folder` (created if missing; existing card files
// are replaced). Returns, per clip in description order, the layouts of its
// member MXF files (none for a clip written without them). Throws
// CardWriterError.
std::vector<std::vector<MxfFileLayout>> WriteCard(const CardDescription& card, const std::string& folder);

// Paths of the layout, relative to the card root.
std::string ClipsFolderPath(const std::string& cardRoot);                   // root/CONTENTS/CLIPS001
std::string MediaIndexPath(const std::string& cardRoot);                    // .../INDEX.MIF
std::string ClipFolderPath(const std::string& cardRoot, const ClipId& id);  // .../<clip ID>
std::string ClipFilePath(const std::string& cardRoot, const ClipId& id, const std::string& extension);
std::string MemberMxfPath(const std::string& cardRoot, const ClipId& id, uint32_t memberNumber);

}  // namespace ComVantoVantoQZ64RADPlug::CardWriter
