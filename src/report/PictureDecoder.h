#pragma once
// An MPEG-2 video decoder (libavcodec) with its error detection on: coded
// pictures go in, each tagged with the caller's frame number, and decoded
// pictures come out carrying their tag, whether the decoder found them
// damaged, and why. Used by one thread; separate objects are independent.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

namespace qzreport {

class PictureDecoder {
public:
    // `threads`: slice threads the decoder may use (1: none; 0: as many as
    // libavcodec chooses for the cores, as the ffmpeg tool does). Throws
    // ReportError (kSetup) when libavcodec has no MPEG-2 decoder.
    // `halfSize`: decode at half the width and height (libavcodec's lowres),
    // which costs a quarter of the work, for pictures shown small.
    explicit PictureDecoder(int threads = 1,
                            bool halfSize = false);  // the MPEG-2 decoder has no frame threads
    ~PictureDecoder();
    PictureDecoder(const PictureDecoder&) = delete;
    PictureDecoder& operator=(const PictureDecoder&) = delete;

    // Hands one coded picture (with the headers before it) to the decoder.
    // Answers the error the decoder found in it; empty when none.
    std::string Send(const uint8_t* bytes, size_t size, int64_t tag);
    // After the last picture: lets the decoder give out what it holds.
    void Drain();

    struct Decoded {
        const AVFrame* frame = nullptr;  // null: no picture ready; owned by the decoder until the next call
        int64_t tag = -1;
        std::string damage;  // what the decoder reports about the picture; empty when it found none
    };
    // The next decoded picture, in presentation order; `frame` null when
    // none is ready (or, after Drain, none is left). A decoding error with
    // no picture comes back with frame null and `damage` set.
    Decoded Receive();

private:
    AVCodecContext* m_context = nullptr;
    AVFrame* m_frame = nullptr;
    AVPacket* m_packet = nullptr;
    int64_t m_lastTag = -1;
};

}  // namespace qzreport
