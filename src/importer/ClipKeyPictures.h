#pragma once
// The I pictures of one clip as a host gets them: delivered through the
// plug-in's ingest object (ClipIngest), as export and verify get every
// picture, so a report's thumbnails show what an editing host imports. Each
// picture asked for costs one group of pictures read, none decoded. Throws
// ImportError for what the clip or the plug-in cannot give. One object per
// clip; used by one thread (objects of different clips run at once).
#include "CFBCClip.h"
#include "ClipIngest.h"
#include "MIORADClipDataSourceProtocol.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qzimport {

struct KeyPicture {
    int64_t frame = -1;        // presentation index of the picture in the clip
    int64_t decodeFrame = -1;  // its decode-order index
    std::string timecode;      // "HH:MM:SS:FF" of the picture; empty when the clip gives none
    // The picture element as the plug-in's video buffer holds it, led by the
    // clip's first sequence headers when it carries none of its own, so it
    // decodes alone.
    std::vector<uint8_t> bytes;
};

class ClipKeyPictures {
public:
    // Throws ImportError when the clip's frames cannot be read.
    ClipKeyPictures(ComVantoVantoQZ64RADPlug::MIORADClipDataSourceProtocol& descriptor,
                    ComVantoVantoQZ64RADPlug::CFBCClip& clip);

    uint32_t FrameCount() const { return m_ingest.FrameCount(); }
    int64_t Timescale() const {
        return m_ingest.Timescale();
    }  // FrameDuration() / Timescale() seconds a frame
    int64_t FrameDuration() const { return m_ingest.FrameDuration(); }

    // The I picture presented last at or before presentation frame `point`
    // (below FrameCount()); before the clip's first I picture (the leading
    // pictures of an open group) that first one. Throws ImportError when the
    // plug-in delivers none there or fails.
    KeyPicture At(uint32_t point);

    // `picture` led by `headers` (the sequence headers of another picture)
    // when it opens with none of its own: a picture that decodes alone.
    static std::vector<uint8_t> WithSequenceHeaders(std::vector<uint8_t> picture,
                                                    const std::vector<uint8_t>& headers);

private:
    // The sequence headers the clip's first picture opens with.
    const std::vector<uint8_t>& FirstSequenceHeaders();

    ClipIngest m_ingest;
    std::vector<uint8_t> m_firstHeaders;
    bool m_firstHeadersRead = false;
};

}  // namespace qzimport
