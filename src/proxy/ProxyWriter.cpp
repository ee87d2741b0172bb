#include "ProxyWriter.h"

#include "CUFailure.h"
#include "CUOutputFile.h"
#include "ImportError.h"
#include "MovHeaderPatch.h"
#include "OutputFileIO.h"
#include "PcmSoundParameters.h"
#include "ProxyFilterChain.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/mathematics.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

#include <climits>
#include <cstring>

namespace qzproxy {

using ComVantoVantoQZ64RADPlug::CUError;
using ComVantoVantoQZ64RADPlug::CUOutputFile;
using qzimport::ImportError;
using qzrewrap::Container;
using qzrewrap::PcmSoundParameters;
using qzrewrap::SoundGathering;
using qzrewrap::SoundStream;

void ProxyWriter::CodecFree::operator()(AVCodecContext* codec) const {
    avcodec_free_context(&codec);
}
void ProxyWriter::GraphFree::operator()(AVFilterGraph* graph) const {
    avfilter_graph_free(&graph);
}
void ProxyWriter::FormatFree::operator()(AVFormatContext* format) const {
    avformat_free_context(format);  // the custom I/O is OutputFileIO's
}
void ProxyWriter::FrameFree::operator()(AVFrame* frame) const {
    av_frame_free(&frame);
}
void ProxyWriter::PacketFree::operator()(AVPacket* packet) const {
    av_packet_free(&packet);
}

ProxyWriter::ProxyWriter(std::string path, qzimport::OutputOptions options)
    : m_path(std::move(path)), m_options(std::move(options)) {
    m_messages.ListenToAll();
}

ProxyWriter::~ProxyWriter() = default;

void ProxyWriter::Check(int result, const std::string& what) const {
    if (result >= 0) return;
    std::string message = m_messages.Describe(what, result);
    if (m_io) m_io->ThrowIfNoRoom();
    if (m_io && !m_io->Failure().empty()) message += ": " + m_io->Failure();
    throw ImportError(message);
}

void ProxyWriter::Begin(const qzimport::ExportStreamInfo& stream) {
    if (m_state != State::kNew) throw ImportError(m_path + " was begun twice");
    // PlanContainer refuses a stream whose times or rates libavformat cannot hold.
    m_stream = stream;
    m_plan = qzrewrap::PlanContainer(Container::kMov, stream, m_options);
    m_picture = PlanProxyPicture(m_options, stream);
    m_frame.reset(av_frame_alloc());
    m_filtered.reset(av_frame_alloc());
    m_packet.reset(av_packet_alloc());
    if (!m_frame || !m_filtered || !m_packet) throw ImportError("no memory for the frames of " + m_path);
    OpenDecoder();
    OpenFilters();
    OpenEncoder();
    OpenFile();
    m_sound.Begin(m_plan.sound, m_stream.soundTracks, m_stream.bitsPerSample);
    m_state = State::kWriting;
}

void ProxyWriter::OpenDecoder() {
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_MPEG2VIDEO);
    if (!codec) throw ImportError("libavcodec has no MPEG-2 decoder");
    m_decoder.reset(avcodec_alloc_context3(codec));
    if (!m_decoder) throw ImportError("no memory for the decoder of " + m_path);
    m_decoder->thread_count = 0;  // one per core
    m_decoder->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    m_decoder->pkt_timebase = AVRational{1, static_cast<int>(m_stream.timescale)};
    Call("cannot open the MPEG-2 decoder", [&] { return avcodec_open2(m_decoder.get(), codec, nullptr); });
}

void ProxyWriter::OpenFilters() {
    m_graph.reset(avfilter_graph_alloc());
    if (!m_graph) throw ImportError("no memory for the filters of " + m_path);
    // The source's parameters are the original's; the decoder's pixel format
    // is 4:2:2 or 4:2:0 as the pictures are coded, so it is set from the
    // first decoded picture (OpenFilters runs again then if it differs).
    const std::string source =
        "video_size=" + std::to_string(m_stream.width) + "x" + std::to_string(m_stream.height) + ":pix_fmt=" +
        std::to_string(m_decoder->pix_fmt == AV_PIX_FMT_NONE ? AV_PIX_FMT_YUV422P : m_decoder->pix_fmt) +
        ":time_base=" + std::to_string(m_stream.frameDuration) + "/" + std::to_string(m_stream.timescale) +
        ":pixel_aspect=1/1";
    ProxyFilterChain::Build(*m_graph, ProxyFilterChain::Plan(m_stream, m_picture, m_options), source,
                            m_messages, m_source, m_sink);
}

