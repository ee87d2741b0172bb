#pragma once
// The layers that link the media libraries (libavformat, libavcodec,
// libswscale): rewrap, for mov and mxf exports, and report, for the report
// and verify --decode's picture check and the catalog's page. They are built into the module
// qzcard-media.so, which the command registry loads the first time a
// command asks for them (LoadMediaLayers), so that every command that needs
// none of them starts without those libraries. The module holds these two
// layers alone: every layer below them is the executable's own (qzcard
// exports its symbols to the module), so there is one copy of each, of its
// state and of its types. Thread safe: the layers hold no state of a command.
#include "CardReport.h"
#include "CatalogPage.h"
#include "ClipVerifier.h"
#include "OutputFormat.h"

#include <cstdint>
#include <memory>
#include <string>

namespace qzcard {

class MediaLayers {
public:
    virtual ~MediaLayers() = default;

    // The mov, mxf or proxy output format; null for a name the layers do not write.
    virtual std::unique_ptr<qzimport::OutputFormat> OutputFormatNamed(const std::string& name) const = 0;
    // verify --decode's check of one clip's pictures. Throws
    // qzreport::ReportError when the decoder cannot be opened.
    virtual std::unique_ptr<qzimport::PictureObserver> PictureDecodeCheck() const = 0;
    // The report of qzreport::CardReport::Write, with its exceptions.
    virtual qzreport::ReportResult WriteReport(const qzreport::ReportOptions& options) const = 0;
    // qzreport::CatalogPage::Write, with its exceptions.
    virtual std::string WriteCatalogPage(const qzcatalog::CatalogState& state, const std::string& folder,
                                         int64_t now) const = 0;
};

// The module's one entry point: its MediaLayers, which lives as long as the
// process.
using MediaLayersEntry = const MediaLayers* (*)();
constexpr const char* kMediaLayersEntry = "QzcardMediaLayers";
constexpr const char* kMediaModuleName = "qzcard-media.so";

// The media layers, loading their module on the first call. Throws
// qzimport::ImportError (kSetup) saying why when it cannot be loaded.
const MediaLayers& LoadMediaLayers();

}  // namespace qzcard
