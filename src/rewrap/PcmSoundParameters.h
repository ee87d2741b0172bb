#pragma once
// How a movie describes a sound stream of the card's samples carried as
// they are: little-endian PCM of the card's depth and rate, `channels`
// interleaved. The MOV export and an edit proxy carry their sound alike.
#include "ExportStreamInfo.h"

#include <cstdint>

struct AVCodecParameters;

namespace qzrewrap {

class PcmSoundParameters {
public:
    static void Describe(AVCodecParameters& parameters, const qzimport::ExportStreamInfo& stream,
                         uint32_t channels);
};

}  // namespace qzrewrap
