#include "PcmSoundParameters.h"

extern "C" {
#include <libavcodec/codec_par.h>
}

namespace qzrewrap {

void PcmSoundParameters::Describe(AVCodecParameters& p, const qzimport::ExportStreamInfo& stream,
                                  uint32_t channels) {
    const int sampleBytes = static_cast<int>(stream.bitsPerSample / 8);
    p.codec_type = AVMEDIA_TYPE_AUDIO;
    p.codec_id = stream.bitsPerSample == 24 ? AV_CODEC_ID_PCM_S24LE : AV_CODEC_ID_PCM_S16LE;
    p.sample_rate = static_cast<int>(stream.sampleRate);
    av_channel_layout_default(&p.ch_layout, static_cast<int>(channels));
    p.bits_per_coded_sample = static_cast<int>(stream.bitsPerSample);
    p.block_align = sampleBytes * static_cast<int>(channels);
    p.bit_rate = int64_t{p.sample_rate} * p.block_align * 8;
}

}  // namespace qzrewrap
