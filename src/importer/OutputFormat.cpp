#include "OutputFormat.h"

#include "ImportError.h"

namespace qzimport {

std::vector<std::string> OutputFormat::CheckOutputs(const std::string&, const std::string&,
                                                    const OutputOptions&, const ExportStreamInfo&) const {
    throw ImportError("the " + Name() + " format has no check of its outputs", CUFailureKind::kUsage);
}

}  // namespace qzimport
