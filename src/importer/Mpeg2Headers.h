#pragma once
// The few fields of an MPEG-2 video picture's headers the importer needs to
// start an output at a picture that decodes: the picture coding type, and
// the closed_gop and broken_link flags of a GOP header in front of the
// picture, and the sequence headers a picture decodes with. Reads only the bytes given; stateless and thread
// safe.
#include <cstddef>
#include <cstdint>
#include <optional>

namespace qzimport {

class Mpeg2Headers {
public:
    static constexpr uint8_t kIntraPicture = 1;
    static constexpr uint8_t kClosedGopBit = 0x40;  // in the GOP header's last byte
    static constexpr uint8_t kBrokenLinkBit = 0x20;

    // picture_coding_type of the first picture header (1 I, 2 P, 3 B); 0
    // when the bytes hold none.
    static uint8_t PictureCodingType(const uint8_t* bytes, size_t size);
    // The same as a letter: 'I', 'P', 'B', '?' for a type MPEG-2 video
    // forbids or reserves (0, 4 to 7); 0 when the bytes hold no picture
    // header.
    static char PictureTypeLetter(const uint8_t* bytes, size_t size);
    // Offset of the byte holding closed_gop and broken_link in a GOP header
    // before the first picture header; nothing when there is none.
    static std::optional<size_t> GopFlagsOffset(const uint8_t* bytes, size_t size);
    // Whether the bytes open with a sequence header.
    static bool StartsWithSequenceHeader(const uint8_t* bytes, size_t size);
    // The length of the sequence header and its extensions the bytes open
    // with (up to the first GOP or picture start code); 0 when they open
    // with none or hold nothing after it.
    static size_t SequenceHeadersLength(const uint8_t* bytes, size_t size);
};

}  // namespace qzimport
