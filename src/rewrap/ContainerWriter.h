#pragma once
// Writes one output set as one movie file (ID.mov or ID.mxf) through
// libavformat, in the shape of FFmpeg's remuxing example: one stream per
// track with its parameters set on purpose, the header, one packet per
// picture (decode order, with decode and presentation times) and per frame
// slot of sound, the trailer. The picture and sound bytes go into the file
// as delivered. The file is a CUOutputFile partial until the importer
// commits it; dropping the writer removes it. Failures throw
// qzimport::ImportError with libavformat's text. Used by one thread.
#include "ContainerPlan.h"
#include "LibavMessages.h"
#include "MovHeaderPatch.h"
#include "OutputWriter.h"
#include "SoundGathering.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct AVFormatContext;
struct AVPacket;
struct AVRational;

namespace qzrewrap {

class OutputFileIO;

class ContainerWriter : public qzimport::OutputWriter {
public:
    // `path`: the final name of the file, in a folder that exists.
    ContainerWriter(Container container, std::string path, qzimport::OutputOptions options);
    ~ContainerWriter() override;

    void Begin(const qzimport::ExportStreamInfo& stream) override;
    void WriteFrame(const qzimport::ExportFrame& frame) override;
    void Finish() override;
    std::vector<ComVantoVantoQZ64RADPlug::CUOutputFile*> Files() override;
    std::vector<std::pair<std::string, std::string>> RecordFacts() const override;

private:
    struct FormatFree {
        void operator()(AVFormatContext* format) const;
    };
    struct PacketFree {
        void operator()(AVPacket* packet) const;
    };

    void AddPictureStream();
    void AddSoundStreams();
    void WriteHeader();
    // Hands one packet of borrowed bytes to libavformat; times in units of
    // `timeBase`.
    void WritePacket(int stream, const uint8_t* bytes, size_t size, int64_t pts, int64_t dts,
                     int64_t duration, const AVRational& timeBase, bool key);
    void WriteSound(const qzimport::ExportFrame& frame);
    void FlushSound(size_t stream);
    // Writes the bytes `patch` changed in `header`, the movie header written at `headerAt`.
    void WriteHeaderPatch(const std::vector<uint8_t>& header, int64_t headerAt, const HeaderPatch& patch);
    // Throws ImportError naming `what` with libav's reason for a negative result.
    void Check(int result, const std::string& what) const;
    // Runs one libav call (its messages kept for the reason) and checks its result.
    template <class LibavCall>
    void Call(const std::string& what, LibavCall call) {
        Check(m_messages.During(call), what);
    }

    Container m_container;
    std::string m_path;
    qzimport::OutputOptions m_options;
    qzimport::ExportStreamInfo m_stream;
    ContainerPlan m_plan;
    LibavMessages m_messages;
    // Declared in the order they are made: the format context goes first,
    // then the I/O it writes through, then the file.
    std::unique_ptr<ComVantoVantoQZ64RADPlug::CUOutputFile> m_file;
    std::unique_ptr<OutputFileIO> m_io;
    std::unique_ptr<AVFormatContext, FormatFree> m_format;
    std::unique_ptr<AVPacket, PacketFree> m_packet;

    int64_t m_decodeShift = 0;  // subtracted from every decode time, in picture time units
    uint64_t m_pictures = 0;
    // Of the first picture in decode order (its decode time shifted).
    int64_t m_firstPresentation = 0;
    int64_t m_firstDecode = 0;
    int64_t m_earliestPresentation = 0;
    // The sound of each output stream not yet written: MOV gathers half a
    // second into one packet (a sample-table entry each, kept in memory by
    // the mov writer until its end: one per frame slot and track would be
    // megabytes at 30000 frames); MXF writes each frame slot's sound as its
    // edit unit's.
    SoundGathering m_sound;
    bool m_firstOffsetSet = false;  // the mov header's first composition offset set after the writer
    enum class State { kNew, kWriting, kFinished } m_state = State::kNew;
};

}  // namespace qzrewrap
