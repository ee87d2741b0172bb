#pragma once
// Imports one clip through the plug-in's ingest object, as a host's import
// does, into ID.m2v (the MPEG-2 elementary stream in decode order, as the
// video sample buffers deliver it), ID.wav (the delivered stereo audio),
// with all channels ID_ch1.wav ... (one mono WAV per sound track, read
// through the movie layer) and ID.json (the clip record). Outputs are
// written as partials and renamed into place together; a clip that fails
// (a frame without its video or audio buffer, an output that cannot be
// written) leaves none of its outputs behind. Used by one thread.
#include "CFBCClip.h"
#include "CUSharedPtr.h"
#include "MIORADIngestObject.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qzimport {

class ExportProgress;

struct ExportRequest {
    std::string clipID;
    std::string cardFolder;    // as given on the command line (named in the record)
    std::string outputFolder;  // exists
    bool replace = false;      // --force
    // --null: every buffer is built and dropped, nothing is written (the
    // output folder is unused).
    bool discard = false;
    bool allChannels = false;
    // Frame indices of the clip (presentation order, 0 = first picture).
    std::optional<int64_t> inFrame;
    std::optional<int64_t> outFrame;
    // What the plug-in's clip descriptor says of the clip (the record's
    // "plugin" object).
    nlohmann::ordered_json pluginProperties = nlohmann::ordered_json::object();
};

struct ExportResult {
    bool ok = false;
    std::string failure;  // why not, naming the frame and timecode when a frame failed
    uint64_t frames = 0;
    uint64_t audioSamples = 0;
    std::vector<std::string> outputs;  // names in the output folder, once committed
    uint64_t bytes = 0;                // of the video and audio buffers delivered
};

class ClipExporter {
public:
    explicit ClipExporter(ExportProgress& progress);

    // The output names of a clip ("QZ0001.m2v", ...); channel files for
    // `soundTracks` tracks when `allChannels`.
    static std::vector<std::string> OutputNames(const std::string& clipID, bool allChannels,
                                                uint32_t soundTracks);

    // Runs the import through `ingest` with `refCon` (the clip descriptor's
    // ingestObjectRefCon); `clip` is the reader's clip of the same ID, for
    // the record's values, the member files, the timing and the channels.
    // Never throws for the clip's own failures: they are in the result.
    ExportResult Export(const ExportRequest& request, ComVantoVantoQZ64RADPlug::MIORADIngestObject& ingest,
                        void* refCon, ComVantoVantoQZ64RADPlug::CFBCClip& clip);

private:
    ExportProgress& m_progress;
};

}  // namespace qzimport
