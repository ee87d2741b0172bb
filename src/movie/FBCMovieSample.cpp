#include "FBCMovieSample.h"

#include "CUAutoLock.h"
#include "MovieValueReading.h"
#include "STMetadataSets.h"
#include "STTrack.h"

#include <algorithm>
#include <cmath>

namespace ComVantoVantoQZ64RADPlug {

namespace {

// value / timescale in double precision (infinite or NaN for timescale 0).
double Seconds(int64_t value, int64_t timescale) {
    return static_cast<double>(value) / static_cast<double>(timescale);
}

}  // namespace

FBCMovieSample::FBCMovieSample() = default;

FBCMovieSample::~FBCMovieSample() = default;

CUSharedPtr<FBCMovieSample> FBCMovieSample::Create(const CUSharedPtr<CUStringMac>& path) {
    CUSharedPtr<FBCMovieSample> movie(new FBCMovieSample());
    if (!movie->Init(path)) return CUSharedPtr<FBCMovieSample>();
    return movie;
}

bool FBCMovieSample::Init(const CUSharedPtr<CUStringMac>& path) {
    CUAutoLock lock(&LockObject());
    if (!FBCMovieStreamForQT::Init(path)) return false;
    UpdateVideoInfo();
    UpdateAudioInfo();
    m_currentIndex = 0;
    m_startIndex = 0;
    m_lastIndex = LastFrame();
    return true;
}

uint32_t FBCMovieSample::LastFrame() {
    const uint32_t count = FrameCountInClip();
    return count == 0 ? 0 : count - 1;
}

bool FBCMovieSample::UpdateVideoInfo() {
    CUAutoLock lock(&LockObject());
    m_frameDuration = 0;
    m_mediaTimescale = 0;
    _MxfTrackInfo* picture = MxfTrackInfoFromType(kMxfTrackPicture, 0);
    if (!picture || !picture->track) return false;
    const _Rational rate = picture->track->EditRate();
    if (rate.numerator < 1 || rate.denominator < 1) return false;
    m_mediaTimescale = rate.numerator;
    m_frameDuration = rate.denominator;
    return true;
}

bool FBCMovieSample::UpdateAudioInfo() {
    CUAutoLock lock(&LockObject());
    m_audioDescription.reset();
    _MxfTrackInfo* sound = MxfTrackInfoFromType(kMxfTrackSound, 0);
    if (!sound) return false;
    if (sound->track) {
        m_audioDescription = CreateAudioStreamBasicDescription();
        _Rational rate;
        bool present = false;
        movievalue::Guarded(
            [&] { present = movievalue::Read(*sound->track, kLocalTag_AudioSamplingRate, rate); });
        if (present) {
            m_audioTimescale = rate.numerator;
            m_audioDuration = rate.denominator;
        }
    }
    return true;
}

std::unique_ptr<AudioStreamBasicDescription> FBCMovieSample::CreateAudioStreamBasicDescription() {
    CUAutoLock lock(&LockObject());
    _MxfTrackInfo* sound = MxfTrackInfoFromType(kMxfTrackSound, 0);
    if (!sound || !sound->track) return nullptr;
    _Rational rate;
    uint32_t bits = 0;
    bool present = false;
    const CUFailure failure = movievalue::Guarded([&] {
        present = movievalue::Read(*sound->track, kLocalTag_AudioSamplingRate, rate) &&
                  movievalue::Read(*sound->track, kLocalTag_QuantizationBits, bits);
    });
    if (failure.Failed() || !present || rate.numerator < 1 || rate.denominator < 1 || bits == 0)
        return nullptr;
    const uint32_t channels = trackCountFromType(kMxfTrackSound);
    auto description = std::make_unique<AudioStreamBasicDescription>();
    description->mSampleRate = static_cast<double>(rate.numerator / rate.denominator);
    description->mFormatID = kAudioFormatLinearPCM;
    description->mFormatFlags = kAudioFormatFlagIsSignedInteger | kAudioFormatFlagIsPacked;
    description->mBytesPerPacket = static_cast<uint32_t>(uint64_t{bits} * channels / 8);
    description->mFramesPerPacket = 1;
    description->mBytesPerFrame = description->mBytesPerPacket;
    description->mChannelsPerFrame = channels;
    description->mBitsPerChannel = bits;
    description->mReserved = 0;
    return description;
}

bool FBCMovieSample::InitializeGetSample() {
    m_currentIndex = m_startIndex;
    return true;
}

bool FBCMovieSample::moveStartFrame() {
    m_currentIndex = m_startIndex;
    return true;
}

bool FBCMovieSample::nextFrame() {
    if (m_currentIndex > m_lastIndex) return false;
    ++m_currentIndex;
    return true;
}

bool FBCMovieSample::isEndOfClip() const {
    return m_currentIndex > m_lastIndex;
}

int64_t FBCMovieSample::FrameDecodeTimeStamp() {
    return (int64_t{m_currentIndex} - m_startIndex) * m_frameDuration;
}

int64_t FBCMovieSample::FramePresentationTimeStamp() {
    const int64_t display = DisplayOffsetAtIndex(m_currentIndex);
    return (int64_t{m_currentIndex} - m_startIndex + display) * m_frameDuration;
}

uint32_t FBCMovieSample::GetTimeCounter() {
    return TimeCounterAtIndex(m_currentIndex);
}

uint32_t FBCMovieSample::TimeCounterAtIndex(uint32_t frame) {
    const int64_t display = DisplayOffsetAtIndex(frame);
    return static_cast<uint32_t>(StartTimecode() + frame + display);
}

uint32_t FBCMovieSample::ReadCurrentSampleData(_MxfTrackType type, uint32_t number, unsigned char* buffer,
                                               uint32_t size) {
    if (!buffer || size == 0) return 0;
    return ReadSampleData(m_currentIndex, type, number, buffer, size);
}

bool FBCMovieSample::setInPoint(int64_t value, int64_t timescale) {
    m_startIndex = InPointIndex(value, timescale);
    // The host rewinds before it sets the points, so the cursor follows.
    m_currentIndex = m_startIndex;
    return true;
}

bool FBCMovieSample::setOutPoint(int64_t value, int64_t timescale) {
    m_lastIndex = OutPointIndex(value, timescale);
    return true;
}

uint32_t FBCMovieSample::InPointIndex(int64_t value, int64_t timescale) {
    const double seconds = Seconds(value, timescale);
    const uint32_t count = FrameCountInClip();
    if (!std::isfinite(seconds) || count == 0) return 0;
    // At or past the end the in point is the last frame, not one past it
    // (whose key frame cannot be read).
    const uint32_t frame = std::min(frameIndexAtMovieTime(seconds), count - 1);
    const uint32_t key = keyFrameAtIndex(frame);
    return key != 0 ? keyFrameAtIndex(key - 1) : key;
}

uint32_t FBCMovieSample::OutPointIndex(int64_t value, int64_t timescale) {
    const uint32_t lastFrame = LastFrame();
    const double seconds = Seconds(value, timescale);
    if (!std::isfinite(seconds)) return lastFrame;
    const uint32_t frame = frameIndexAtMovieTime(seconds);
    int8_t temporal = 0;
    if (!FrameInfoAtIndex(frame, &temporal)) return lastFrame;
    const int64_t last = temporal >= 0 ? int64_t{frame} + temporal : int64_t{frame};
    return static_cast<uint32_t>(std::min<int64_t>(last, lastFrame));
}

}  // namespace ComVantoVantoQZ64RADPlug
