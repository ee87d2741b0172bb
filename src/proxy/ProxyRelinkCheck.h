#pragma once
// The relink check of one proxy: the file read back by libavformat (not
// from our record of it) and what an editor relinks by compared with the
// original it was made from: the name, start timecode, reel name, duration
// in pictures, frame rate, field order, sound channels and display aspect.
// Thread safe: it holds nothing.
#include "ExportStreamInfo.h"
#include "OutputFormat.h"

#include <string>
#include <vector>

namespace qzproxy {

class ProxyRelinkCheck {
public:
    // The proxy at `path` against `stream` (the original, as an export begins
    // its writer with it) made with `options`: one line per value that
    // differs ("duration: 20 pictures, the original 30"); empty when all
    // match. A missing or unreadable file is one line saying so.
    static std::vector<std::string> Compare(const std::string& path, const qzimport::ExportStreamInfo& stream,
                                            const qzimport::OutputOptions& options);
};

}  // namespace qzproxy