void ProxyWriter::OpenEncoder() {
    const AVCodec* codec = avcodec_find_encoder_by_name(m_picture.encoder.c_str());
    if (!codec) throw ImportError("libavcodec has no " + m_picture.encoder + " encoder");
    m_encoder.reset(avcodec_alloc_context3(codec));
    if (!m_encoder) throw ImportError("no memory for the encoder of " + m_path);
    AVCodecContext& e = *m_encoder;
    e.width = static_cast<int>(m_picture.width);
    e.height = static_cast<int>(m_picture.height);
    e.pix_fmt = av_get_pix_fmt(m_picture.pixelFormat.c_str());
    e.time_base = AVRational{static_cast<int>(m_stream.frameDuration), static_cast<int>(m_stream.timescale)};
    e.framerate = av_inv_q(e.time_base);
    e.sample_aspect_ratio =
        AVRational{static_cast<int>(m_picture.pixelAspectNum), static_cast<int>(m_picture.pixelAspectDen)};
    e.color_range = AVCOL_RANGE_MPEG;
    if (m_stream.hd) {
        e.color_primaries = AVCOL_PRI_BT709;
        e.color_trc = AVCOL_TRC_BT709;
        e.colorspace = AVCOL_SPC_BT709;
    }
    e.field_order = !m_picture.interlaced     ? AV_FIELD_PROGRESSIVE
                    : m_picture.topFieldFirst ? AV_FIELD_TB
                                              : AV_FIELD_BT;
    // ProRes codes the two fields apart; DNxHR codes no fields, so its
    // pictures hold both fields woven (scaled apart) and only the container
    // says which comes first.
    if (m_picture.interlaced && m_picture.encoder == "prores_ks") e.flags |= AV_CODEC_FLAG_INTERLACED_DCT;
    e.thread_count = 0;
    e.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;  // the mov writer keeps codec headers in the sample description
    AVDictionary* options = nullptr;
    if (m_picture.encoder == "libx264") {
        av_dict_set(&options, "preset", "veryfast", 0);
        av_dict_set(&options, "crf", "23", 0);
        av_dict_set(&options, "x264-params", "log=-1", 0);  // its statistics are not ours to print
    } else {
        av_dict_set(&options, "profile", m_picture.profile.c_str(), 0);
    }
    const int opened = m_messages.During([&] { return avcodec_open2(m_encoder.get(), codec, &options); });
    av_dict_free(&options);
    Check(opened, "cannot open the " + m_picture.encoder + " encoder");
}

