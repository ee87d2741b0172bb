#pragma once
// One track of a clip as the host sees it (video, timecode or stereo audio):
// its format description, time range and single edit, and the sample
// cursors that walk it. The reader retains the clip's movie, so cursors and
// readers the host keeps stay usable after it drops the format reader.
// Thread safety: the track values are read and set under the reader's own
// lock (each a whole copy), so host threads may share one reader.
#include "CFHolder.h"
#include "CFURL.h"
#include "CUSharedPtr.h"
#include "FBCMovieSampleForFCPX.h"
#include "MIORADTrackReaderProtocol.h"

#include <cstdint>
#include <memory>
#include <mutex>

namespace ComVantoVantoQZ64RADPlug {

class FBCAudioSampleCursor;
class FBCTimeCodeSampleCursor;
class FBCVideoSampleCursor;

class FBCTrackReader : public MIORADTrackReaderProtocol {
public:
    // A reader with no track values yet (track index 0); null without a movie.
    static std::shared_ptr<FBCTrackReader> trackReaderWithMovieSample(
        const CUSharedPtr<FBCMovieSampleForFCPX>& movie);
    explicit FBCTrackReader(CUSharedPtr<FBCMovieSampleForFCPX> movie);
    ~FBCTrackReader() override;

    std::shared_ptr<MIORADTrackReaderProtocol> copy() const override;

    FourCharCode mediaType() override;
    CFHolder<CMFormatDescriptionRef> formatDescription() override;
    int32_t timescale() override;
    CMTime uneditedDuration() override;
    CMTimeRange timeRange() override;
    // The movie's frame count, not the stored value.
    int32_t frameCount() override;
    bool isEnabled() override { return true; }
    int32_t trackEditCount() override { return 1; }
    // The one edit, whatever the index.
    CMTimeMapping trackEditWithIndex(int32_t index) override;
    int32_t trackEditIndexWithTrackTime(CMTime) override { return 0; }
    int64_t locationOffset() override { return 0; }
    // Bytes of the file at the reader's URL; 0 without one.
    int64_t locationSize() override;

    std::shared_ptr<MIORADSampleCursorProtocol> cursorAtPresentationTimeStamp(CMTime time, bool* beforeStart,
                                                                              bool* afterEnd) override;
    // As cursorAtPresentationTimeStamp: a cursor is on the sample holding
    // the time, so there is no nearer one to allow for.
    std::shared_ptr<MIORADSampleCursorProtocol> cursorNearPresentationTimeStamp(CMTime time, bool afterOK,
                                                                                bool* beforeStart,
                                                                                bool* afterEnd) override;
    std::shared_ptr<MIORADSampleCursorProtocol> cursorAtFirstSampleInDecodeOrder() override;
    std::shared_ptr<MIORADSampleCursorProtocol> cursorAtLastSampleInDecodeOrder() override;

    // Cursors given the reader's time range; null when the move fails. The
    // video index is a stored position, the timecode index a frame, the
    // audio index a sample of the clip.
    std::shared_ptr<FBCVideoSampleCursor> videoCursorAtDecodeIndex(int64_t index);
    std::shared_ptr<FBCAudioSampleCursor> audioCursorAtDecodeIndex(int64_t index);
    std::shared_ptr<FBCTimeCodeSampleCursor> timeCodeCursorAtDecodeIndex(int64_t index);
    std::shared_ptr<FBCVideoSampleCursor> videoCursorAtPresentationTimeStamp(CMTime time);
    std::shared_ptr<FBCAudioSampleCursor> audioCursorAtPresentationTimeStamp(CMTime time);
    std::shared_ptr<FBCTimeCodeSampleCursor> timeCodeCursorAtPresentationTimeStamp(CMTime time);

    // Track values. The setters copy (the URL and description are retained);
    // the URL comes with a count of its own for the caller.
    CFHolder<CFURLRef> url() const;
    void setUrl(CFURLRef url);
    void setFormatDescription(CMFormatDescriptionRef description);
    void setMediaType(FourCharCode type);
    CMTimeMapping trackEdit() const;
    void setTrackEdit(CMTimeMapping edit);
    void setTimeRange(CMTimeRange range);
    void setTimescale(int32_t scale);
    void setUneditedDuration(CMTime duration);
    int32_t startIndex() const;
    void setStartIndex(int32_t index);
    // The stored frame count, which the last-sample cursors count from.
    int32_t storedFrameCount() const;
    void setFrameCount(int32_t count);
    int32_t trackIndex() const;
    void setTrackIndex(int32_t index);
    const CUSharedPtr<FBCMovieSampleForFCPX>& movieSample() const { return m_movie; }

private:
    // The values a copy takes over (all but the movie and the track index).
    struct Values {
        FourCharCode mediaType = 0;
        CMTimeMapping trackEdit = {kCMTimeRangeInvalid, kCMTimeRangeInvalid};
        CMTimeRange timeRange = kCMTimeRangeInvalid;
        int32_t timescale = 0;
        CMTime uneditedDuration = kCMTimeInvalid;
        int32_t startIndex = 0;
        int32_t frameCount = 0;
    };
    Values Snapshot() const;

    const CUSharedPtr<FBCMovieSampleForFCPX> m_movie;
    mutable std::mutex m_lock;
    CFHolder<CFURLRef> m_url;                              // guarded by m_lock
    CFHolder<CMFormatDescriptionRef> m_formatDescription;  // guarded by m_lock
    Values m_values;                                       // guarded by m_lock
    int32_t m_trackIndex = 0;                              // guarded by m_lock
};

}  // namespace ComVantoVantoQZ64RADPlug
