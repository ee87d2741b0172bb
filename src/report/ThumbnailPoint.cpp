#include "ThumbnailPoint.h"

#include "ClipFramePoints.h"
#include "ReportError.h"

#include <algorithm>
#include <cmath>
#include <regex>

namespace qzreport {

ThumbnailPoint ThumbnailPoint::Parse(const std::string& text) {
    static const std::regex share(R"(([0-9]{1,3})(\.[0-9]{1,3})?%)");
    static const std::regex frame(R"([0-9]{1,9})");
    static const std::regex timecode(R"([0-9]{2}:[0-9]{2}:[0-9]{2}[:;.][0-9]{2})");
    ThumbnailPoint point;
    point.m_text = text;
    if (std::regex_match(text, share)) {
        point.m_share = true;
        point.m_percent = std::stod(text.substr(0, text.size() - 1));
        if (point.m_percent <= 100) return point;
    } else if (std::regex_match(text, frame) || std::regex_match(text, timecode)) {
        return point;
    }
    throw ReportError("--at " + text +
                          ": give a share of the clip (10%, from 0% to 100%), a frame index (120) or a "
                          "timecode of the clip (01:00:02:00)",
                      CUFailureKind::kUsage);
}

int64_t ThumbnailPoint::At(ComVantoVantoQZ64RADPlug::CFBCClip& clip, int64_t frames) const {
    if (!m_share) return qzimport::FramePoint("--at", m_text, clip);
    const int64_t point = static_cast<int64_t>(std::floor(double(frames) * m_percent / 100.0));
    return std::clamp<int64_t>(point, 0, std::max<int64_t>(frames - 1, 0));
}

}  // namespace qzreport
