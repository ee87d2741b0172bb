#include "DailySoundEncoder.h"

#include "ImportError.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
}

namespace qzproxy {

using qzimport::ImportError;

namespace {
// AAC-LC's bit rate for one channel: transparent enough for watching takes.
constexpr int64_t kBitsPerChannel = 128000;
}  // namespace

void DailySoundEncoder::CodecFree::operator()(AVCodecContext* codec) const {
    avcodec_free_context(&codec);
}
void DailySoundEncoder::FrameFree::operator()(AVFrame* frame) const {
    av_frame_free(&frame);
}
void DailySoundEncoder::PacketFree::operator()(AVPacket* packet) const {
    av_packet_free(&packet);
}

DailySoundEncoder::DailySoundEncoder(std::string path, qzrewrap::LibavMessages& messages)
    : m_path(std::move(path)), m_messages(messages) {}

DailySoundEncoder::~DailySoundEncoder() {
    // The encoder's closing statistics are not ours to print.
    for (Stream& stream : m_streams)
        m_messages.During([&] {
            stream.encoder.reset();
            return 0;
        });
}

void DailySoundEncoder::Check(int result, const std::string& what) const {
    if (result < 0) throw ImportError(m_messages.Describe(what, result));
}

void DailySoundEncoder::Open(const std::vector<qzrewrap::SoundStream>& streams, uint32_t sampleRate,
                             uint32_t bitsPerSample) {
    if (bitsPerSample != 16 && bitsPerSample != 24)
        throw ImportError(m_path + ": " + std::to_string(bitsPerSample) + "-bit sound cannot be encoded");
    m_bitsPerSample = bitsPerSample;
    const AVCodec* codec = avcodec_find_encoder_by_name("aac");
    if (!codec) throw ImportError("libavcodec has no aac encoder");
    m_frame.reset(av_frame_alloc());
    m_packet.reset(av_packet_alloc());
    if (!m_frame || !m_packet) throw ImportError("no memory for the sound of " + m_path);
    m_streams.clear();
    for (const qzrewrap::SoundStream& sound : streams) {
        Stream stream;
        stream.encoder.reset(avcodec_alloc_context3(codec));
        if (!stream.encoder) throw ImportError("no memory for a sound encoder of " + m_path);
        AVCodecContext& e = *stream.encoder;
        e.sample_fmt = AV_SAMPLE_FMT_FLTP;
        e.sample_rate = static_cast<int>(sampleRate);
        e.time_base = AVRational{1, e.sample_rate};
        av_channel_layout_default(&e.ch_layout, static_cast<int>(sound.channels));
        e.bit_rate = kBitsPerChannel * sound.channels;
        e.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;  // the mov writer keeps it in the sample description
        const int opened = m_messages.During([&] { return avcodec_open2(&e, codec, nullptr); });
        Check(opened, "cannot open the aac encoder for " + m_path);
        stream.channels.assign(sound.channels, {});
        m_streams.push_back(std::move(stream));
    }
}

const AVCodecContext& DailySoundEncoder::Encoder(size_t stream) const {
    return *m_streams.at(stream).encoder;
}

void DailySoundEncoder::Add(size_t index, const uint8_t* bytes, size_t size, const PacketSink& sink) {
    Stream& stream = m_streams.at(index);
    const size_t sampleBytes = m_bitsPerSample / 8;
    const size_t channels = stream.channels.size();
    if (size % (sampleBytes * channels) != 0)
        throw ImportError(m_path + ": " + std::to_string(size) + " bytes of sound are not whole samples");
    const size_t samples = size / (sampleBytes * channels);
    for (size_t i = 0; i < samples; ++i)
        for (size_t c = 0; c < channels; ++c) {
            const uint8_t* b = bytes + (i * channels + c) * sampleBytes;
            // Little endian, signed: the top byte carries the sign.
            const int32_t value = m_bitsPerSample == 16
                                      ? static_cast<int16_t>(b[0] | b[1] << 8)
                                      : static_cast<int32_t>(uint32_t{b[0]} << 8 | uint32_t{b[1]} << 16 |
                                                             uint32_t{b[2]} << 24) >>
                                            8;
            stream.channels[c].push_back(static_cast<float>(value) /
                                         static_cast<float>(1u << (m_bitsPerSample - 1)));
        }
    const size_t frame = static_cast<size_t>(stream.encoder->frame_size);
    while (stream.channels[0].size() >= frame) Send(index, frame, sink);
}

void DailySoundEncoder::Send(size_t index, size_t samples, const PacketSink& sink) {
    Stream& stream = m_streams[index];
    AVFrame* f = m_frame.get();
    av_frame_unref(f);
    f->format = AV_SAMPLE_FMT_FLTP;
    f->sample_rate = stream.encoder->sample_rate;
    f->nb_samples = static_cast<int>(samples);
    Check(av_channel_layout_copy(&f->ch_layout, &stream.encoder->ch_layout), "no memory for sound");
    Check(av_frame_get_buffer(f, 0), "no memory for the sound of " + m_path);
    for (size_t c = 0; c < stream.channels.size(); ++c) {
        std::vector<float>& waiting = stream.channels[c];
        std::copy_n(waiting.begin(), samples, reinterpret_cast<float*>(f->extended_data[c]));
        waiting.erase(waiting.begin(), waiting.begin() + static_cast<std::ptrdiff_t>(samples));
    }
    f->pts = stream.sent;
    stream.sent += static_cast<int64_t>(samples);
    const int sent = m_messages.During([&] { return avcodec_send_frame(stream.encoder.get(), f); });
    av_frame_unref(f);
    Check(sent, "cannot encode the sound of " + m_path);
    Drain(index, sink);
}

void DailySoundEncoder::Drain(size_t index, const PacketSink& sink) {
    AVCodecContext* encoder = m_streams[index].encoder.get();
    for (;;) {
        const int got = m_messages.During([&] { return avcodec_receive_packet(encoder, m_packet.get()); });
        if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return;
        Check(got, "cannot encode the sound of " + m_path);
        sink(index, m_packet.get());
        av_packet_unref(m_packet.get());
    }
}

void DailySoundEncoder::Finish(const PacketSink& sink) {
    for (size_t s = 0; s < m_streams.size(); ++s) {
        if (!m_streams[s].channels[0].empty()) Send(s, m_streams[s].channels[0].size(), sink);
        Check(m_messages.During([&] { return avcodec_send_frame(m_streams[s].encoder.get(), nullptr); }),
              "cannot encode the last sound of " + m_path);
        Drain(s, sink);
    }
}

}  // namespace qzproxy
