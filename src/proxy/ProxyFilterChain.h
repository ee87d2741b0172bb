#pragma once
// The libavfilter chain a proxy's pictures pass through between the
// decoder and the encoder, in this order: the daily's deinterlacer; the
// LUT (on RGB converted with the original's colour matrix and range, before
// any scaling, so it sees the camera's pixels); the scaler to the proxy's
// size (field by field for interlaced proxies); the burn-in; the encoder's
// pixel format. Filters are made and given their options one by one
// (av_opt_set), so no path or text is ever parsed as graph syntax. Plain
// functions; the graph is the caller's, used by one thread.
#include "ExportStreamInfo.h"
#include "LibavMessages.h"
#include "OutputFormat.h"
#include "ProxyPicture.h"

#include <string>
#include <utility>
#include <vector>

struct AVFilterContext;
struct AVFilterGraph;

namespace qzproxy {

class ProxyFilterChain {
public:
    struct Step {
        std::string filter;  // libavfilter's name
        std::vector<std::pair<std::string, std::string>> options;
    };

    // The frame metadata key whose value the burn-in draws: the writer sets
    // it on every picture (BurnInText).
    static constexpr const char* kBurnInKey = "qzcard.burnin";

    static std::vector<Step> Plan(const qzimport::ExportStreamInfo& stream, const ProxyPicture& picture,
                                  const qzimport::OutputOptions& options);
    // Makes source ("buffer" with `sourceArguments`) -> steps -> sink
    // ("buffersink") in `graph` and configures it. Throws ImportError with
    // libav's reason.
    static void Build(AVFilterGraph& graph, const std::vector<Step>& steps,
                      const std::string& sourceArguments, qzrewrap::LibavMessages& messages,
                      AVFilterContext*& source, AVFilterContext*& sink);
    // The burnt-in line of the picture `picture` (0-based, presentation
    // order) of the output: its timecode, the clip ID and the title, as
    // `options` asks, two spaces apart.
    static std::string BurnInText(const qzimport::ExportStreamInfo& stream,
                                  const qzimport::OutputOptions& options, uint64_t picture);
    // Throws ImportError (kUsage) naming the file when `path` is not a .cube
    // LUT libavfilter reads.
    static void CheckLut(const std::string& path);
    // The burn-in's font (DejaVu Sans Mono, Debian's fonts-dejavu-core);
    // throws ImportError (kSetup) when it is not installed.
    static std::string FontFile();
};

}  // namespace qzproxy
