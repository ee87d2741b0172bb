#include "ProxyPicture.h"

#include "ImportError.h"

#include <cstdio>
#include <numeric>

namespace qzproxy {

using qzimport::ImportError;

namespace {

void ChooseSize(ProxyPicture& picture, const std::string& size, const qzimport::ExportStreamInfo& stream) {
    unsigned width = 0, height = 0;
    char tail = 0;
    if (size == "half" || size.empty()) {
        width = stream.width / 2;
        height = stream.height / 2;
    } else if (size == "quarter") {
        width = stream.width / 4;
        height = stream.height / 4;
    } else if (std::sscanf(size.c_str(), "%ux%u%c", &width, &height, &tail) != 2) {
        throw ImportError("the proxy size " + size + " is not half, quarter or WxH");
    }
    if (width == 0 || height == 0 || stream.width % width != 0 || stream.height % height != 0)
        throw ImportError("the proxy size " + std::to_string(width) + "x" + std::to_string(height) +
                          " does not divide the picture size " + std::to_string(stream.width) + "x" +
                          std::to_string(stream.height) + " evenly");
    // Interlaced proxies are scaled field by field: each field keeps whole lines.
    if (picture.interlaced && height % 2 != 0)
        throw ImportError("an interlaced proxy needs an even number of lines, not " + std::to_string(height));
    picture.width = width;
    picture.height = height;
}

}  // namespace

ProxyPicture PlanProxyPicture(const qzimport::OutputOptions& options,
                              const qzimport::ExportStreamInfo& stream) {
    ProxyPicture picture;
    picture.codec = options.proxyCodec.empty() ? "prores-proxy" : options.proxyCodec;
    if (picture.codec == "prores-proxy" || picture.codec == "prores-lt") {
        picture.encoder = "prores_ks";
        picture.profile = picture.codec == "prores-proxy" ? "proxy" : "lt";
        picture.pixelFormat = "yuv422p10le";
        picture.interlaced = stream.interlaced;
    } else if (picture.codec == "dnxhr-lb") {
        picture.encoder = "dnxhd";
        picture.profile = "dnxhr_lb";
        picture.pixelFormat = "yuv422p";
        picture.interlaced = stream.interlaced;
    } else if (picture.codec == "h264") {
        picture.encoder = "libx264";
        picture.pixelFormat = "yuv420p";  // what browsers decode
    } else {
        throw ImportError("no proxy codec " + picture.codec);
    }
    picture.topFieldFirst = stream.topFieldFirst;
    if (stream.width == 0 || stream.height == 0 || stream.displayAspectWidth == 0 ||
        stream.displayAspectHeight == 0)
        throw ImportError("the stream has no picture size or display aspect");
    ChooseSize(picture, options.proxySize, stream);
    // The display aspect stays: pixel aspect = (DAR width * H) : (DAR height * W).
    int64_t num = int64_t{stream.displayAspectWidth} * picture.height;
    int64_t den = int64_t{stream.displayAspectHeight} * picture.width;
    const int64_t common = std::gcd(num, den);
    picture.pixelAspectNum = num / common;
    picture.pixelAspectDen = den / common;
    return picture;
}

}  // namespace qzproxy
