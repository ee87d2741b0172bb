#pragma once
// Tags of the values a card answers (CFBCContent::ValueForTag), all kept by
// the media index (MIFStream::ValueForTag).
#include <cstdint>

namespace ComVantoVantoQZ64RADPlug {

enum _ContentValueTag : uint32_t {
    kContentValueMediaID = 0,        // CUUUID, the medium's identifier
    kContentValueIndexVersion = 1,   // CUNumber, uint16_t (high byte major, low byte minor)
    kContentValueSystemBitmap = 2,   // CUNumber, uint8_t
    kContentValueFrameRateType = 3,  // CUNumber, uint8_t; 0 when the index major version is not 1
    kContentValueTagCount = 4,       // first value that is not a tag
};

}  // namespace ComVantoVantoQZ64RADPlug
