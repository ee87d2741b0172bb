// The picture path of thumbnails and of verify --decode: a picture element's
// bytes, led by the sequence headers of the clip's first picture when it
// has none of its own (ClipKeyPictures::WithSequenceHeaders,
// Mpeg2Headers), handed to the MPEG-2 decoder (PictureDecoder) at half size
// as thumbnails decode and at full size as the check does. Input: the
// clip's first picture element's length (4 bytes, big-endian), that
// element, then the element to decode.
#include "ClipKeyPictures.h"
#include "Mpeg2Headers.h"
#include "PictureDecoder.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    const size_t firstSize = size_t{data[0]} << 24 | size_t{data[1]} << 16 | size_t{data[2]} << 8 | data[3];
    if (firstSize > size - 4) return 0;
    const uint8_t* first = data + 4;
    const uint8_t* element = first + firstSize;
    const std::vector<uint8_t> headers(
        first, first + qzimport::Mpeg2Headers::SequenceHeadersLength(first, firstSize));
    const std::vector<uint8_t> picture =
        qzimport::ClipKeyPictures::WithSequenceHeaders(std::vector<uint8_t>(element, data + size), headers);
    qzimport::Mpeg2Headers::PictureCodingType(picture.data(), picture.size());
    for (const bool halfSize : {true, false}) {
        qzreport::PictureDecoder decoder(1, halfSize);
        decoder.Send(picture.data(), picture.size(), 0);
        decoder.Drain();
        for (qzreport::PictureDecoder::Decoded out = decoder.Receive(); out.frame || !out.damage.empty();
             out = decoder.Receive()) {
        }
    }
    return 0;
}
