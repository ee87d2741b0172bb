#pragma once
// One clip, recorded as one or more MXF files, as a single stream of frames
// numbered 0 .. FrameCountInClip() - 1 in stored (decode) order: which file
// and edit unit holds each frame, its index-table values, its display
// offset, its essence bytes, and the clip's tracks and timecode values.
// Files are opened only when a frame of theirs is first asked for and are
// never written.
// Thread safety: one recursive lock (LockObject) guards the whole object,
// and the layers built on this class take the same lock; every operation
// but MxfTrackInfoFromType, StreamInfoCount, StreamInfoAtIndex,
// LastAccessInfo and LockObject holds it for its whole run.
#include "CUFailure.h"
#include "CUObject.h"
#include "CURecursiveLock.h"
#include "CUSharedPtr.h"
#include "FBCMovieTypes.h"
#include "MXFStream.h"

#include <cstdint>
#include <map>
#include <vector>

namespace ComVantoVantoQZ64RADPlug {

class MXFStream;
class STTrack;

class FBCMovieStream : public virtual CUObject {
public:
    FBCMovieStream();
    ~FBCMovieStream() override;

    // Empty when Init fails.
    static CUSharedPtr<FBCMovieStream> Create(const CUSharedPtr<CUStringMac>& path);

    // A clip information file (".CIF") or a single MXF file (".MXF"), either
    // case; then the track list and the timecode values. True when the file
    // list and the track list were built.
    bool Init(const CUSharedPtr<CUStringMac>& path);
    bool InitWithCIF(const CUSharedPtr<CUStringMac>& path);
    bool InitWithMXF(const CUSharedPtr<CUStringMac>& path);
    bool UpdateMovieTrack();
    bool UpdateTimecodeInfo();

    // Frames of the clip: the smaller of the stored duration and the sum of
    // the member files' frame counts.
    uint32_t FrameCountInClip() const;
    size_t StreamInfoCount() const { return m_streamInfos.size(); }
    // Null when index < 0 or index >= StreamInfoCount(). Valid until the next Init.
    _MxfStreamInfo* StreamInfoAtIndex(int64_t index);
    _MxfStreamInfo* LastAccessInfo() const { return m_lastAccess; }
    CURecursiveLock& LockObject() const { return m_lock; }

    // First entry of that type and number; null when none. Takes no lock.
    _MxfTrackInfo* MxfTrackInfoFromType(_MxfTrackType type, uint32_t number);
    uint32_t trackCountFromType(_MxfTrackType type) const;
    // List position of the track (its essence element index), -1 when none.
    int32_t trackIndexFromType(_MxfTrackType type, uint32_t number) const;

    // The opened file holding clip frame `frame` (empty when the frame lies
    // outside the clip, the file cannot be parsed or holds fewer edit units
    // than its member entry says); `local`, when given, receives the frame's
    // edit unit in that file whenever a file's range holds it.
    CUSharedPtr<MXFStream> mxfAtFrameIndex(uint32_t frame, uint32_t* local = nullptr);
    // Bytes of the frame's essence element of the track copied into buffer;
    // 0 on any failure (nothing is read for a null buffer or size 0).
    uint32_t ReadSampleData(uint32_t frame, _MxfTrackType type, uint32_t number, unsigned char* buffer,
                            uint32_t size);
    // The values of the frame's essence elements of tracks number ..
    // number + count - 1 of the type, in one read when they follow one
    // another in the file (MXFStream::ReadEssenceElements); 0 when they do
    // not, or on any failure. `pastCache`: see ReadEssenceElements.
    uint32_t ReadSampleElements(uint32_t frame, _MxfTrackType type, uint32_t number, uint32_t count,
                                unsigned char* buffer, uint32_t size, MXFEssenceRange* values,
                                bool pastCache = false);
    // Index values of the frame's entry; false when any asked-for value
    // cannot be read.
    bool FrameInfoAtIndex(uint32_t frame, int8_t* temporalOffset = nullptr, int8_t* keyFrameOffset = nullptr,
                          uint8_t* flags = nullptr);
    // Stored position of the key frame opening the group of the picture
    // displayed at position `frame`; 0 when a read fails.
    uint32_t keyFrameAtIndex(uint32_t frame);
    // Display position minus stored position of the frame; 0 when unknown.
    // Over a member file's frames the display positions are a permutation
    // of them, also where the member ends inside a group of pictures.
    int32_t DisplayOffsetAtIndex(uint32_t frame);

    // Frame layout, display width and height (doubled for field layouts)
    // of a picture track. Width and height are both asked for or neither.
    // kMovieErrNoTrack without a track, kMovieErrPictureFormat when a value
    // is missing or out of range, kMovieErrReadFailed when a value cannot
    // be read; outputs are set only on success.
    uint32_t GetVideoInfoFromTrack(const CUSharedPtr<STTrack>& track, int32_t* width, int32_t* height,
                                   uint8_t* layout = nullptr);
    // Of sound track `number`: sampling rate in Hz, quantization bits; 0 when unknown.
    float AudioSampleRateAtIndex(uint32_t number);
    uint32_t AudioQuantizationbitsAtIndex(uint32_t number);

    int64_t StartTimecode() const;
    bool isDropFrame() const;
    uint16_t RoundedTimecodeBase() const;

    // Closes every opened file; later lookups reopen them.
    void ReleaseMXFStream();

    // Why the last Init, or the last file opening, failed.
    CUFailure LastFailure() const;

protected:
    // Records why an operation failed (under the lock).
    void SetFailure(CUFailure failure);

private:
    // Reads the index entries that can name `frame`'s display position (its
    // 8-bit reach either side) and adds what they give to m_displayOffsets.
    void BuildDisplayOffsets(uint32_t frame);

    mutable CURecursiveLock m_lock;
    uint32_t m_frameCount = 0;
    std::vector<_MxfStreamInfo> m_streamInfos;
    _MxfStreamInfo* m_lastAccess = nullptr;
    std::vector<_MxfTrackInfo> m_trackInfos;
    std::map<uint32_t, int32_t> m_displayOffsets;
    bool m_dropFrame = false;
    int64_t m_startTimecode = 0;
    uint16_t m_roundedTimecodeBase = 0;
    CUFailure m_failure;
};

}  // namespace ComVantoVantoQZ64RADPlug
