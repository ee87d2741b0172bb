#include "OutputAssembler.h"

#include "CUSharedPtr.h"
#include "ClipClock.h"
#include "ImportError.h"
#include "Mpeg2Headers.h"
#include "TimecodeInfo.h"

namespace qzimport {

using namespace ComVantoVantoQZ64RADPlug;

OutputAssembler::OutputAssembler(OutputWriter* writer, ExportStreamInfo stream, uint64_t laterFrames)
    : m_writer(writer), m_stream(std::move(stream)), m_laterFrames(laterFrames) {}

void OutputAssembler::StartPiece(ClipIngest& ingest, const ExportPieceInfo& piece) {
    m_ingest = &ingest;
    m_lastDeliveredIndex.reset();
    if (m_piece++ == 0) return;  // the first piece starts at its first record
    // Later pieces are whole clips that continue the stream: nothing of
    // them is left out.
    m_firstSlot = ingest.FirstIndex();
    m_timeOffset = static_cast<int64_t>(m_pictures) * m_stream.frameDuration -
                   int64_t{m_firstSlot} * m_stream.frameDuration;
    ExportPieceInfo info = piece;
    info.framesBefore = m_pictures;
    info.startTimecode = ingest.TimecodeOfSlot(m_firstSlot);
    if (m_writer) m_writer->BeginPiece(info);
}

void OutputAssembler::BeginOutput(const IngestRecord& first) {
    ClipIngest& ingest = *m_ingest;
    const int64_t duration = m_stream.frameDuration;
    uint32_t leading = 0;
    if (first.pictureType == Mpeg2Headers::kIntraPicture && first.presentationTime > first.decodeTime) {
        const std::optional<size_t> flags = Mpeg2Headers::GopFlagsOffset(first.picture, first.pictureSize);
        if (flags &&
            !(first.picture[*flags] & (Mpeg2Headers::kClosedGopBit | Mpeg2Headers::kBrokenLinkBit))) {
            leading = static_cast<uint32_t>((first.presentationTime - first.decodeTime) / duration);
            // Tell decoders that the B pictures that referred to the group
            // before were cut away.
            m_firstPicture.assign(first.picture, first.picture + first.pictureSize);
            m_firstPicture[*flags] |= Mpeg2Headers::kBrokenLinkBit;
        }
    }
    m_leftOut = leading;
    m_firstSlot = first.index + leading;
    m_timeOffset = -int64_t{m_firstSlot} * duration;

    CFBCClip& clip = ingest.Clip();
    const ClipClock clock = clip.Clock();
    m_stream.picturesPerTimecodeFrame = clock.PicturesPerLabel();
    m_stream.timecodeRate = clock.TimecodeBase();
    m_stream.dropFrame = clock.DropFrame();
    m_startTimecode = ingest.SlotTimecode(m_firstSlot);
    m_stream.startTimecode = m_startTimecode.value_or("-");
    m_stream.pictureInTimecodeFrame = m_firstSlot % clock.PicturesPerLabel();
    // The clip's first picture is the first its start timecode labels.
    const std::optional<int64_t> start =
        clock.FramesOfTimecode(CUDynamicCast<TimecodeInfo>(clip.ValueForTag(kClipValueStartTimecode)));
    m_stream.startFrame = start ? static_cast<uint64_t>(*start) + m_firstSlot : 0;
    m_stream.frames = uint64_t{ingest.LastIndex()} - m_firstSlot + 1 + m_laterFrames;
    m_begun = true;
    if (m_writer) m_writer->Begin(m_stream);
}

void OutputAssembler::Add(const IngestRecord& record) {
    if (!m_begun) BeginOutput(record);
    const int64_t duration = m_stream.frameDuration;
    const int64_t presentedSlot = record.presentationTime / duration;
    ExportFrame& frame = m_frame;
    frame.hasPicture = presentedSlot >= int64_t{m_firstSlot};
    const bool edited = !m_firstPicture.empty() && m_pictures == 0 && frame.hasPicture;
    frame.picture = edited ? m_firstPicture.data() : record.picture;
    frame.pictureSize = record.pictureSize;
    frame.decodeTime = record.decodeTime + m_timeOffset;
    frame.presentationTime = record.presentationTime + m_timeOffset;
    frame.keyFrame = record.pictureType == Mpeg2Headers::kIntraPicture;
    frame.hasSound = record.index >= m_firstSlot;
    frame.soundSamples = record.trackSamples;
    frame.trackSound = record.trackSound;
    frame.stereo = record.stereo;
    frame.stereoSize = record.stereoSize;
    if (frame.hasPicture) {
        const auto slot = static_cast<uint32_t>(presentedSlot);
        if (!m_delivered) m_firstDelivered = m_ingest->SlotTimecode(slot);
        m_delivered = true;
        m_lastDeliveredIndex = slot;
        ++m_pictures;
        m_pictureBytes += record.pictureSize;
    }
    if (frame.hasSound) {
        m_stereoSamples += record.stereoSize / 4;
        m_trackSamples += record.trackSamples;
    }
    if (m_writer && (frame.hasPicture || frame.hasSound)) m_writer->WriteFrame(frame);
}

void OutputAssembler::FinishPiece() {
    if (m_lastDeliveredIndex) m_lastDelivered = m_ingest->SlotTimecode(*m_lastDeliveredIndex);
}

}  // namespace qzimport
