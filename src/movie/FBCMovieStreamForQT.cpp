#include "FBCMovieStreamForQT.h"

#include "CUAutoLock.h"
#include "MXFStream.h"
#include "MXFUtilities.h"
#include "STTrack.h"
#include "UMID.h"

#include <cmath>
#include <string>

namespace ComVantoVantoQZ64RADPlug {

namespace {

constexpr uint8_t kBackwardPrediction = 0x10;  // a B picture
constexpr uint8_t kForwardPrediction = 0x20;   // a P picture

}  // namespace

FBCMovieStreamForQT::FBCMovieStreamForQT() = default;

FBCMovieStreamForQT::~FBCMovieStreamForQT() = default;

CUSharedPtr<FBCMovieStreamForQT> FBCMovieStreamForQT::Create(const CUSharedPtr<CUStringMac>& path) {
    CUSharedPtr<FBCMovieStreamForQT> movie(new FBCMovieStreamForQT());
    if (!movie->Init(path)) return CUSharedPtr<FBCMovieStreamForQT>();
    return movie;
}

bool FBCMovieStreamForQT::Init(const CUSharedPtr<CUStringMac>& path) {
    CUAutoLock lock(&LockObject());
    if (!FBCMovieStream::Init(path)) return false;
    return updateMovieInfo();
}

bool FBCMovieStreamForQT::updateMovieInfo() {
    CUAutoLock lock(&LockObject());
    bool result = false;
    _MxfTrackInfo* reference = MxfTrackInfoFromType(kMxfTrackPicture, 0);
    if (!reference) reference = MxfTrackInfoFromType(kMxfTrackTimecode, 0);
    if (!reference) reference = MxfTrackInfoFromType(kMxfTrackSound, 0);
    if (!reference || !reference->track) {
        SetFailure(CUFailure(kMovieErrNoTrack, "the clip has no picture, timecode or sound track"));
    } else {
        const _Rational rate = reference->track->EditRate();
        // A zero or negative term would make a frame last no time at all.
        if (rate.numerator >= 1 && rate.denominator >= 1) {
            m_timescale = rate.numerator;
            m_durationPerFrame = rate.denominator;
            result = true;
        } else {
            SetFailure(CUFailure(kMovieErrReadFailed,
                                 "the reference track's edit rate " + std::to_string(rate.numerator) + "/" +
                                     std::to_string(rate.denominator) + " is not a rate"));
        }
    }
    m_clipID = nullptr;
    CUSharedPtr<MXFStream> first = mxfAtFrameIndex(0);
    CUSharedPtr<UMID> umid = first ? FBC_Utl_SourcePackageUID(first) : CUSharedPtr<UMID>();
    if (umid && umid->Length() >= 32) m_clipID = CUUUID::Create(umid->Bytes() + 16);
    return result;
}

uint32_t FBCMovieStreamForQT::timescale() const {
    CUAutoLock lock(&LockObject());
    return static_cast<uint32_t>(m_timescale);
}

uint32_t FBCMovieStreamForQT::durationPerFrame() const {
    CUAutoLock lock(&LockObject());
    return static_cast<uint32_t>(m_durationPerFrame);
}

ClipClock FBCMovieStreamForQT::Clock() const {
    CUAutoLock lock(&LockObject());
    return ClipClock(m_timescale, m_durationPerFrame, RoundedTimecodeBase(), isDropFrame());
}

CUSharedPtr<CUUUID> FBCMovieStreamForQT::GetClipID() const {
    CUAutoLock lock(&LockObject());
    return m_clipID;
}

uint32_t FBCMovieStreamForQT::frameIndexAtMovieTime(double seconds) const {
    CUAutoLock lock(&LockObject());
    const uint32_t count = FrameCountInClip();
    if (m_durationPerFrame <= 0 || std::isnan(seconds)) return 0;
    // Clamped while still a double: the quotient may be infinite or far
    // beyond 32 bits.
    const double frame = (m_durationPerFrame * 0.1 + m_timescale * seconds) / m_durationPerFrame;
    if (!(frame >= 0.0)) return 0;
    if (frame >= static_cast<double>(count)) return count;
    return static_cast<uint32_t>(frame);
}

int64_t FBCMovieStreamForQT::frameIndexAtMediaTime(int64_t time) const {
    CUAutoLock lock(&LockObject());
    if (m_durationPerFrame <= 0) return -1;
    if (time < 0) return 0;
    const int64_t frame = time / m_durationPerFrame;
    const int64_t count = FrameCountInClip();
    return frame > count ? count : frame;
}

uint32_t FBCMovieStreamForQT::sampleFlagAtIndex(uint32_t frame) {
    CUAutoLock lock(&LockObject());
    uint32_t local = 0;
    CUSharedPtr<MXFStream> stream = mxfAtFrameIndex(frame, &local);
    if (!stream) return 0;
    uint8_t flags = 0;
    if (!stream->GetFlagsAtIndex(local, flags)) flags = 0;
    if (flags & kBackwardPrediction) return kMediaSampleNotSync | kMediaSampleDroppable;
    if (flags & kForwardPrediction) return kMediaSampleNotSync | kMediaSampleEarlierDisplayTimesAllowed;
    if (local == 0) return kMediaSampleEarlierDisplayTimesAllowed;
    return kMediaSampleNotSync | kMediaSamplePartialSync | kMediaSampleEarlierDisplayTimesAllowed;
}

}  // namespace ComVantoVantoQZ64RADPlug
