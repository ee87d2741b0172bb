#pragma once
// Records of a clip movie: the kinds of track, one record per member MXF
// file and one per track of the first file's header metadata, and the
// movie engine's result codes. Plain values, guarded by the movie that
// holds them.
#include "CUFailure.h"
#include "CUSharedPtr.h"

#include <cstdint>

namespace ComVantoVantoQZ64RADPlug {

class CUStringMac;
class MXFStream;
class STTrack;

// Result codes of the movie engine (0 is success).
constexpr uint32_t kMovieErrNoTrack = 0x110001;        // no track to read from
constexpr uint32_t kMovieErrReadFailed = 0x111002;     // a metadata value could not be read
constexpr uint32_t kMovieErrPictureFormat = 0x111003;  // frame layout or picture size missing or out of range

enum _MxfTrackType : uint32_t {
    kMxfTrackUnknown = 0,
    kMxfTrackTimecode = 1,
    kMxfTrackPicture = 2,
    kMxfTrackSound = 3,
};

// One MXF file of a clip, in recording order. Frames [startFrame,
// startFrame + frameCount) of the clip are edit units [0, frameCount) of
// the file; `stream` is opened on first use and empty again after release.
struct _MxfStreamInfo {
    uint32_t startFrame = 0;
    uint32_t frameCount = 0;
    CUSharedPtr<CUStringMac> path;
    CUSharedPtr<MXFStream> stream;
    // Why the file could not be opened or parsed; it is not tried again for
    // the movie's life.
    CUFailure unreadable;
};

// One track of the first file's header metadata, in header order; its
// position in the list is the element index of its essence in every file.
struct _MxfTrackInfo {
    _MxfTrackType type = kMxfTrackUnknown;
    uint32_t number = 0;  // 0-based ordinal among tracks of the same type
    CUSharedPtr<STTrack> track;
};

}  // namespace ComVantoVantoQZ64RADPlug
