#pragma once
// libavformat's mov writer takes a track's first packet in decode order for
// its earliest presented: it starts the edit list, the media duration and
// the timecode track's span there. When pictures decoded after it are
// presented before it (the leading B pictures of a closed group of
// pictures), the writer is therefore told that the first packet is
// presented at time 0, the earliest presentation, which makes all of those
// right; this then puts the packet's true composition offset into the
// movie header the writer made. A pure function over bytes.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace qzrewrap {

// Where the bytes changed lie in the header.
struct HeaderPatch {
    size_t offset = 0;
    size_t length = 0;
};

// `movie`: the bytes the writer wrote from its movie header ('moov') on.
// Sets the composition offset of the picture track's first sample, written
// as `written`, to `actual` (both in the track's media time scale) and says
// which bytes changed. Throws qzimport::ImportError when the header is not
// as libavformat writes it, or the first sample shares its offset entry
// with the next (the entry cannot be split in place).
HeaderPatch SetFirstCompositionOffset(std::vector<uint8_t>& movie, int64_t written, int64_t actual);

}  // namespace qzrewrap
