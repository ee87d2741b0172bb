#pragma once
// The movie output formats of an export, by name: "mov" (ID.mov) and "mxf"
// (ID.mxf, OP1a), both written through libavformat. The export command asks
// here for every name but "es", which the importer writes itself.
// Thread safe: the formats hold no state of an export.
#include "OutputFormat.h"

#include <memory>
#include <string>
#include <vector>

namespace qzrewrap {

// The format of that name; null for a name this layer does not write.
std::unique_ptr<qzimport::OutputFormat> OutputFormatNamed(const std::string& name);
// The names OutputFormatNamed knows, for the command's help text.
std::vector<std::string> OutputFormatNames();

}  // namespace qzrewrap
