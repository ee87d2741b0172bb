#pragma once
// The H.264 daily's sound: each sound stream of the plan (a mono track or a
// pair, as the MOV export carries them) encoded as AAC by libavcodec's own
// encoder, since a browser plays no PCM in a movie. The gathered integer
// samples (16 or 24 bits, interleaved) are opened to planar float and cut
// into the encoder's 1024-sample frames; what is left at the end goes as a
// last, shorter frame. Memory: less than one frame of samples a stream, and
// the packets the encoder holds. Failures throw qzimport::ImportError with
// libav's text. Used by one thread.
#include "ContainerPlan.h"
#include "LibavMessages.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

namespace qzproxy {

class DailySoundEncoder {
public:
    // Each packet made, with the index of its sound stream (0-based) and
    // its times in 1/sampleRate s.
    using PacketSink = std::function<void(size_t stream, AVPacket* packet)>;

    // `messages` outlives this object.
    DailySoundEncoder(std::string path, qzrewrap::LibavMessages& messages);
    ~DailySoundEncoder();
    DailySoundEncoder(const DailySoundEncoder&) = delete;
    DailySoundEncoder& operator=(const DailySoundEncoder&) = delete;

    // Opens one encoder a stream; `bitsPerSample`: 16 or 24.
    void Open(const std::vector<qzrewrap::SoundStream>& streams, uint32_t sampleRate, uint32_t bitsPerSample);
    size_t Streams() const { return m_streams.size(); }
    // The stream's encoder, to describe its output stream from.
    const AVCodecContext& Encoder(size_t stream) const;

    // `size` bytes of the stream's samples, its channels interleaved; a
    // size that is not whole samples of every channel is refused.
    void Add(size_t stream, const uint8_t* bytes, size_t size, const PacketSink& sink);
    // The last samples and the packets the encoders still hold.
    void Finish(const PacketSink& sink);

private:
    struct CodecFree {
        void operator()(AVCodecContext* codec) const;
    };
    struct FrameFree {
        void operator()(AVFrame* frame) const;
    };
    struct PacketFree {
        void operator()(AVPacket* packet) const;
    };
    struct Stream {
        std::unique_ptr<AVCodecContext, CodecFree> encoder;
        std::vector<std::vector<float>> channels;  // samples waiting for a whole frame
        int64_t sent = 0;                          // samples sent to the encoder
    };

    void Send(size_t stream, size_t samples, const PacketSink& sink);
    void Drain(size_t stream, const PacketSink& sink);
    void Check(int result, const std::string& what) const;

    std::string m_path;
    qzrewrap::LibavMessages& m_messages;
    uint32_t m_bitsPerSample = 16;
    std::vector<Stream> m_streams;
    std::unique_ptr<AVFrame, FrameFree> m_frame;
    std::unique_ptr<AVPacket, PacketFree> m_packet;
};

}  // namespace qzproxy
