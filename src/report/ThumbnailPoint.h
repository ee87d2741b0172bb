#pragma once
// Where in a clip a thumbnail is taken, as `report --at` gives it: a share
// of the clip ("10%"), a frame index ("120", presentation order) or a
// timecode of the clip ("01:00:02:00", ";" in drop-frame). Plain value:
// any thread; At() reads the clip under its own lock.
#include "CFBCClip.h"

#include <cstdint>
#include <string>

namespace qzreport {

class ThumbnailPoint {
public:
    // Throws ReportError (kUsage) for a text that is none of the three, or
    // a share outside 0..100.
    static ThumbnailPoint Parse(const std::string& text);

    // The presentation index the point names in `clip` of `frames`
    // pictures. A share is rounded down; a frame or a timecode the clip
    // does not have throws ImportError (kUsage) saying what the clip has.
    int64_t At(ComVantoVantoQZ64RADPlug::CFBCClip& clip, int64_t frames) const;

    const std::string& Text() const { return m_text; }

private:
    std::string m_text;
    bool m_share = false;
    double m_percent = 0;
};

}  // namespace qzreport
