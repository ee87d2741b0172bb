#include "FBCSampleCursor.h"

#include <limits>

namespace ComVantoVantoQZ64RADPlug {

namespace {
constexpr uint32_t kNoFrame = 0xFFFFFFFFu;
}

FBCSampleCursor::FBCSampleCursor(CUSharedPtr<FBCMovieSampleForFCPX> movie) : m_movie(std::move(movie)) {}

FBCSampleCursor::~FBCSampleCursor() = default;

bool FBCSampleCursor::respondsTo(Message message) const {
    return message == Message::playableHorizon || MIORADSampleCursorProtocol::respondsTo(message);
}

int FBCSampleCursor::compareInDecodeOrder(const MIORADSampleCursorProtocol& other) {
    return CMTimeCompare(m_decodeTimeStamp, DecodeTimeOf(other));
}

int64_t FBCSampleCursor::StepTarget(int64_t index, int64_t step) {
    int64_t target = 0;
    if (!__builtin_add_overflow(index, step, &target)) return target;
    return step < 0 ? std::numeric_limits<int64_t>::min() : std::numeric_limits<int64_t>::max();
}

CMTime FBCSampleCursor::StepTime(CMTime time, CMTime delta) {
    const CMTime sum = CMTimeAdd(time, delta);
    if (CMTIME_IS_VALID(sum) || !CMTIME_IS_NUMERIC(time) || !CMTIME_IS_NUMERIC(delta)) return sum;
    return CMTimeAdd(time,
                     CMTimeConvertScale(delta, time.timescale, kCMTimeRoundingMethod_RoundHalfAwayFromZero));
}

void FBCSampleCursor::Apply(const Timing& timing) {
    m_presentationTimeStamp = timing.presentation;
    m_decodeTimeStamp = timing.decode;
    m_duration = timing.duration;
    m_playableHorizon = timing.horizon;
    m_timecodeCounter = timing.timecodeCounter;
}

CMTime FBCSampleCursor::FrameDuration() const {
    const uint32_t scale = m_movie->timescale();
    if (scale > uint32_t{kCMTimeMaxTimescale}) return kCMTimeInvalid;
    return CMTimeMake(int64_t{m_movie->durationPerFrame()}, static_cast<CMTimeScale>(scale));
}

int64_t FBCSampleCursor::FrameCount() const {
    return m_movie->FrameCountInClip();
}

bool FBCSampleCursor::FrameAtTime(CMTime time, int64_t* frame) const {
    if (!CMTimeRangeContainsTime(m_timeRange, time)) return false;
    const uint32_t f = m_movie->frameIndexAtCMTime(time);
    if (f == kNoFrame) return false;
    *frame = f;
    return true;
}

bool FBCSampleCursor::PictureLocation(int64_t frame, int64_t* offset, int32_t* length) const {
    const int32_t element = m_movie->trackIndexFromType(kMxfTrackPicture, 0);
    return element >= 0 && m_movie->editInfoAtIndex(frame, static_cast<uint32_t>(element), offset, length);
}

int64_t FBCSampleCursor::TimecodeCounterAt(int64_t display) const {
    return m_movie->StartTimecode() + display;
}

CMTime FBCSampleCursor::DecodeTimeOf(const MIORADSampleCursorProtocol& cursor) {
    if (auto* own = dynamic_cast<const FBCSampleCursor*>(&cursor)) return own->m_decodeTimeStamp;
    return const_cast<MIORADSampleCursorProtocol&>(cursor).decodeTimeStamp();
}

CMTime FBCSampleCursor::PresentationTimeOf(const MIORADSampleCursorProtocol& cursor) {
    if (auto* own = dynamic_cast<const FBCSampleCursor*>(&cursor)) return own->m_presentationTimeStamp;
    return const_cast<MIORADSampleCursorProtocol&>(cursor).presentationTimeStamp();
}

}  // namespace ComVantoVantoQZ64RADPlug
