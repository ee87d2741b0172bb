#include "ProxyFilterChain.h"

#include "CardOpening.h"
#include "ClipClock.h"
#include "ClipStates.h"
#include "ImportError.h"
#include "ValueTexts.h"

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavutil/opt.h>
}

#include <filesystem>
#include <memory>

namespace qzproxy {

using qzimport::CUFailureKind;
using qzimport::ImportError;

namespace {

constexpr const char* kFontFile = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf";

struct GraphFree {
    void operator()(AVFilterGraph* graph) const { avfilter_graph_free(&graph); }
};

// One filter of the graph with its options set; the graph owns it.
AVFilterContext* MakeFilter(AVFilterGraph& graph, const ProxyFilterChain::Step& step,
                            qzrewrap::LibavMessages& messages) {
    const AVFilter* filter = avfilter_get_by_name(step.filter.c_str());
    if (!filter) throw ImportError("libavfilter has no " + step.filter + " filter", CUFailureKind::kSetup);
    AVFilterContext* context = avfilter_graph_alloc_filter(&graph, filter, nullptr);
    if (!context) throw ImportError("no memory for the " + step.filter + " filter");
    for (const auto& [key, value] : step.options) {
        const int set = av_opt_set(context, key.c_str(), value.c_str(), AV_OPT_SEARCH_CHILDREN);
        if (set < 0)
            throw ImportError(messages.Describe("the " + step.filter + " filter refuses " + key, set));
    }
    const int initialised = messages.During([&] { return avfilter_init_str(context, nullptr); });
    if (initialised < 0)
        throw ImportError(messages.Describe("cannot make the " + step.filter + " filter", initialised));
    return context;
}

// The original's YUV as libswscale names its matrix.
std::string ColourMatrix(const qzimport::ExportStreamInfo& stream) {
    return stream.hd ? "bt709" : "bt601";
}

}  // namespace

std::vector<ProxyFilterChain::Step> ProxyFilterChain::Plan(const qzimport::ExportStreamInfo& stream,
                                                           const ProxyPicture& picture,
                                                           const qzimport::OutputOptions& options) {
    std::vector<Step> steps;
    // The daily shows whole pictures at the original's frame rate (one per
    // original picture, so its duration in pictures is the original's).
    if (stream.interlaced && !picture.interlaced)
        steps.push_back(
            {"bwdif", {{"mode", "send_frame"}, {"parity", stream.topFieldFirst ? "tff" : "bff"}}});
    const std::string interlacedScale = picture.interlaced ? "1" : "0";
    std::vector<std::pair<std::string, std::string>> scale = {{"w", std::to_string(picture.width)},
                                                              {"h", std::to_string(picture.height)},
                                                              {"interl", interlacedScale}};
    if (!options.proxyLut.empty()) {
        // The LUT takes RGB, 16 bits a component: the original's limited
        // range YUV opened to full range RGB with its own matrix, and back.
        steps.push_back(
            {"scale", {{"in_color_matrix", ColourMatrix(stream)}, {"in_range", "tv"}, {"out_range", "pc"}}});
        steps.push_back({"format", {{"pix_fmts", "gbrp16le"}}});
        steps.push_back({"lut3d", {{"file", options.proxyLut}, {"interp", "tetrahedral"}}});
        scale.insert(scale.end(),
                     {{"out_color_matrix", ColourMatrix(stream)}, {"in_range", "pc"}, {"out_range", "tv"}});
    }
    steps.push_back({"scale", scale});
    if (!options.proxyBurnIn.empty()) {
        // One line in a dim band along the bottom edge, where the picture
        // holds least an editor looks at; a twentieth of the height tall.
        const uint32_t size = std::max<uint32_t>(picture.height / 20, 10);
        steps.push_back({"drawtext",
                         {{"fontfile", FontFile()},
                          {"text", std::string("%{metadata:") + kBurnInKey + "}"},
                          {"fontsize", std::to_string(size)},
                          {"fontcolor", "white"},
                          {"box", "1"},
                          {"boxcolor", "black@0.6"},
                          {"boxborderw", std::to_string(size / 4)},
                          {"x", std::to_string(size / 2)},
                          {"y", "h-th-" + std::to_string(size / 2)}}});
    }
    steps.push_back({"format", {{"pix_fmts", picture.pixelFormat}}});
    return steps;
}

void ProxyFilterChain::Build(AVFilterGraph& graph, const std::vector<Step>& steps,
                             const std::string& sourceArguments, qzrewrap::LibavMessages& messages,
                             AVFilterContext*& source, AVFilterContext*& sink) {
    const int made = messages.During([&] {
        return avfilter_graph_create_filter(&source, avfilter_get_by_name("buffer"), "in",
                                            sourceArguments.c_str(), nullptr, &graph);
    });
    if (made < 0) throw ImportError(messages.Describe("cannot make the filter source", made));
    AVFilterContext* previous = source;
    for (const Step& step : steps) {
        AVFilterContext* next = MakeFilter(graph, step, messages);
        const int linked = avfilter_link(previous, 0, next, 0);
        if (linked < 0)
            throw ImportError(messages.Describe("cannot link the " + step.filter + " filter", linked));
        previous = next;
    }
    const int sinkMade = messages.During([&] {
        return avfilter_graph_create_filter(&sink, avfilter_get_by_name("buffersink"), "out", nullptr,
                                            nullptr, &graph);
    });
    if (sinkMade < 0) throw ImportError(messages.Describe("cannot make the filter sink", sinkMade));
    const int linked = avfilter_link(previous, 0, sink, 0);
    if (linked < 0) throw ImportError(messages.Describe("cannot link the filter sink", linked));
    const int configured = messages.During([&] { return avfilter_graph_config(&graph, nullptr); });
    if (configured < 0) throw ImportError(messages.Describe("cannot link the proxy's filters", configured));
}

std::string ProxyFilterChain::BurnInText(const qzimport::ExportStreamInfo& stream,
                                         const qzimport::OutputOptions& options, uint64_t picture) {
    std::string line;
    const auto add = [&line](const std::string& text) {
        if (text.empty()) return;
        if (!line.empty()) line += "  ";
        line += text;
    };
    for (const std::string& item : options.proxyBurnIn) {
        if (item == "timecode" && stream.timecodeRate > 0) {
            const ComVantoVantoQZ64RADPlug::ClipClock clock(
                stream.timescale, stream.frameDuration, stream.timecodeRate * stream.picturesPerTimecodeFrame,
                stream.dropFrame);
            add(qzimport::TimecodeText(
                clock.TimecodeOfFrames(static_cast<int64_t>(stream.startFrame + picture))));
        } else if (item == "clip") {
            add(stream.clipId);
        } else if (item == "title") {
            add(stream.MetadataValue("title"));
        }
    }
    return line;
}

void ProxyFilterChain::CheckLut(const std::string& path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        throw ImportError("--lut " + path + ": no such file", CUFailureKind::kUsage);
    if (std::filesystem::path(path).extension() != ".cube")
        throw ImportError("--lut " + path + ": not a .cube LUT", CUFailureKind::kUsage);
    const std::unique_ptr<AVFilterGraph, GraphFree> graph(avfilter_graph_alloc());
    if (!graph) throw ImportError("no memory for a filter graph");
    qzrewrap::LibavMessages messages;
    messages.ListenToAll();
    try {
        MakeFilter(*graph, {"lut3d", {{"file", path}}}, messages);
    } catch (const ImportError& e) {
        throw ImportError("--lut " + path + " is not a LUT libavfilter reads: " + e.what(),
                          CUFailureKind::kUsage);
    }
}

std::string ProxyFilterChain::FontFile() {
    std::error_code error;
    if (!std::filesystem::is_regular_file(kFontFile, error))
        throw ImportError(
            std::string("the burn-in's font ") + kFontFile + " is not installed (fonts-dejavu-core)",
            CUFailureKind::kSetup);
    return kFontFile;
}

}  // namespace qzproxy