void ProxyWriter::OpenFile() {
    try {
        m_file = std::make_unique<CUOutputFile>(m_path, CUOutputFile::Caching::kBuffered,
                                                CUOutputFile::Digest::kContent);
    } catch (const CUError& e) {
        throw ImportError(e.what());
    }
    m_io = std::make_unique<qzrewrap::OutputFileIO>(*m_file);
    AVFormatContext* format = nullptr;
    Call("libavformat has no mov writer",
         [&] { return avformat_alloc_output_context2(&format, nullptr, "mov", m_path.c_str()); });
    m_format.reset(format);
    m_messages.Listen(format);
    format->pb = m_io->Context();
    format->flags |= AVFMT_FLAG_CUSTOM_IO;

    AVStream* picture = avformat_new_stream(format, nullptr);
    if (!picture) throw ImportError("no memory for the picture stream of " + m_path);
    Call("cannot describe the proxy's pictures",
         [&] { return avcodec_parameters_from_context(picture->codecpar, m_encoder.get()); });
    picture->sample_aspect_ratio = m_encoder->sample_aspect_ratio;
    // QuickTime's 'fiel' (9: top field first, 14: bottom): said for every
    // interlaced proxy, whether its codec codes fields or not (for DNxHR,
    // which the writer leaves without one, Finish adds it).
    picture->codecpar->field_order = m_encoder->field_order;
    picture->time_base = AVRational{1, static_cast<int>(m_stream.timescale)};
    const AVRational pictureRate = m_encoder->framerate;
    picture->r_frame_rate = pictureRate;
    // The timecode track counts at the timecode's own rate, as the MOV export's.
    picture->avg_frame_rate = m_plan.timecode.empty() ? pictureRate
                                                      : AVRational{static_cast<int>(m_plan.timecodeRate.num),
                                                                   static_cast<int>(m_plan.timecodeRate.den)};
    if (!m_plan.timecode.empty()) av_dict_set(&picture->metadata, "timecode", m_plan.timecode.c_str(), 0);
    if (!m_plan.reelName.empty()) av_dict_set(&picture->metadata, "reel_name", m_plan.reelName.c_str(), 0);

    if (Daily()) {
        m_dailySound = std::make_unique<DailySoundEncoder>(m_path, m_messages);
        m_dailySound->Open(m_plan.sound, m_stream.sampleRate, m_stream.bitsPerSample);
    }
    for (size_t s = 0; s < m_plan.sound.size(); ++s) {
        const SoundStream& sound = m_plan.sound[s];
        AVStream* stream = avformat_new_stream(format, nullptr);
        if (!stream) throw ImportError("no memory for a sound stream of " + m_path);
        AVCodecParameters& p = *stream->codecpar;
        if (m_dailySound) {
            Call("cannot describe the daily's sound",
                 [&] { return avcodec_parameters_from_context(&p, &m_dailySound->Encoder(s)); });
        } else {
            PcmSoundParameters::Describe(p, m_stream, sound.channels);
        }
        stream->time_base = AVRational{1, static_cast<int>(m_stream.sampleRate)};
        // Every channel plays, as in the MOV export: the writer enables only
        // the first track of a kind unless each is a default (Finish takes
        // them out of its alternate groups).
        if (!m_dailySound) stream->disposition = AV_DISPOSITION_DEFAULT;
    }
    for (const auto& [key, value] : m_plan.metadata)
        av_dict_set(&format->metadata, key.c_str(), value.c_str(), 0);

    AVDictionary* options = nullptr;
    // Every metadata key in a QuickTime 'keys' list.
    av_dict_set(&options, "movflags", "use_metadata_tags", 0);
    // The daily's index goes first, so a browser plays it while it loads:
    // room for it is kept at the start (the writer cannot move the file's
    // bytes, which go to a partial through our own I/O). A picture's
    // sample-table entries take at most 24 bytes (size, composition
    // offset, key frame, chunk), an AAC packet's 16 (size, chunk); a
    // picture lasts at most 1/23.976 s, two 1024-sample packets at 48 kHz.
    if (Daily()) {
        const uint64_t packetsPerPicture =
            m_stream.sampleRate > 0
                ? (uint64_t{m_stream.sampleRate} * m_stream.frameDuration / m_stream.timescale) / 1024 + 1
                : 0;
        const uint64_t bytes =
            (64u << 10) + m_stream.frames * (24 + 16 * packetsPerPicture * m_plan.sound.size());
        av_dict_set(&options, "moov_size", std::to_string(bytes).c_str(), 0);
    }
    const int result = m_messages.During([&] { return avformat_write_header(format, &options); });
    const bool unused = av_dict_count(options) > 0;
    av_dict_free(&options);
    Check(result, "cannot write the header of " + m_path);
    if (unused) throw ImportError("libavformat's mov writer refuses its options");
}

void ProxyWriter::WriteFrame(const qzimport::ExportFrame& frame) {
    if (m_state != State::kWriting)
        throw ImportError(std::string("a frame for ") + m_path +
                          (m_state == State::kNew ? " before its header" : " after its end"));
    if (frame.hasPicture) {
        const std::string which = "picture " + std::to_string(m_pictures) + " of " + m_path;
        if (!frame.picture || frame.pictureSize == 0 || frame.pictureSize > INT_MAX)
            throw ImportError(which + ": no bytes, or more than a packet holds");
        AVPacket* packet = m_packet.get();
        av_packet_unref(packet);
        // Borrowed bytes: the decoder copies a packet without a buffer.
        packet->data = const_cast<uint8_t*>(frame.picture);
        packet->size = static_cast<int>(frame.pictureSize);
        packet->pts = frame.presentationTime;
        packet->dts = frame.decodeTime;
        packet->flags = frame.keyFrame ? AV_PKT_FLAG_KEY : 0;
        Call("cannot decode " + which, [&] { return avcodec_send_packet(m_decoder.get(), packet); });
        packet->data = nullptr;
        packet->size = 0;
        ++m_pictures;
        DrainDecoder();
    }
    if (frame.hasSound) WriteSound(frame);
}

