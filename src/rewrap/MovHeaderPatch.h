#pragma once
// Patches to the movie header ('moov') libavformat's mov writer makes, for
// what the writer cannot be told. Pure functions over bytes.
//
// The first picture's composition offset: the mov writer takes a track's first packet in decode order for
// its earliest presented: it starts the edit list, the media duration and
// the timecode track's span there. When pictures decoded after it are
// presented before it (the leading B pictures of a closed group of
// pictures), the writer is therefore told that the first packet is
// presented at time 0, the earliest presentation, which makes all of those
// right; this then puts the packet's true composition offset into the
// movie header the writer made.
//
// Alternate groups: the writer puts every track of one media type in one
// alternate group (all sound tracks in group 1), which tells a player to
// play only one of them. The mono tracks of a clip's channels are meant to
// play together, so every track is put in group 0 (no alternate).
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

// `movie` as above. Sets the alternate group of every track's header
// ('tkhd', version 0 or 1) to 0 and says which bytes changed (a length of 0
// when none had another group). Throws qzimport::ImportError when the
// header is not as libavformat writes it.
HeaderPatch ClearAlternateGroups(std::vector<uint8_t>& movie);

// `movie` as above. Adds QuickTime's field atom ('fiel': `fields` 1 or 2
// a picture, and for two the `detail` 9 top field first, 14 bottom) to the
// picture track's sample description, which the writer leaves out for
// codecs that code no fields (DNxHR) whatever their pictures hold; `movie`
// grows by its 10 bytes and every atom holding it says so. False, `movie`
// unchanged, when the description has one already. Throws
// qzimport::ImportError when the header is not as libavformat writes it.
bool AddFieldAtom(std::vector<uint8_t>& movie, uint8_t fields, uint8_t detail);

}  // namespace qzrewrap
