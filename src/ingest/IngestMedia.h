#pragma once
// The media work of an ingest (movie and proxy output formats, the report),
// which the layers linking the media libraries do: the caller hands in an
// implementation over them, so that this layer links none of them.
// Thread safe: it holds no state of a run.
#include "OutputFormat.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace qzingest {

struct WrittenReport {
    std::string page;  // DIR/index.html
    std::string json;  // DIR/report.json
    size_t failedCopies = 0;
};

class IngestMedia {
public:
    virtual ~IngestMedia() = default;
    // "mov", "mxf" or "proxy"; null for a format this build does not write.
    virtual std::unique_ptr<qzimport::OutputFormat> OutputFormatNamed(const std::string& name) const = 0;
    // The report of `cards` with the `copies` made of them, written into
    // `output`. Throws CUHostError (ReportError, ImportError) or CUInterrupted.
    virtual WrittenReport WriteReport(const std::vector<std::string>& cards,
                                      const std::vector<std::string>& copies,
                                      const std::string& output) const = 0;
};

}  // namespace qzingest
