#pragma once
// A span of media time (start and duration) and a mapping of one span onto
// another (a track edit). Plain values.
#include "CMTime.h"

namespace ComVantoVantoQZ64RADPlug {

struct CMTimeRange {
    CMTime start;
    CMTime duration;
};

struct CMTimeMapping {
    CMTimeRange source;  // the span in the media
    CMTimeRange target;  // where it lies in the track
};

inline constexpr CMTimeRange kCMTimeRangeInvalid = {kCMTimeInvalid, kCMTimeInvalid};
inline constexpr CMTimeRange kCMTimeRangeZero = {kCMTimeZero, kCMTimeZero};

// Valid: both times valid, the duration in epoch 0 and not negative.
bool CMTIMERANGE_IS_VALID(const CMTimeRange& range);
inline bool CMTIMERANGE_IS_INVALID(const CMTimeRange& range) {
    return !CMTIMERANGE_IS_VALID(range);
}

// The range as given; an invalid start or duration makes an invalid range.
CMTimeRange CMTimeRangeMake(CMTime start, CMTime duration);
// start + duration; invalid for an invalid range or when the sum is.
CMTime CMTimeRangeGetEnd(CMTimeRange range);
// start ≤ time < end (the end excluded); false for an invalid range or time.
Boolean CMTimeRangeContainsTime(CMTimeRange range, CMTime time);
Boolean CMTimeRangeEqual(CMTimeRange range1, CMTimeRange range2);

CMTimeMapping CMTimeMappingMake(CMTimeRange source, CMTimeRange target);

}  // namespace ComVantoVantoQZ64RADPlug
