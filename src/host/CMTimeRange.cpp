#include "CMTimeRange.h"

namespace ComVantoVantoQZ64RADPlug {

bool CMTIMERANGE_IS_VALID(const CMTimeRange& range) {
    return CMTIME_IS_VALID(range.start) && CMTIME_IS_VALID(range.duration) && range.duration.epoch == 0 &&
           CMTimeCompare(range.duration, kCMTimeZero) >= 0;
}

CMTimeRange CMTimeRangeMake(CMTime start, CMTime duration) {
    if (!CMTIME_IS_VALID(start) || !CMTIME_IS_VALID(duration)) return kCMTimeRangeInvalid;
    return {start, duration};
}

CMTime CMTimeRangeGetEnd(CMTimeRange range) {
    if (!CMTIMERANGE_IS_VALID(range)) return kCMTimeInvalid;
    CMTime duration = range.duration;
    duration.epoch = range.start.epoch;  // a duration is a length, not a time of an epoch
    return CMTimeAdd(range.start, duration);
}

Boolean CMTimeRangeContainsTime(CMTimeRange range, CMTime time) {
    if (!CMTIMERANGE_IS_VALID(range) || !CMTIME_IS_VALID(time)) return false;
    const CMTime end = CMTimeRangeGetEnd(range);
    if (!CMTIME_IS_VALID(end)) return false;
    return CMTimeCompare(range.start, time) <= 0 && CMTimeCompare(time, end) < 0;
}

Boolean CMTimeRangeEqual(CMTimeRange range1, CMTimeRange range2) {
    return CMTimeCompare(range1.start, range2.start) == 0 &&
           CMTimeCompare(range1.duration, range2.duration) == 0;
}

CMTimeMapping CMTimeMappingMake(CMTimeRange source, CMTimeRange target) {
    return {source, target};
}

}  // namespace ComVantoVantoQZ64RADPlug
