#include "ThumbnailMaker.h"

#include "CUFailure.h"
#include "CUOutputFile.h"
#include "CUStringMac.h"
#include "ValueTexts.h"
#include "FBCMovieStreamForQT.h"
#include "LibavObjects.h"
#include "MXFStream.h"
#include "PictureDecoder.h"
#include "ReportError.h"

extern "C" {
#include <libavutil/imgutils.h>
}

#include <algorithm>
#include <cstring>

namespace qzreport {

using namespace ComVantoVantoQZ64RADPlug;

namespace {

// Index flags of a picture that is predicted (a P or a B picture).
constexpr uint8_t kPredicted = 0x10 | 0x20;
// A picture element larger than this is not read (a 50 Mbps picture holds
// a few hundred kilobytes).
constexpr uint64_t kMaxPictureBytes = 16u << 20;
// How far before the asked picture an I picture is looked for: longer than
// any group of pictures the card format records.
constexpr int64_t kMaxGopReach = 256;
// JPEG quality: libavcodec's quantiser scale (2 best .. 31 worst).
constexpr int kJpegQuality = 4;

bool StartsWithSequenceHeader(const std::vector<uint8_t>& b) {
    return b.size() >= 4 && b[0] == 0 && b[1] == 0 && b[2] == 1 && b[3] == 0xB3;
}

// The bytes before the first GOP or picture start code: the sequence header
// and its extensions.
std::vector<uint8_t> SequenceHeaders(const std::vector<uint8_t>& b) {
    for (size_t i = 4; i + 3 < b.size(); ++i)
        if (b[i] == 0 && b[i + 1] == 0 && b[i + 2] == 1 && (b[i + 3] == 0xB8 || b[i + 3] == 0x00))
            return std::vector<uint8_t>(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(i));
    return {};
}

class ClipThumbnails {
public:
    explicit ClipThumbnails(const ThumbnailRequest& request) : m_request(request) {}

    ClipPictures Run() {
        m_movie = CUSharedPtr<FBCMovieStreamForQT>(new FBCMovieStreamForQT());
        if (!m_movie->Init(CUStringMac::Create(m_request.clipInformationFile.c_str()))) {
            const CUFailure why = m_movie->LastFailure();
            m_result.failure =
                "the clip's pictures cannot be read" + (why.Failed() ? ": " + why.Describe() : std::string());
            for (int64_t point : m_request.points)
                m_result.thumbnails.push_back(Failed(point, m_result.failure));
            return std::move(m_result);
        }
        m_result.frames = m_movie->FrameCountInClip();
        m_result.timescale = m_movie->timescale();
        m_result.frameDuration = m_movie->durationPerFrame();
        for (size_t k = 0; k < m_request.points.size(); ++k)
            m_result.thumbnails.push_back(One(m_request.points[k], m_request.outputs.at(k)));
        m_movie->ReleaseMXFStream();
        return std::move(m_result);
    }

private:
    static Thumbnail Failed(int64_t point, const std::string& why) {
        Thumbnail t;
        t.askedFrame = point;
        t.failure = why;
        return t;
    }

    // The timecode of the picture presented at `frame`, from the movie's
    // timecode track.
    std::string TimecodeOf(int64_t frame) {
        int64_t counter = 0;
        if (__builtin_add_overflow(m_movie->StartTimecode(), frame, &counter)) return std::string();
        return qzimport::TimecodeText(m_movie->Clock().TimecodeOfFrames(counter));
    }

    // The stored picture element of decode frame `frame`; empty when it
    // cannot be read.
    std::vector<uint8_t> PictureBytes(uint32_t frame) {
        const int32_t track = m_movie->trackIndexFromType(kMxfTrackPicture, 0);
        uint32_t local = 0;
        CUSharedPtr<MXFStream> mxf = track >= 0 ? m_movie->mxfAtFrameIndex(frame, &local) : nullptr;
        if (!mxf) return {};
        const MXFEssenceRange range = mxf->RangeEssenceData(local, static_cast<uint32_t>(track));
        if (range.second == 0 || range.second > kMaxPictureBytes) return {};
        std::vector<uint8_t> bytes(range.second);
        const uint32_t got = m_movie->ReadSampleData(frame, kMxfTrackPicture, 0, bytes.data(),
                                                     static_cast<uint32_t>(bytes.size()));
        bytes.resize(got);
        return bytes;
    }

    Thumbnail One(int64_t point, const std::string& output) {
        Thumbnail t;
        t.askedFrame = point;
        const int64_t frames = m_result.frames;
        if (point < 0 || point >= frames)
            return Failed(point, "the clip has no picture " + std::to_string(point));
        // The I picture presented last at or before the point (each
        // presentation slot's entry names the stored picture it shows);
        // before the first one (the leading B pictures of an open group) the first.
        auto isIPicture = [&](int64_t shown) {
            int8_t temporal = 0;
            uint8_t flags = 0;
            if (!m_movie->FrameInfoAtIndex(static_cast<uint32_t>(shown), &temporal)) return false;
            const int64_t stored = shown + temporal;
            if (stored < 0 || stored >= frames ||
                !m_movie->FrameInfoAtIndex(static_cast<uint32_t>(stored), nullptr, nullptr, &flags) ||
                (flags & kPredicted) != 0)
                return false;
            t.frame = shown;
            t.decodeFrame = stored;
            return true;
        };
        bool found = false;
        for (int64_t shown = point; !found && shown >= 0 && shown > point - kMaxGopReach; --shown)
            found = isIPicture(shown);
        for (int64_t shown = point + 1; !found && shown < frames && shown <= point + kMaxGopReach; ++shown)
            found = isIPicture(shown);
        if (t.frame < 0)
            return Failed(point, "no I picture is presented near picture " + std::to_string(point));
        t.timecode = TimecodeOf(t.frame);

        std::vector<uint8_t> bytes = PictureBytes(static_cast<uint32_t>(t.decodeFrame));
        if (bytes.empty()) {
            t.failure = "the picture element of frame " + std::to_string(t.decodeFrame) + " cannot be read";
            return t;
        }
        // An I picture without its own sequence header takes the clip's first.
        if (!StartsWithSequenceHeader(bytes) && t.decodeFrame != 0) {
            std::vector<uint8_t> headers = SequenceHeaders(PictureBytes(0));
            bytes.insert(bytes.begin(), headers.begin(), headers.end());
        }
        // Every stored size is at least twice a thumbnail's width: half of
        // it is plenty, and a quarter of the decoding work.
        PictureDecoder decoder(1, /*halfSize=*/m_request.width * 2 <= 1280);
        std::string damage = decoder.Send(bytes.data(), bytes.size(), t.decodeFrame);
        decoder.Drain();
        const AVFrame* picture = nullptr;
        for (PictureDecoder::Decoded out = decoder.Receive(); out.frame || !out.damage.empty();
             out = decoder.Receive()) {
            if (!out.damage.empty()) damage += (damage.empty() ? "" : "; ") + out.damage;
            if (out.frame) {
                picture = out.frame;
                break;
            }
        }
        t.damage = damage;
        if (!picture) {
            t.failure = "the decoder gives no picture for frame " + std::to_string(t.decodeFrame) +
                        (damage.empty() ? std::string() : ": " + damage);
            return t;
        }
        WriteJpeg(*picture, output, t);
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
    CUSharedPtr<FBCMovieStreamForQT> m_movie;
    ClipPictures m_result;
};

}  // namespace

ClipPictures ThumbnailMaker::Make(const ThumbnailRequest& request) {
    return ClipThumbnails(request).Run();
}

}  // namespace qzreport
