#pragma once
// An output format of the export ("es", "mov", "mxf"): the names of the
// files it writes for an output set and the writer that writes them. The
// importer knows only this interface; the command picks the format. Thread
// safe: a format holds no state of an export.
#include "OutputWriter.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qzimport {

// Options of an export that change what a format writes.
struct OutputOptions {
    bool allChannels = false;  // es: one mono WAV per sound track besides the stereo WAV
    bool stereoPairs = false;  // mov/mxf: stereo tracks of channels 1+2, 3+4 instead of mono tracks
};

class OutputFormat {
public:
    virtual ~OutputFormat() = default;

    virtual std::string Name() const = 0;
    // The files (names in the output folder) of the output set `baseName`
    // of a clip with `soundTracks` tracks, not counting the JSON record.
    virtual std::vector<std::string> FileNames(const std::string& baseName, const OutputOptions& options,
                                               uint32_t soundTracks) const = 0;
    // A writer for the output set; its files are created as partials in
    // `folder` (which exists) as it needs them.
    virtual std::unique_ptr<OutputWriter> CreateWriter(const std::string& folder, const std::string& baseName,
                                                       const OutputOptions& options) const = 0;
};

}  // namespace qzimport