void ProxyWriter::DrainDecoder() {
    for (;;) {
        const int got =
            m_messages.During([&] { return avcodec_receive_frame(m_decoder.get(), m_frame.get()); });
        if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return;
        Check(got, "cannot decode the pictures of " + m_path);
        if (m_decoded == 0 && m_frame->format != AV_PIX_FMT_YUV422P) {
            // The graph was made for 4:2:2 pictures: made again for these.
            m_graph.reset();
            OpenFilters();
        }
        m_frame->sample_aspect_ratio = AVRational{1, 1};
        if (!m_options.proxyBurnIn.empty())
            av_dict_set(
                &m_frame->metadata, ProxyFilterChain::kBurnInKey,
                ProxyFilterChain::BurnInText(m_stream, m_options, static_cast<uint64_t>(m_decoded)).c_str(),
                0);
        m_frame->pts = m_decoded++;  // in frame durations, presentation order
        Call("cannot filter the pictures of " + m_path, [&] {
            return av_buffersrc_add_frame_flags(m_source, m_frame.get(), AV_BUFFERSRC_FLAG_KEEP_REF);
        });
        av_frame_unref(m_frame.get());
        DrainFilters();
    }
}

void ProxyWriter::DrainFilters() {
    for (;;) {
        const int got = m_messages.During([&] { return av_buffersink_get_frame(m_sink, m_filtered.get()); });
        if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return;
        Check(got, "cannot filter the pictures of " + m_path);
        AVFrame* f = m_filtered.get();
        // The deinterlacer counts in half frames: times go to the encoder in its own units.
        f->pts = av_rescale_q(f->pts, av_buffersink_get_time_base(m_sink), m_encoder->time_base);
        f->pict_type = AV_PICTURE_TYPE_NONE;
        f->sample_aspect_ratio = m_encoder->sample_aspect_ratio;
        f->interlaced_frame = m_picture.interlaced && m_picture.encoder == "prores_ks" ? 1 : 0;
        f->top_field_first = m_picture.interlaced && m_picture.topFieldFirst ? 1 : 0;
        Call("cannot encode the pictures of " + m_path,
             [&] { return avcodec_send_frame(m_encoder.get(), f); });
        av_frame_unref(f);
        DrainEncoder();
    }
}

void ProxyWriter::DrainEncoder() {
    for (;;) {
        const int got =
            m_messages.During([&] { return avcodec_receive_packet(m_encoder.get(), m_packet.get()); });
        if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return;
        Check(got, "cannot encode the pictures of " + m_path);
        m_packet->stream_index = 0;
        m_packet->duration = 1;  // one picture: not every encoder sets it, and the writer times samples by it
        av_packet_rescale_ts(m_packet.get(), m_encoder->time_base, m_format->streams[0]->time_base);
        WritePacket(m_packet.get());
        ++m_encoded;
    }
}

void ProxyWriter::WritePacket(AVPacket* packet) {
    Call("cannot write to " + m_path, [&] { return av_interleaved_write_frame(m_format.get(), packet); });
}

void ProxyWriter::WriteSound(const qzimport::ExportFrame& frame) {
    m_sound.Add(frame, m_path);
    if (m_dailySound) {
        const auto sink = [this](size_t stream, AVPacket* packet) { WriteDailySound(stream, packet); };
        for (size_t s = 0; s < m_sound.Streams(); ++s) {
            const SoundGathering::Pending& pending = m_sound.Stream(s);
            m_dailySound->Add(s, pending.bytes.data(), pending.bytes.size(), sink);
            m_sound.Written(s);
        }
        return;
    }
    // A tenth of a second a packet: few sample-table entries, and the
    // interleaving queue holds little while the picture codecs lag.
    for (size_t s = 0; s < m_sound.Streams(); ++s)
        if (m_sound.Stream(s).samples >= m_stream.sampleRate / 10) FlushSound(s);
}

void ProxyWriter::FlushSound(size_t stream) {
    const SoundGathering::Pending& pending = m_sound.Stream(stream);
    if (pending.samples == 0) return;
    AVPacket* packet = m_packet.get();
    av_packet_unref(packet);
    // The interleaving writer copies a packet it does not own, and never
    // writes to it.
    packet->data = const_cast<uint8_t*>(pending.bytes.data());
    packet->size = static_cast<int>(pending.bytes.size());
    packet->stream_index = static_cast<int>(1 + stream);
    packet->pts = packet->dts = pending.start;
    packet->duration = pending.samples;
    packet->flags = AV_PKT_FLAG_KEY;
    av_packet_rescale_ts(packet, AVRational{1, static_cast<int>(m_stream.sampleRate)},
                         m_format->streams[1 + stream]->time_base);
    WritePacket(packet);
    packet->data = nullptr;
    packet->size = 0;
    m_sound.Written(stream);
}

