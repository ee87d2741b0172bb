#pragma once
// One track of a clip (video, timecode or audio) and the sample cursors
// that walk it.
#include <cstdint>
#include <memory>

#include "CFHolder.h"
#include "CMFormatDescription.h"
#include "CMTime.h"
#include "CMTimeRange.h"

namespace ComVantoVantoQZ64RADPlug {

class MIORADSampleCursorProtocol;

// Media types a track reader answers.
inline constexpr FourCharCode kMIORADMediaType_Video = 0x76696465;     // 'vide'
inline constexpr FourCharCode kMIORADMediaType_Audio = 0x736F756E;     // 'soun'
inline constexpr FourCharCode kMIORADMediaType_TimeCode = 0x746D6364;  // 'tmcd'

class MIORADTrackReaderProtocol {
public:
    virtual ~MIORADTrackReaderProtocol();

    // A new reader on the same clip with the same track values.
    virtual std::shared_ptr<MIORADTrackReaderProtocol> copy() const = 0;

    virtual FourCharCode mediaType() = 0;
    // A count of its own for the caller, so the description stays valid
    // whatever the reader does meanwhile; null when there is none.
    virtual CFHolder<CMFormatDescriptionRef> formatDescription() = 0;
    virtual int32_t timescale() = 0;
    virtual CMTime uneditedDuration() = 0;
    virtual CMTimeRange timeRange() = 0;
    virtual int32_t frameCount() = 0;
    virtual bool isEnabled() = 0;
    virtual int32_t trackEditCount() = 0;
    virtual CMTimeMapping trackEditWithIndex(int32_t index) = 0;
    virtual int32_t trackEditIndexWithTrackTime(CMTime trackTime) = 0;
    virtual int64_t locationOffset() = 0;
    virtual int64_t locationSize() = 0;

    // A cursor at the sample presented at `time`, or null. Each flag, when
    // given, tells whether `time` lies before the track's start or at or
    // after its end, whether or not a cursor was made.
    virtual std::shared_ptr<MIORADSampleCursorProtocol> cursorAtPresentationTimeStamp(CMTime time,
                                                                                      bool* beforeStart,
                                                                                      bool* afterEnd) = 0;
    virtual std::shared_ptr<MIORADSampleCursorProtocol> cursorNearPresentationTimeStamp(CMTime time,
                                                                                        bool afterOK,
                                                                                        bool* beforeStart,
                                                                                        bool* afterEnd) = 0;
    virtual std::shared_ptr<MIORADSampleCursorProtocol> cursorAtFirstSampleInDecodeOrder() = 0;
    virtual std::shared_ptr<MIORADSampleCursorProtocol> cursorAtLastSampleInDecodeOrder() = 0;
};

}  // namespace ComVantoVantoQZ64RADPlug
