#include "FBCFormatReader.h"

#include "CFHolder.h"
#include "CUAutoLock.h"
#include "CUFileInfo.h"
#include "CUStringMac.h"
#include "FBCTrackReader.h"

namespace ComVantoVantoQZ64RADPlug {

namespace {

CFHolder<CFURLRef> FileUrl(const CUSharedPtr<CUStringMac>& path) {
    if (!path) return {};
    CFHolder<CFStringRef> text = CFHolder<CFStringRef>::Adopt(
        CFStringCreateWithCString(nullptr, path->Utf8().c_str(), kCFStringEncodingUTF8));
    if (!text) return {};
    return CFHolder<CFURLRef>::Adopt(
        CFURLCreateWithFileSystemPath(nullptr, text.Get(), kCFURLPOSIXPathStyle, false));
}

// A track from `zero` lasting `total`, edited onto itself.
void SetSpan(FBCTrackReader& reader, CMTime zero, CMTime total) {
    const CMTimeRange range = CMTimeRangeMake(zero, total);
    reader.setTrackEdit(CMTimeMappingMake(range, range));
    reader.setTimeRange(range);
}

}  // namespace

FBCFormatReader::FBCFormatReader(CUSharedPtr<FBCMovieSampleForFCPX> movie) : m_movie(std::move(movie)) {}

std::shared_ptr<FBCFormatReader> FBCFormatReader::initWithMovieSample(
    const CUSharedPtr<FBCMovieSampleForFCPX>& movie) {
    if (!movie) return nullptr;
    std::shared_ptr<FBCFormatReader> reader(new FBCFormatReader(movie));
    reader->MakeTracks();
    if (reader->m_trackReaders.empty()) return nullptr;
    return reader;
}

void FBCFormatReader::MakeTracks() {
    FBCMovieSampleForFCPX& movie = *m_movie;
    // The file list is read under the movie's lock, as every movie operation is.
    CUAutoLock lock(&movie.LockObject());
    CUSharedPtr<CUStringMac> firstFile;
    for (size_t i = 0; i < movie.StreamInfoCount(); ++i) {
        const _MxfStreamInfo* info = movie.StreamInfoAtIndex(static_cast<int64_t>(i));
        if (!info || !info->path) continue;
        if (i == 0) firstFile = info->path;
        m_locationSize += static_cast<int64_t>(CUFileInfo(info->path).Length());
    }
    const CFHolder<CFURLRef> url = FileUrl(firstFile);
    const int64_t frames = movie.FrameCountInClip();
    const uint32_t perFrame = movie.durationPerFrame();
    const uint32_t scale = movie.timescale();

    std::shared_ptr<FBCTrackReader> video;
    std::shared_ptr<FBCTrackReader> timecode;
    if (frames > 0 && perFrame > 0 && scale > 0 && scale <= uint32_t{kCMTimeMaxTimescale} &&
        movie.trackCountFromType(kMxfTrackPicture) > 0 && url && movie.videoFormatDescription()) {
        const CMTime d = CMTimeMake(int64_t{perFrame}, static_cast<CMTimeScale>(scale));
        const CMTime zero = CMTimeMake(0, d.timescale);
        const CMTime total = CMTimeMake(d.value * frames, d.timescale);
        video = FBCTrackReader::trackReaderWithMovieSample(m_movie);
        video->setMediaType(kMIORADMediaType_Video);
        video->setFormatDescription(movie.videoFormatDescription());
        SetSpan(*video, zero, total);
        video->setUneditedDuration(duration());
        video->setStartIndex(0);
        video->setFrameCount(static_cast<int32_t>(frames));
        video->setTimescale(static_cast<int32_t>(scale));
        video->setUrl(url.Get());
        // Without a timecode description the host would get a track
        // whose samples say nothing.
        if (movie.timeCodeFormatDescription()) {
            timecode = std::static_pointer_cast<FBCTrackReader>(video->copy());
            timecode->setMediaType(kMIORADMediaType_TimeCode);
            timecode->setFormatDescription(movie.timeCodeFormatDescription());
        }
    }

    std::shared_ptr<FBCTrackReader> audio;
    const int64_t sampleDuration = movie.AudioDuration();
    const int32_t audioScale = movie.AudioTimescale();
    const int64_t samples = movie.audioSampleCount();
    // Only a clip whose audio the movie can deliver (two 16-bit mono tracks
    // at 48 kHz: it then has the audio description) gets an audio track.
    if (frames > 0 && sampleDuration > 0 && audioScale >= 1 && samples >= 1 &&
        movie.trackCountFromType(kMxfTrackSound) > 1 && url && movie.audioFormatDescription() &&
        samples <= INT64_MAX / sampleDuration) {
        audio = FBCTrackReader::trackReaderWithMovieSample(m_movie);
        audio->setMediaType(kMIORADMediaType_Audio);
        audio->setFormatDescription(movie.audioFormatDescription());
        const CMTime total = CMTimeMake(samples * sampleDuration, audioScale);
        SetSpan(*audio, CMTimeMake(0, audioScale), total);
        audio->setUneditedDuration(total);
        audio->setStartIndex(0);
        audio->setFrameCount(static_cast<int32_t>(frames));
        audio->setTimescale(audioScale);
        audio->setUrl(url.Get());
    }

    for (const std::shared_ptr<FBCTrackReader>& track : {video, timecode, audio})
        if (track) m_trackReaders.push_back(track);
}

std::shared_ptr<MIORADFormatReaderProtocol> FBCFormatReader::copy() const {
    return initWithMovieSample(m_movie);
}

std::vector<std::shared_ptr<MIORADTrackReaderProtocol>> FBCFormatReader::trackReaders() {
    return m_trackReaders;
}

int32_t FBCFormatReader::timescale() {
    return static_cast<int32_t>(m_movie->timescale());
}

CMTime FBCFormatReader::duration() {
    const uint32_t scale = m_movie->timescale();
    if (scale < 1 || scale > uint32_t{kCMTimeMaxTimescale}) return kCMTimeInvalid;
    return CMTimeMake(int64_t{m_movie->durationPerFrame()} * m_movie->FrameCountInClip(),
                      static_cast<CMTimeScale>(scale));
}

int64_t FBCFormatReader::locationSize() {
    return m_locationSize;
}

int64_t FBCFormatReader::locationOffset() {
    return 0;
}

}  // namespace ComVantoVantoQZ64RADPlug