void ProxyWriter::WriteDailySound(size_t stream, AVPacket* packet) {
    packet->stream_index = static_cast<int>(1 + stream);
    av_packet_rescale_ts(packet, AVRational{1, static_cast<int>(m_stream.sampleRate)},
                         m_format->streams[1 + stream]->time_base);
    WritePacket(packet);
}

void ProxyWriter::Finish() {
    if (m_state != State::kWriting) throw ImportError(m_path + " was not begun, or finished twice");
    Call("cannot decode the last pictures of " + m_path,
         [&] { return avcodec_send_packet(m_decoder.get(), nullptr); });
    DrainDecoder();
    Call("cannot filter the last pictures of " + m_path,
         [&] { return av_buffersrc_add_frame_flags(m_source, nullptr, 0); });
    DrainFilters();
    Call("cannot encode the last pictures of " + m_path,
         [&] { return avcodec_send_frame(m_encoder.get(), nullptr); });
    DrainEncoder();
    if (static_cast<uint64_t>(m_decoded) != m_pictures)
        throw ImportError(m_path + ": " + std::to_string(m_pictures) + " pictures delivered, " +
                          std::to_string(m_decoded) + " decoded");
    if (m_dailySound)
        m_dailySound->Finish([this](size_t stream, AVPacket* packet) { WriteDailySound(stream, packet); });
    else
        for (size_t s = 0; s < m_sound.Streams(); ++s) FlushSound(s);
    // The movie header, the last thing the writer writes, is kept and
    // patched for what the writer cannot be told: every sound track plays
    // (out of the alternate groups it puts them in), and a DNxHR proxy,
    // whose codec codes no fields, says whether its pictures hold one field
    // or two woven, and which comes first. The daily's header is written at
    // its start, and a browser plays one sound track.
    const bool patchHeader = !Daily();
    // The packets still waiting to be interleaved go first: then the
    // trailer writes only the header.
    Call("cannot write to " + m_path, [&] { return av_interleaved_write_frame(m_format.get(), nullptr); });
    const int64_t headerAt = avio_tell(m_format->pb);
    if (patchHeader) m_io->KeepWritesFrom(static_cast<uint64_t>(headerAt));
    Call("cannot complete " + m_path, [&] { return av_write_trailer(m_format.get()); });
    if (patchHeader) {
        std::vector<uint8_t> header = m_io->KeptBytes();
        const size_t written = header.size();
        bool changed = qzrewrap::ClearAlternateGroups(header).length > 0;
        if (m_picture.encoder == "dnxhd")
            changed |= qzrewrap::AddFieldAtom(header, m_picture.interlaced ? 2 : 1,
                                              !m_picture.interlaced     ? 0
                                              : m_picture.topFieldFirst ? 9
                                                                        : 14);
        if (changed) try {
                m_file->WriteAt(static_cast<uint64_t>(headerAt), header.data(), written);
                m_file->Write(header.data() + written, header.size() - written);
            } catch (const CUError& e) {
                throw ImportError(e.what());
            }
    }
    m_state = State::kFinished;
}

std::vector<ComVantoVantoQZ64RADPlug::CUOutputFile*> ProxyWriter::Files() {
    if (!m_file) return {};
    return {m_file.get()};
}

std::vector<std::pair<std::string, std::string>> ProxyWriter::RecordFacts() const {
    std::vector<std::pair<std::string, std::string>> facts = {
        {"container", "mov"},
        {"codec", m_picture.codec},
        {"size", std::to_string(m_picture.width) + "x" + std::to_string(m_picture.height)},
        {"pixelAspect",
         std::to_string(m_picture.pixelAspectNum) + ":" + std::to_string(m_picture.pixelAspectDen)},
        {"fieldOrder", !m_picture.interlaced
                           ? (m_stream.interlaced ? "progressive (deinterlaced)" : "progressive")
                       : m_picture.topFieldFirst ? "top field first"
                                                 : "bottom field first"}};
    if (!m_plan.timecode.empty()) facts.emplace_back("timecode", m_plan.timecode);
    return facts;
}

}  // namespace qzproxy
