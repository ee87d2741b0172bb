#include "ContainerWriter.h"

#include "CUFailure.h"
#include "CUOutputFile.h"
#include "ImportError.h"
#include "MovHeaderPatch.h"
#include "OutputFileIO.h"
#include "PcmSoundParameters.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/mathematics.h>
}

#include <algorithm>
#include <climits>
#include <cstring>

namespace qzrewrap {

using ComVantoVantoQZ64RADPlug::CUError;
using ComVantoVantoQZ64RADPlug::CUOutputFile;
using qzimport::ImportError;

namespace {

AVRational ToAV(const Rational& r) {
    return AVRational{static_cast<int>(r.num), static_cast<int>(r.den)};
}

std::string FieldOrderText(FieldOrder order) {
    switch (order) {
        case FieldOrder::kTopFieldFirst:
            return "top field first";
        case FieldOrder::kBottomFieldFirst:
            return "bottom field first";
        default:
            return "progressive";
    }
}

}  // namespace

void ContainerWriter::FormatFree::operator()(AVFormatContext* format) const {
    avformat_free_context(format);  // the custom I/O is not closed by it: OutputFileIO owns it
}

void ContainerWriter::PacketFree::operator()(AVPacket* packet) const {
    av_packet_free(&packet);
}

ContainerWriter::ContainerWriter(Container container, std::string path, qzimport::OutputOptions options)
    : m_container(container), m_path(std::move(path)), m_options(options) {}

ContainerWriter::~ContainerWriter() = default;

void ContainerWriter::Check(int result, const std::string& what) const {
    if (result >= 0) return;
    std::string message = m_messages.Describe(what, result);
    if (m_io) m_io->ThrowIfNoRoom();
    if (m_io && !m_io->Failure().empty()) message += ": " + m_io->Failure();
    throw ImportError(message);
}

void ContainerWriter::Begin(const qzimport::ExportStreamInfo& stream) {
    if (m_state != State::kNew) throw ImportError(m_path + " was begun twice");
    // PlanContainer refuses a stream whose times or rates libavformat cannot hold.
    m_stream = stream;
    m_plan = PlanContainer(m_container, stream, m_options);
    try {
        m_file = std::make_unique<CUOutputFile>(m_path, CUOutputFile::Caching::kBuffered,
                                                CUOutputFile::Digest::kContent);
    } catch (const CUError& e) {
        throw ImportError(e.what());
    }
    m_io = std::make_unique<OutputFileIO>(*m_file);
    const std::string muxer = ContainerName(m_container);
    AVFormatContext* format = nullptr;
    Call("libavformat has no " + muxer + " writer",
         [&] { return avformat_alloc_output_context2(&format, nullptr, muxer.c_str(), m_path.c_str()); });
    m_format.reset(format);
    m_messages.Listen(format);
    format->pb = m_io->Context();
    format->flags |= AVFMT_FLAG_CUSTOM_IO;
    m_packet.reset(av_packet_alloc());
    if (!m_packet) throw ImportError("no memory for a packet of " + m_path);

    AddPictureStream();
    AddSoundStreams();
    for (const auto& [key, value] : m_plan.metadata)
        av_dict_set(&format->metadata, key.c_str(), value.c_str(), 0);
    // libavformat's MXF writer takes the start timecode from the file's
    // metadata; the mov writer from the picture stream's (AddPictureStream).
    if (m_container == Container::kMxf && !m_plan.timecode.empty())
        av_dict_set(&format->metadata, "timecode", m_plan.timecode.c_str(), 0);
    WriteHeader();
    m_decodeShift = int64_t{stream.decodeDelayFrames} * stream.frameDuration;
    m_sound.Begin(m_plan.sound, m_stream.soundTracks, m_stream.bitsPerSample);
    m_state = State::kWriting;
}

void ContainerWriter::AddPictureStream() {
    AVStream* picture = avformat_new_stream(m_format.get(), nullptr);
    if (!picture) throw ImportError("no memory for the picture stream of " + m_path);
    AVCodecParameters& p = *picture->codecpar;
    p.codec_type = AVMEDIA_TYPE_VIDEO;
    p.codec_id = AV_CODEC_ID_MPEG2VIDEO;
    p.width = static_cast<int>(m_stream.width);
    p.height = static_cast<int>(m_stream.height);
    p.bit_rate = m_stream.bitRate;
    p.sample_aspect_ratio = picture->sample_aspect_ratio = ToAV(m_plan.pixelAspect);
    p.color_range = AVCOL_RANGE_MPEG;
    if (m_stream.hd) {
        p.color_primaries = AVCOL_PRI_BT709;
        p.color_trc = AVCOL_TRC_BT709;
        p.color_space = AVCOL_SPC_BT709;
    }
    const AVRational pictureRate{static_cast<int>(m_stream.timescale),
                                 static_cast<int>(m_stream.frameDuration)};
    picture->r_frame_rate = pictureRate;
    if (m_container == Container::kMov) {
        const std::string& tag = m_plan.codecTag;
        p.codec_tag = MKTAG(tag[0], tag[1], tag[2], tag[3]);
        // The mov writer replaces a set MPEG-2 tag with one it guesses from
        // the pixel format, size and a frame rate cut to an integer; without
        // a pixel format it keeps ours (the picture bytes are copied, never
        // decoded, so nothing else asks for it).
        p.format = AV_PIX_FMT_NONE;
        // Interleaved fields: QuickTime's 'fiel' ordering 9 (the field
        // holding the first line is displayed first: top field first) and
        // 14 (bottom field first); libavformat writes them for these two.
        p.field_order = m_plan.fieldOrder == FieldOrder::kTopFieldFirst      ? AV_FIELD_TB
                        : m_plan.fieldOrder == FieldOrder::kBottomFieldFirst ? AV_FIELD_BT
                                                                             : AV_FIELD_PROGRESSIVE;
        picture->time_base = AVRational{1, static_cast<int>(m_stream.timescale)};
        // The mov writer makes its timecode track count at the picture
        // stream's average frame rate: the timecode's own rate, which at 50
        // and 59.94 progressive is half the picture rate. The file's frame
        // rate comes from the packets' times, not from this value.
        picture->avg_frame_rate = m_plan.timecode.empty() ? pictureRate : ToAV(m_plan.timecodeRate);
        if (!m_plan.timecode.empty()) av_dict_set(&picture->metadata, "timecode", m_plan.timecode.c_str(), 0);
        if (!m_plan.reelName.empty())
            av_dict_set(&picture->metadata, "reel_name", m_plan.reelName.c_str(), 0);
    } else {
        // The MXF writer describes the picture (4:2:2, 8 bits) from its pixel
        // format and counts its edit units in the stream's time base.
        p.format = AV_PIX_FMT_YUV422P;
        p.field_order = m_plan.fieldOrder == FieldOrder::kTopFieldFirst      ? AV_FIELD_TT
                        : m_plan.fieldOrder == FieldOrder::kBottomFieldFirst ? AV_FIELD_BB
                                                                             : AV_FIELD_PROGRESSIVE;
        picture->time_base = av_inv_q(pictureRate);
        picture->avg_frame_rate = pictureRate;
    }
}

void ContainerWriter::AddSoundStreams() {
    for (const SoundStream& sound : m_plan.sound) {
        AVStream* stream = avformat_new_stream(m_format.get(), nullptr);
        if (!stream) throw ImportError("no memory for a sound stream of " + m_path);
        PcmSoundParameters::Describe(*stream->codecpar, m_stream, sound.channels);
        stream->time_base = AVRational{1, stream->codecpar->sample_rate};
        // Every channel plays: the mov writer enables only the first track
        // of a kind unless each is marked a default (Finish then takes them
        // out of the alternate groups the writer puts them in).
        stream->disposition = AV_DISPOSITION_DEFAULT;
    }
}

void ContainerWriter::WriteHeader() {
    AVDictionary* options = nullptr;
    // Every metadata key as it is, in a QuickTime 'keys' list (without it
    // the mov writer keeps only the keys it has an atom for).
    if (m_container == Container::kMov) av_dict_set(&options, "movflags", "use_metadata_tags", 0);
    const int result = m_messages.During([&] { return avformat_write_header(m_format.get(), &options); });
    const bool unused = av_dict_count(options) > 0;  // what the writer did not take stays behind
    av_dict_free(&options);
    Check(result, "cannot write the header of " + m_path);
    if (unused)
        throw ImportError("libavformat's " + ContainerName(m_container) + " writer refuses its options");
}

void ContainerWriter::WritePacket(int stream, const uint8_t* bytes, size_t size, int64_t pts, int64_t dts,
                                  int64_t duration, const AVRational& timeBase, bool key) {
    AVPacket* packet = m_packet.get();
    // Borrowed bytes in a packet without a buffer: libavformat copies what
    // it keeps and never writes into them.
    packet->data = const_cast<uint8_t*>(bytes);
    packet->size = static_cast<int>(size);
    packet->stream_index = stream;
    packet->pts = pts;
    packet->dts = dts;
    packet->duration = duration;
    packet->flags = key ? AV_PKT_FLAG_KEY : 0;
    av_packet_rescale_ts(packet, timeBase, m_format->streams[stream]->time_base);
    // The MXF writer groups each edit unit's packets in its interleaving
    // queue; the mov writer takes them in any order across streams, so they
    // go straight into the file without being queued or copied.
    if (m_container == Container::kMxf)
        Call("cannot write to " + m_path, [&] { return av_interleaved_write_frame(m_format.get(), packet); });
    else
        Call("cannot write to " + m_path, [&] { return av_write_frame(m_format.get(), packet); });
}

void ContainerWriter::WriteFrame(const qzimport::ExportFrame& frame) {
    if (m_state != State::kWriting)
        throw ImportError(std::string("a frame for ") + m_path +
                          (m_state == State::kNew ? " before its header" : " after its end"));
    if (frame.hasPicture) {
        const std::string which = "picture " + std::to_string(m_pictures) + " of " + m_path;
        if (!frame.picture || frame.pictureSize == 0 || frame.pictureSize > INT_MAX)
            throw ImportError(which + ": no bytes, or more than a packet holds");
        const int64_t dts = frame.decodeTime - m_decodeShift;
        if (dts > frame.presentationTime || frame.presentationTime < 0)
            throw ImportError(which +
                              (frame.presentationTime < 0
                                   ? ": presented before the first picture"
                                   : ": decoded more than " + std::to_string(m_stream.decodeDelayFrames) +
                                         " frames after it is presented"));
        int64_t pts = frame.presentationTime;
        if (m_pictures == 0) {
            m_firstPresentation = m_earliestPresentation = pts;
            m_firstDecode = dts;
            // The mov writer takes the first packet for the earliest
            // presented (time 0): told so, its edit list, durations and
            // timecode track are right, and Finish sets the true offset.
            if (m_container == Container::kMov) pts = 0;
        }
        m_earliestPresentation = std::min(m_earliestPresentation, frame.presentationTime);
        WritePacket(0, frame.picture, frame.pictureSize, pts, dts, m_stream.frameDuration,
                    AVRational{1, static_cast<int>(m_stream.timescale)}, frame.keyFrame);
        ++m_pictures;
    }
    if (frame.hasSound) WriteSound(frame);
}

void ContainerWriter::WriteSound(const qzimport::ExportFrame& frame) {
    m_sound.Add(frame, m_path);
    for (size_t s = 0; s < m_sound.Streams(); ++s)
        if (m_container == Container::kMxf || m_sound.Stream(s).samples >= m_stream.sampleRate / 2)
            FlushSound(s);
}

void ContainerWriter::FlushSound(size_t stream) {
    const SoundGathering::Pending& pending = m_sound.Stream(stream);
    if (pending.samples == 0) return;
    WritePacket(static_cast<int>(1 + stream), pending.bytes.data(), pending.bytes.size(), pending.start,
                pending.start, pending.samples, AVRational{1, static_cast<int>(m_stream.sampleRate)}, true);
    m_sound.Written(stream);
}

void ContainerWriter::Finish() {
    if (m_state != State::kWriting) throw ImportError(m_path + " was not begun, or finished twice");
    const bool correct = m_container == Container::kMov && m_pictures > 0 && m_firstPresentation != 0;
    if (correct && m_earliestPresentation != 0)
        throw ImportError(m_path + ": no picture is presented at time 0 (the earliest at " +
                          std::to_string(m_earliestPresentation) + ")");
    for (size_t s = 0; s < m_sound.Streams(); ++s) FlushSound(s);
    // The movie header is the last thing the mov writer writes (nothing of
    // it waits in an interleaving queue): kept, to set the first picture's
    // composition offset and the tracks' alternate groups in it.
    const int64_t headerAt = avio_tell(m_format->pb);
    if (m_container == Container::kMov) m_io->KeepWritesFrom(static_cast<uint64_t>(headerAt));
    Call("cannot complete " + m_path, [&] { return av_write_trailer(m_format.get()); });
    if (m_container == Container::kMov) {
        std::vector<uint8_t> header = m_io->KeptBytes();
        if (correct) {
            const AVRational from{1, static_cast<int>(m_stream.timescale)},
                to = m_format->streams[0]->time_base;
            // In the writer's time base, rounded as it rounds each time.
            const int64_t decode = av_rescale_q(m_firstDecode, from, to);
            WriteHeaderPatch(header, headerAt,
                             SetFirstCompositionOffset(header, -decode,
                                                       av_rescale_q(m_firstPresentation, from, to) - decode));
            m_firstOffsetSet = true;
        }
        WriteHeaderPatch(header, headerAt, ClearAlternateGroups(header));
    }
    m_state = State::kFinished;
}

void ContainerWriter::WriteHeaderPatch(const std::vector<uint8_t>& header, int64_t headerAt,
                                       const HeaderPatch& patch) {
    if (patch.length == 0) return;
    try {
        m_file->WriteAt(static_cast<uint64_t>(headerAt) + patch.offset, header.data() + patch.offset,
                        patch.length);
    } catch (const CUError& e) {
        throw ImportError(e.what());
    }
}

std::vector<ComVantoVantoQZ64RADPlug::CUOutputFile*> ContainerWriter::Files() {
    if (!m_file) return {};
    return {m_file.get()};
}

std::vector<std::pair<std::string, std::string>> ContainerWriter::RecordFacts() const {
    std::vector<std::pair<std::string, std::string>> facts = {{"container", ContainerName(m_container)}};
    if (m_container == Container::kMov) facts.emplace_back("codecTag", m_plan.codecTag);
    std::string order = FieldOrderText(m_plan.fieldOrder);
    if (m_container == Container::kMov)
        order += m_plan.fieldOrder == FieldOrder::kProgressive     ? " (fiel 1)"
                 : m_plan.fieldOrder == FieldOrder::kTopFieldFirst ? " (fiel 2, 9)"
                                                                   : " (fiel 2, 14)";
    facts.emplace_back("fieldOrder", order);
    if (!m_plan.timecode.empty()) {
        facts.emplace_back("timecode", m_plan.timecode);
        facts.emplace_back("timecodeRate", std::to_string(m_plan.timecodeRate.num) + "/" +
                                               std::to_string(m_plan.timecodeRate.den));
    }
    size_t stereo = 0;
    for (const SoundStream& sound : m_plan.sound) stereo += sound.channels == 2;
    facts.emplace_back("soundStreams", std::to_string(m_plan.sound.size() - stereo) + " mono, " +
                                           std::to_string(stereo) + " stereo, " +
                                           std::to_string(m_stream.bitsPerSample) + "-bit");
    if (m_container == Container::kMov)
        facts.emplace_back("firstPictureOffsetSet", m_firstOffsetSet ? "yes" : "no");
    return facts;
}

}  // namespace qzrewrap
