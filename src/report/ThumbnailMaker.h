#pragma once
// Thumbnails of one clip: for each point asked for (a picture in
// presentation order), the I picture presented at or before it (before
// the clip's first I picture, that one) as the plug-in delivers it to a
// host (qzimport::ClipKeyPictures), decoded with libavcodec, shown at the
// picture's display aspect, interlaced pictures from their first field
// alone (no combing), scaled with libswscale and encoded as a JPEG by
// libavcodec's own encoder, written beside its final name. One request per
// clip and thread; requests of different clips run at once.
#include "CFBCClip.h"
#include "CUOutputFile.h"
#include "CUSharedPtr.h"
#include "MIORADClipDataSourceProtocol.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qzreport {

struct ThumbnailRequest {
    // The clip and the descriptor the plug-in offers for it (null when it
    // offers none; `unoffered` then says why).
    ComVantoVantoQZ64RADPlug::CUSharedPtr<ComVantoVantoQZ64RADPlug::CFBCClip> clip;
    std::shared_ptr<ComVantoVantoQZ64RADPlug::MIORADClipDataSourceProtocol> descriptor;
    std::string unoffered;
    std::vector<int64_t> points;       // presentation frame indices asked for
    std::vector<std::string> outputs;  // one final JPEG path per point
    int width = 480;                   // of each thumbnail, in square pixels
};

struct Thumbnail {
    int64_t askedFrame = -1;   // presentation index asked for
    int64_t frame = -1;        // presentation index of the I picture shown
    int64_t decodeFrame = -1;  // its decode-order index
    std::string timecode;      // of the picture shown
    std::string output;        // the JPEG's final path; empty when none
    // The JPEG, finished beside its final name but neither synced nor
    // renamed: the caller syncs the file system once for every thumbnail,
    // then commits each (CUOutputFile::CommitFinished).
    std::shared_ptr<ComVantoVantoQZ64RADPlug::CUOutputFile> file;
    int width = 0, height = 0;
    bool interlaced = false;  // shown from its first field
    std::string damage;       // what the decoder found wrong in the picture shown
    std::string failure;      // why there is no thumbnail; empty when there is one
};

struct ClipPictures {
    uint64_t frames = 0;     // pictures of the clip; 0 when the movie cannot be opened
    uint32_t timescale = 0;  // frames * frameDuration / timescale seconds
    uint32_t frameDuration = 0;
    std::string failure;                // why the clip's pictures cannot be read
    std::vector<Thumbnail> thumbnails;  // one per point
};

class ThumbnailMaker {
public:
    // Never throws for what a clip holds: a failure is kept in the result.
    // Throws ReportError (kSetup) when the decoder or encoder cannot be set up.
    static ClipPictures Make(const ThumbnailRequest& request);
};

}  // namespace qzreport
