#include "ProxyFormat.h"

#include "ProxyRelinkCheck.h"
#include "ProxyWriter.h"

namespace qzproxy {

std::vector<std::string> ProxyFormat::FileNames(const std::string& baseName, const qzimport::OutputOptions&,
                                                uint32_t) const {
    return {baseName + ".mov"};
}

std::unique_ptr<qzimport::OutputWriter> ProxyFormat::CreateWriter(
    const std::string& folder, const std::string& baseName, const qzimport::OutputOptions& options) const {
    return std::make_unique<ProxyWriter>(folder + "/" + baseName + ".mov", options);
}

std::vector<std::string> ProxyFormat::CheckOutputs(const std::string& folder, const std::string& baseName,
                                                   const qzimport::OutputOptions& options,
                                                   const qzimport::ExportStreamInfo& stream) const {
    return ProxyRelinkCheck::Compare(folder + "/" + baseName + ".mov", stream, options);
}

}  // namespace qzproxy
