#include "ThumbnailMaker.h"

#include "CUOutputFile.h"
#include "ClipKeyPictures.h"
#include "HostEventCycle.h"
#include "ImportError.h"
#include "LibavObjects.h"
#include "PictureDecoder.h"
#include "ReportError.h"

extern "C" {
#include <libavutil/imgutils.h>
}

#include <algorithm>
#include <cstring>
#include <optional>

namespace qzreport {

using namespace ComVantoVantoQZ64RADPlug;

namespace {

// JPEG quality: libavcodec's quantiser scale (2 best .. 31 worst).
constexpr int kJpegQuality = 4;

class ClipThumbnails {
public:
    explicit ClipThumbnails(const ThumbnailRequest& request) : m_request(request) {}

    ClipPictures Run() {
        HostEventCycle cycle;
        try {
            if (!m_request.descriptor || !m_request.clip)
                throw qzimport::ImportError(m_request.unoffered.empty()
                                                ? "the plug-in does not offer the clip"
                                                : m_request.unoffered);
            m_pictures.emplace(*m_request.descriptor, *m_request.clip);
        } catch (const qzimport::ImportError& e) {
            m_result.failure = std::string("the clip's pictures cannot be read: ") + e.what();
            for (int64_t point : m_request.points)
                m_result.thumbnails.push_back(Failed(point, m_result.failure));
            return std::move(m_result);
        }
        m_result.frames = m_pictures->FrameCount();
        m_result.timescale = static_cast<uint32_t>(m_pictures->Timescale());
        m_result.frameDuration = static_cast<uint32_t>(m_pictures->FrameDuration());
        for (size_t k = 0; k < m_request.points.size(); ++k)
            m_result.thumbnails.push_back(One(m_request.points[k], m_request.outputs.at(k)));
        return std::move(m_result);
    }

private:
    static Thumbnail Failed(int64_t point, const std::string& why) {
        Thumbnail t;
        t.askedFrame = point;
        t.failure = why;
        return t;
    }

    Thumbnail One(int64_t point, const std::string& output) {
        if (point < 0 || static_cast<uint64_t>(point) >= m_result.frames)
            return Failed(point, "the clip has no picture " + std::to_string(point));
        qzimport::KeyPicture picture;
        try {
            picture = m_pictures->At(static_cast<uint32_t>(point));
        } catch (const qzimport::ImportError& e) {
            return Failed(point, e.what());
        }
        Thumbnail t;
        t.askedFrame = point;
        t.frame = picture.frame;
        t.decodeFrame = picture.decodeFrame;
        t.timecode = picture.timecode;
        // Every stored size is at least twice a thumbnail's width: half of
        // it is plenty, and a quarter of the decoding work.
        PictureDecoder decoder(1, /*halfSize=*/m_request.width * 2 <= 1280);
        std::string damage = decoder.Send(picture.bytes.data(), picture.bytes.size(), t.decodeFrame);
        decoder.Drain();
        const AVFrame* decoded = nullptr;
        for (PictureDecoder::Decoded out = decoder.Receive(); out.frame || !out.damage.empty();
             out = decoder.Receive()) {
            if (!out.damage.empty()) damage += (damage.empty() ? "" : "; ") + out.damage;
            if (out.frame) {
                decoded = out.frame;
                break;
            }
        }
        t.damage = damage;
        if (!decoded) {
            t.failure = "the decoder gives no picture for frame " + std::to_string(t.decodeFrame) +
                        (damage.empty() ? std::string() : ": " + damage);
            return t;
        }
        WriteJpeg(*decoded, output, t);
        return t;
    }

    void WriteJpeg(const AVFrame& picture, const std::string& output, Thumbnail& t) {
        // Display aspect from the sequence header's aspect ratio (1440x1080
        // at 16:9 has pixels 4:3 wide); square pixels when it says none.
        AVRational sar = picture.sample_aspect_ratio;
        if (sar.num <= 0 || sar.den <= 0) sar = {1, 1};
        const double displayWidth = double(picture.width) * sar.num / sar.den;
        t.width = std::max(16, m_request.width) & ~1;
        t.height = std::max(2, int(t.width * double(picture.height) / displayWidth + 0.5)) & ~1;
        t.interlaced = picture.interlaced_frame != 0;

        // An interlaced picture is scaled from its first field alone (every
        // second line from the first the picture presents), so that motion
        // between the fields does not comb; the thumbnail is far smaller than
        // a field, so nothing is lost.
        const uint8_t* planes[4] = {picture.data[0], picture.data[1], picture.data[2], nullptr};
        int strides[4] = {picture.linesize[0], picture.linesize[1], picture.linesize[2], 0};
        int sourceHeight = picture.height;
        if (t.interlaced) {
            const int first = picture.top_field_first ? 0 : 1;
            for (int p = 0; p < 3; ++p) {
                planes[p] += first * strides[p];
                strides[p] *= 2;
            }
            sourceHeight = picture.height / 2;
        }
        ScaleContextPtr scale(sws_getContext(picture.width, sourceHeight,
                                             static_cast<AVPixelFormat>(picture.format), t.width, t.height,
                                             AV_PIX_FMT_YUVJ420P, SWS_AREA, nullptr, nullptr, nullptr));
        FramePtr small(av_frame_alloc());
        if (!scale || !small) throw ReportError("the picture scaler cannot be set up");
        small->format = AV_PIX_FMT_YUVJ420P;
        small->width = t.width;
        small->height = t.height;
        if (av_frame_get_buffer(small.get(), 0) < 0) throw ReportError("no memory for a thumbnail");
        sws_scale(scale.get(), planes, strides, 0, sourceHeight, small->data, small->linesize);

        const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
        CodecContextPtr encoder(codec ? avcodec_alloc_context3(codec) : nullptr);
        if (!encoder) throw ReportError("libavcodec has no JPEG encoder");
        encoder->width = t.width;
        encoder->height = t.height;
        encoder->pix_fmt = AV_PIX_FMT_YUVJ420P;
        encoder->time_base = {1, 25};
        encoder->flags |= AV_CODEC_FLAG_QSCALE;
        encoder->global_quality = small->quality = kJpegQuality * FF_QP2LAMBDA;
        const int opened = avcodec_open2(encoder.get(), codec, nullptr);
        if (opened < 0) throw ReportError("the JPEG encoder cannot be opened: " + LibavErrorText(opened));
        PacketPtr packet(av_packet_alloc());
        int sent = packet ? avcodec_send_frame(encoder.get(), small.get()) : AVERROR(ENOMEM);
        if (sent >= 0) sent = avcodec_receive_packet(encoder.get(), packet.get());
        if (sent < 0) throw ReportError("the JPEG encoder fails: " + LibavErrorText(sent));

        try {
            t.file = std::make_shared<CUOutputFile>(output);
            t.file->Write(packet->data, static_cast<size_t>(packet->size));
            t.file->Finish();
        } catch (const CUError& e) {
            throw ReportError(std::string("a thumbnail cannot be written: ") + e.what());
        }
        t.output = output;
    }

    const ThumbnailRequest& m_request;
    std::optional<qzimport::ClipKeyPictures> m_pictures;
    ClipPictures m_result;
};

}  // namespace

ClipPictures ThumbnailMaker::Make(const ThumbnailRequest& request) {
    return ClipThumbnails(request).Run();
}

}  // namespace qzreport
