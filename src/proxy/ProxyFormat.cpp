#include "ProxyFormat.h"

#include "ImportError.h"
#include "ProxyFilterChain.h"
#include "ProxyPicture.h"
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

void ProxyFormat::CheckOptions(const qzimport::OutputOptions& options) const {
    if (!options.proxyLut.empty()) ProxyFilterChain::CheckLut(options.proxyLut);
    if (!options.proxyBurnIn.empty()) ProxyFilterChain::FontFile();
}

std::string ProxyFormat::RefusedPicture(const qzimport::OutputOptions& options, uint32_t width,
                                        uint32_t height) const {
    qzimport::ExportStreamInfo stream;
    stream.width = width;
    stream.height = height;
    try {
        PlanProxyPicture(options, stream);
    } catch (const qzimport::ImportError& e) {
        return e.what();
    }
    return std::string();
}

std::vector<std::string> ProxyFormat::CheckOutputs(const std::string& folder, const std::string& baseName,
                                                   const qzimport::OutputOptions& options,
                                                   const qzimport::ExportStreamInfo& stream) const {
    return ProxyRelinkCheck::Compare(folder + "/" + baseName + ".mov", stream, options);
}

}  // namespace qzproxy
