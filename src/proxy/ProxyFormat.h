#pragma once
// The export format "proxy": one ProxyWriter MOV (ID.mov, named as the MOV
// export names it, so a proxy folder relinks by name) per output set.
// Thread safe: it holds nothing.
#include "OutputFormat.h"

namespace qzproxy {

class ProxyFormat : public qzimport::OutputFormat {
public:
    std::string Name() const override { return "proxy"; }
    std::vector<std::string> FileNames(const std::string& baseName, const qzimport::OutputOptions& options,
                                       uint32_t soundTracks) const override;
    std::unique_ptr<qzimport::OutputWriter> CreateWriter(
        const std::string& folder, const std::string& baseName,
        const qzimport::OutputOptions& options) const override;
    // The LUT read by libavfilter, the burn-in's font present.
    void CheckOptions(const qzimport::OutputOptions& options) const override;
    // A size that does not divide the picture evenly.
    std::string RefusedPicture(const qzimport::OutputOptions& options, uint32_t width,
                               uint32_t height) const override;
    bool EncodesPictures() const override { return true; }
    bool ChecksOutputs() const override { return true; }
    // ProxyRelinkCheck of ID.mov.
    std::vector<std::string> CheckOutputs(const std::string& folder, const std::string& baseName,
                                          const qzimport::OutputOptions& options,
                                          const qzimport::ExportStreamInfo& stream) const override;
};

}  // namespace qzproxy
