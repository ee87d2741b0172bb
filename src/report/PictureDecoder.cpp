#include "PictureDecoder.h"

#include "LibavObjects.h"
#include "ReportError.h"

extern "C" {
#include <libavutil/log.h>
}

#include <algorithm>
#include <mutex>

namespace qzreport {

namespace {

// What the decoder says of a picture it gave out: its error flags, and the
// frame flag it sets on pictures it knows to be corrupt.
std::string DamageOf(const AVFrame& frame) {
    std::string damage;
    auto add = [&damage](const char* what) { damage += (damage.empty() ? "" : ", ") + std::string(what); };
    if (frame.decode_error_flags & FF_DECODE_ERROR_INVALID_BITSTREAM) add("invalid bitstream");
    if (frame.decode_error_flags & FF_DECODE_ERROR_MISSING_REFERENCE) add("missing reference");
    if (frame.decode_error_flags & FF_DECODE_ERROR_CONCEALMENT_ACTIVE) add("damaged slices concealed");
    if (frame.decode_error_flags & FF_DECODE_ERROR_DECODE_SLICES) add("slices not decoded");
    if (damage.empty() && (frame.flags & AV_FRAME_FLAG_CORRUPT)) add("corrupt picture");
    return damage;
}

}  // namespace

PictureDecoder::PictureDecoder(int threads, bool halfSize) {
    // What the decoder finds is reported through Send and Receive; its own
    // log lines would only interleave with the command's output.
    static std::once_flag quiet;
    std::call_once(quiet, [] { av_log_set_level(AV_LOG_QUIET); });
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_MPEG2VIDEO);
    CodecContextPtr context(codec ? avcodec_alloc_context3(codec) : nullptr);
    FramePtr frame(av_frame_alloc());
    PacketPtr packet(av_packet_alloc());
    if (!context || !frame || !packet) throw ReportError("libavcodec has no MPEG-2 video decoder");
    // The decoder's checks, and a damaged picture reported as an error
    // instead of concealed without a word. Not AV_EF_BITSTREAM: it takes the
    // zero stuffing a constant bit rate puts before the next start code for
    // a slice that does not end where it should.
    context->err_recognition = AV_EF_CRCCHECK | AV_EF_BUFFER | AV_EF_EXPLODE | AV_EF_CAREFUL;
    context->flags |= AV_CODEC_FLAG_OUTPUT_CORRUPT;
    context->thread_count = threads < 0 ? 1 : threads;
    context->thread_type = FF_THREAD_SLICE;
    // A card's pictures are at most 1920 x 1088; a damaged sequence header
    // naming a larger one is refused instead of allocating its frames.
    context->max_pixels = 1920 * 1088;
    if (halfSize) context->lowres = 1;
    const int opened = avcodec_open2(context.get(), codec, nullptr);
    if (opened < 0) throw ReportError("the MPEG-2 video decoder cannot be opened: " + LibavErrorText(opened));
    m_context = context.release();
    m_frame = frame.release();
    m_packet = packet.release();
}

PictureDecoder::~PictureDecoder() {
    av_packet_free(&m_packet);
    av_frame_free(&m_frame);
    avcodec_free_context(&m_context);
}

std::string PictureDecoder::Send(const uint8_t* bytes, size_t size, int64_t tag) {
    av_packet_unref(m_packet);
    // The decoder reads up to AV_INPUT_BUFFER_PADDING_SIZE bytes past the end.
    if (size == 0 || size > static_cast<size_t>(INT32_MAX - AV_INPUT_BUFFER_PADDING_SIZE))
        return "the picture has no bytes or too many";
    const int made = av_new_packet(m_packet, static_cast<int>(size));
    if (made < 0) return "no memory for the picture: " + LibavErrorText(made);
    std::copy(bytes, bytes + size, m_packet->data);
    m_packet->pts = m_packet->dts = tag;
    m_lastTag = tag;
    const int sent = avcodec_send_packet(m_context, m_packet);
    // EAGAIN: output must be taken first; the caller drains with Receive
    // after every Send, so it does not happen.
    return sent < 0 && sent != AVERROR(EAGAIN) ? LibavErrorText(sent) : std::string();
}

void PictureDecoder::Drain() {
    avcodec_send_packet(m_context, nullptr);
}

PictureDecoder::Decoded PictureDecoder::Receive() {
    av_frame_unref(m_frame);
    const int got = avcodec_receive_frame(m_context, m_frame);
    if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return {};
    // Without frame threads the decoder works on the picture last sent.
    if (got < 0) return {nullptr, m_lastTag, LibavErrorText(got)};
    const int64_t tag = m_frame->pts != AV_NOPTS_VALUE ? m_frame->pts : m_frame->best_effort_timestamp;
    return {m_frame, tag, DamageOf(*m_frame)};
}

}  // namespace qzreport
