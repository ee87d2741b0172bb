#pragma once
// One clip imported through its clip descriptor's ingest object, as a host
// imports it: one record per frame in decode order over a range of the
// clip, each with its picture (the bytes of the plug-in's video sample
// buffer, in place), its decode and presentation times, the plug-in's stereo audio
// and, when asked, the sound of every track of the frame slot read through
// the movie layer over the same frames. The range is closed in
// presentation: the pictures it delivers present exactly the frame slots it
// covers, so its sound and its pictures cover the same time. Failures throw
// ImportError naming the frame; an interrupting signal throws CUInterrupted
// between frames. Used by one thread.
#include "CFBCClip.h"
#include "CUSharedPtr.h"
#include "FBCMovieSample.h"
#include "MIORADClipDataSourceProtocol.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qzimport {

struct IngestRecord {
    uint32_t index = 0;                // decode-order frame index in the clip, which is also its frame slot
    const uint8_t* picture = nullptr;  // the buffer's bytes, valid during the visit
    size_t pictureSize = 0;
    uint8_t pictureType = 0;  // 1 I, 2 P, 3 B (the picture header's picture_coding_type)
    // Units of Timescale() from the clip's first frame, as the video sample
    // buffer gives them.
    int64_t decodeTime = 0;
    int64_t presentationTime = 0;
    uint32_t timecodeCounter = 0;     // of the picture it presents, as the ingest record gives it
    const uint8_t* stereo = nullptr;  // 16-bit interleaved, host byte order
    size_t stereoSize = 0;
    // Sound of the frame slot, one run per track (when read), little-endian.
    std::vector<const uint8_t*> trackSound;
    uint32_t trackSamples = 0;
};

class ClipIngest {
public:
    // Opens the clip's frames through the movie layer. Throws ImportError
    // when they cannot be read.
    ClipIngest(ComVantoVantoQZ64RADPlug::MIORADClipDataSourceProtocol& descriptor,
               ComVantoVantoQZ64RADPlug::CFBCClip& clip);
    ~ClipIngest();
    ClipIngest(const ClipIngest&) = delete;
    ClipIngest& operator=(const ClipIngest&) = delete;

    // The range in presentation order (0 = the clip's first picture, both
    // inclusive). The start moves back to the key frame the plug-in starts
    // from; the end moves on to the last picture of its group, so that no
    // picture presented inside the range is left out. Indices past the
    // clip are clamped: the caller refuses them first.
    void SetRange(std::optional<uint32_t> inFrame, std::optional<uint32_t> outFrame);
    // Whether the sound of every track is read for each record.
    void ReadTrackSound(bool read) { m_readTracks = read; }

    uint32_t FrameCount() const;                     // of the clip
    uint32_t FirstIndex() const { return m_first; }  // decode order, inclusive
    uint32_t LastIndex() const { return m_last; }
    uint64_t RecordCount() const { return uint64_t{m_last} - m_first + 1; }
    int32_t DisplayOffset(uint32_t index);
    // Bytes of the pictures in the range, as the index tells them (edit units
    // less their sound): an upper bound by the elements' keys, read without
    // touching the essence.
    uint64_t PictureBytes();
    // Frames a decode time may lie after its presentation time in the range.
    uint32_t DecodeDelayFrames();

    int64_t Timescale() const { return m_timescale; }
    int64_t FrameDuration() const { return m_frameDuration; }
    uint32_t SoundTracks() const;
    uint32_t BitsPerSample() const;
    uint32_t SampleRate() const;
    // The movie's picture rate and the sound rate, with the clip's timecode.
    ComVantoVantoQZ64RADPlug::ClipClock Clock() const;
    ComVantoVantoQZ64RADPlug::CFBCClip& Clip() { return m_clip; }
    ComVantoVantoQZ64RADPlug::MIORADClipDataSourceProtocol& Descriptor() { return m_descriptor; }

    // Delivers the records of the range, in decode order, while `visit`
    // returns true (false: the import stops there, as one that ended).
    void Run(const std::function<bool(const IngestRecord&)>& visit);

    // "HH:MM:SS:FF" of the picture presented in frame slot `slot`; none when
    // the clip gives it none.
    std::optional<std::string> SlotTimecode(uint32_t slot);
    // SlotTimecode as messages show it: "-" for none.
    std::string TimecodeOfSlot(uint32_t slot);
    // "frame N (HH:MM:SS:FF)", the way messages name a frame.
    std::string FrameText(uint32_t slot);

private:
    ComVantoVantoQZ64RADPlug::MIORADClipDataSourceProtocol& m_descriptor;
    ComVantoVantoQZ64RADPlug::CFBCClip& m_clip;
    ComVantoVantoQZ64RADPlug::CUSharedPtr<ComVantoVantoQZ64RADPlug::FBCMovieSample> m_movie;
    int64_t m_timescale = 0;
    int64_t m_frameDuration = 0;
    uint32_t m_first = 0;
    uint32_t m_last = 0;
    std::optional<uint32_t> m_inFrame;
    std::optional<uint32_t> m_outFrame;
    bool m_readTracks = false;
};

}  // namespace qzimport
