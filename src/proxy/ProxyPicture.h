#pragma once
// What a proxy's pictures are, decided from the options and the original
// before any library is called: the encoder and its profile, the pixel
// format, the size, the pixel aspect that keeps the original's display
// aspect, and whether the pictures stay interlaced. Plain data and pure
// functions.
#include "ExportStreamInfo.h"
#include "OutputFormat.h"

#include <cstdint>
#include <string>

namespace qzproxy {

struct ProxyPicture {
    std::string codec;    // the option's name: "prores-proxy", "prores-lt", "dnxhr-lb", "h264"
    std::string encoder;  // libavcodec's: "prores_ks", "dnxhd", "libx264"
    std::string profile;  // the encoder's profile option
    std::string pixelFormat;
    uint32_t width = 0;
    uint32_t height = 0;
    // width:height of one proxy pixel (the original's, scaled as the size is).
    int64_t pixelAspectNum = 1;
    int64_t pixelAspectDen = 1;
    // ProRes and DNxHR keep the original's fields; the H.264 daily is
    // deinterlaced to whole pictures at the original's frame rate.
    bool interlaced = false;
    bool topFieldFirst = true;
};

// Throws qzimport::ImportError for an unknown codec, a malformed size or one
// that does not divide the original's picture evenly.
ProxyPicture PlanProxyPicture(const qzimport::OutputOptions& options,
                              const qzimport::ExportStreamInfo& stream);

}  // namespace qzproxy
