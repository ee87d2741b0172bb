// qzcard-media.so: the rewrap and report layers behind MediaLayers, loaded
// by qzcard when a command asks for them.
#include "MediaLayers.h"

#include "OutputFormatNamed.h"
#include "PictureDecodeCheck.h"
#include "ProxyFormat.h"

namespace {

class LinkedMediaLayers : public qzcard::MediaLayers {
public:
    std::unique_ptr<qzimport::OutputFormat> OutputFormatNamed(const std::string& name) const override {
        if (name == "proxy") return std::make_unique<qzproxy::ProxyFormat>();
        return qzrewrap::OutputFormatNamed(name);
    }
    std::unique_ptr<qzimport::PictureObserver> PictureDecodeCheck() const override {
        return std::make_unique<qzreport::PictureDecodeCheck>();
    }
    qzreport::ReportResult WriteReport(const qzreport::ReportOptions& options) const override {
        return qzreport::CardReport::Write(options);
    }
    std::string WriteCatalogPage(const qzcatalog::CatalogState& state, const std::string& folder,
                                 int64_t now) const override {
        return qzreport::CatalogPage::Write(state, folder, now);
    }
};

}  // namespace

extern "C" __attribute__((visibility("default"))) const qzcard::MediaLayers* QzcardMediaLayers() {
    static const LinkedMediaLayers layers;
    return &layers;
}
