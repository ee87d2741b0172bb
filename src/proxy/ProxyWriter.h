#pragma once
// Writes one output set as a proxy MOV (ID.mov): the importer's pictures are
// decoded (libavcodec, frame threads on every core), passed through a
// libavfilter graph (deinterlacing for the H.264 daily, scaling to the
// proxy's size, its pixel format), encoded again and written by
// libavformat's mov writer with the original's start timecode, reel name,
// rate, field order, sound tracks (PCM as delivered; AAC in the H.264
// daily, which a browser plays) and metadata. Memory
// stays bounded: only the frames in flight in the codecs are held. The file
// is a CUOutputFile partial until the importer commits it; dropping the
// writer removes it. Failures throw qzimport::ImportError with libav's text.
// Used by one thread.
#include "ContainerPlan.h"
#include "DailySoundEncoder.h"
#include "LibavMessages.h"
#include "OutputWriter.h"
#include "ProxyPicture.h"
#include "SoundGathering.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct AVCodecContext;
struct AVFilterGraph;
struct AVFilterContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;

namespace qzrewrap {
class OutputFileIO;
}

namespace qzproxy {

class ProxyWriter : public qzimport::OutputWriter {
public:
    // `path`: the final name of the file, in a folder that exists.
    ProxyWriter(std::string path, qzimport::OutputOptions options);
    ~ProxyWriter() override;

    void Begin(const qzimport::ExportStreamInfo& stream) override;
    void WriteFrame(const qzimport::ExportFrame& frame) override;
    void Finish() override;
    std::vector<ComVantoVantoQZ64RADPlug::CUOutputFile*> Files() override;
    std::vector<std::pair<std::string, std::string>> RecordFacts() const override;

private:
    struct CodecFree {
        void operator()(AVCodecContext* codec) const;
    };
    struct GraphFree {
        void operator()(AVFilterGraph* graph) const;
    };
    struct FormatFree {
        void operator()(AVFormatContext* format) const;
    };
    struct FrameFree {
        void operator()(AVFrame* frame) const;
    };
    struct PacketFree {
        void operator()(AVPacket* packet) const;
    };

    void OpenDecoder();
    void OpenFilters();
    void OpenEncoder();
    void OpenFile();
    // Decoded pictures through the filters into the encoder; the encoder's
    // packets into the file. `draining`: the stage before has ended.
    void DrainDecoder();
    void DrainFilters();
    void DrainEncoder();
    void WriteSound(const qzimport::ExportFrame& frame);
    void FlushSound(size_t stream);
    // One of the daily's AAC packets, of sound stream `stream`, into the file.
    void WriteDailySound(size_t stream, AVPacket* packet);
    bool Daily() const { return m_picture.encoder == "libx264"; }
    void WritePacket(AVPacket* packet);
    // Throws ImportError naming `what` with libav's reason for a negative result.
    void Check(int result, const std::string& what) const;
    template <class LibavCall>
    int Call(const std::string& what, LibavCall call) {
        const int result = m_messages.During(call);
        Check(result, what);
        return result;
    }

    std::string m_path;
    qzimport::OutputOptions m_options;
    qzimport::ExportStreamInfo m_stream;
    qzrewrap::ContainerPlan m_plan;
    ProxyPicture m_picture;
    qzrewrap::LibavMessages m_messages;

    std::unique_ptr<AVCodecContext, CodecFree> m_decoder;
    std::unique_ptr<AVFilterGraph, GraphFree> m_graph;
    AVFilterContext* m_source = nullptr;  // owned by the graph
    AVFilterContext* m_sink = nullptr;
    std::unique_ptr<AVCodecContext, CodecFree> m_encoder;
    std::unique_ptr<ComVantoVantoQZ64RADPlug::CUOutputFile> m_file;
    std::unique_ptr<qzrewrap::OutputFileIO> m_io;
    std::unique_ptr<AVFormatContext, FormatFree> m_format;
    std::unique_ptr<AVFrame, FrameFree> m_frame;
    std::unique_ptr<AVFrame, FrameFree> m_filtered;
    std::unique_ptr<AVPacket, PacketFree> m_packet;

    uint64_t m_pictures = 0;  // delivered
    int64_t m_decoded = 0;    // pictures out of the decoder, in presentation order
    uint64_t m_encoded = 0;   // packets written
    qzrewrap::SoundGathering m_sound;
    std::unique_ptr<DailySoundEncoder> m_dailySound;  // the daily's only
    enum class State { kNew, kWriting, kFinished } m_state = State::kNew;
};

}  // namespace qzproxy
