#pragma once
// Turns the ingest records of the pieces of one output set into the frames
// its writer takes. The output starts at a picture that decodes: when the
// first picture is the I picture of an open group of pictures, the B
// pictures stored after it that present before it (they refer to the group
// before, which is not in the output) are left out, with the sound of
// their frame slots, and its GOP header is marked broken_link. Times are
// counted from the first presented picture and run on across pieces. The
// writer is begun at the first record, once the start is known. Used by
// one thread.
#include "ClipIngest.h"
#include "ExportFrame.h"
#include "ExportStreamInfo.h"
#include "OutputWriter.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qzimport {

class OutputAssembler {
public:
    // `writer` may be null (an import that writes nothing). `stream` holds
    // what is known before the start (coding, tracks, metadata);
    // `laterFrames` the presented pictures of the pieces after the first.
    OutputAssembler(OutputWriter* writer, ExportStreamInfo stream, uint64_t laterFrames);

    // Before the records of each piece; `piece` is used from the second on.
    void StartPiece(ClipIngest& ingest, const ExportPieceInfo& piece);
    void Add(const IngestRecord& record);
    // After the records of each piece, while its ingest is still open.
    void FinishPiece();

    // Known after the first record.
    const ExportStreamInfo& Stream() const { return m_stream; }
    uint32_t FirstPresentedSlot() const { return m_firstSlot; }  // of the first piece
    uint32_t LeftOutPictures() const { return m_leftOut; }
    uint64_t PicturesPresented() const { return m_pictures; }
    uint64_t StereoSamples() const { return m_stereoSamples; }
    uint64_t TrackSamples() const { return m_trackSamples; }
    uint64_t PictureBytes() const { return m_pictureBytes; }
    // Timecodes (decode order) of the first and last picture delivered;
    // none before any picture, or when the clip gives that picture none.
    const std::optional<std::string>& FirstDeliveredTimecode() const { return m_firstDelivered; }
    const std::optional<std::string>& LastDeliveredTimecode() const { return m_lastDelivered; }
    // Timecode of the first presented picture of the first piece (the
    // stream's start timecode); none when the clip gives it none.
    const std::optional<std::string>& StartTimecode() const { return m_startTimecode; }

private:
    void BeginOutput(const IngestRecord& first);

    OutputWriter* m_writer;
    ExportStreamInfo m_stream;
    uint64_t m_laterFrames;
    ClipIngest* m_ingest = nullptr;
    size_t m_piece = 0;
    bool m_begun = false;
    uint32_t m_firstSlot = 0;  // of the current piece: earlier slots are left out
    uint32_t m_leftOut = 0;
    int64_t m_timeOffset = 0;  // added to the current piece's times
    uint64_t m_pictures = 0;
    uint64_t m_stereoSamples = 0;
    uint64_t m_trackSamples = 0;
    uint64_t m_pictureBytes = 0;
    bool m_delivered = false;  // a picture was delivered
    std::optional<std::string> m_firstDelivered, m_lastDelivered, m_startTimecode;
    std::optional<uint32_t> m_lastDeliveredIndex;  // presented slot, in the current piece
    std::vector<uint8_t> m_firstPicture;           // the first picture, with broken_link set
    ExportFrame m_frame;
};

}  // namespace qzimport
