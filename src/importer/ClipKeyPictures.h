#pragma once
// The I pictures of one clip as a host gets them: delivered through the
// plug-in's ingest object (ClipIngest), as export and verify get every
// picture, so a report's thumbnails show what an editing host imports. Each
// picture asked for costs one group of pictures read, none decoded. Throws
// ImportError for what the clip or the plug-in cannot give. One object per
// clip; used by one thread (objects of different clips run at once).
#include "CFBCClip.h"
#include "MIORADClipDataSourceProtocol.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qzimport {

class ClipIngest;

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

    ~ClipKeyPictures();
    ClipKeyPictures(const ClipKeyPictures&) = delete;
    ClipKeyPictures& operator=(const ClipKeyPictures&) = delete;

    uint32_t FrameCount() const;
    // A frame lasts FrameDuration() / Timescale() seconds.
    int64_t Timescale() const;
    int64_t FrameDuration() const;

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

    std::unique_ptr<ClipIngest> m_ingest;  // the movie layer stays the importer's own
    std::vector<uint8_t> m_firstHeaders;
    bool m_firstHeadersRead = false;
};

}  // namespace qzimport
