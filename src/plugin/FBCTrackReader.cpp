#include "FBCTrackReader.h"

#include "CUFileInfo.h"
#include "CUStringMac.h"
#include "FBCAudioSampleCursor.h"
#include "FBCTimeCodeSampleCursor.h"
#include "FBCVideoSampleCursor.h"

namespace ComVantoVantoQZ64RADPlug {

namespace {

// Positions a new cursor of type Cursor with the reader's time range.
template <class Cursor, class Move>
std::shared_ptr<Cursor> MakeCursor(const CUSharedPtr<FBCMovieSampleForFCPX>& movie, CMTimeRange range,
                                   Move move) {
    std::shared_ptr<Cursor> cursor = Cursor::sampleCursorWithMovieSample(movie);
    if (!cursor) return nullptr;
    cursor->setTimeRange(range);
    return move(*cursor) ? cursor : nullptr;
}

}  // namespace

std::shared_ptr<FBCTrackReader> FBCTrackReader::trackReaderWithMovieSample(
    const CUSharedPtr<FBCMovieSampleForFCPX>& movie) {
    if (!movie) return nullptr;
    return std::make_shared<FBCTrackReader>(movie);
}

FBCTrackReader::FBCTrackReader(CUSharedPtr<FBCMovieSampleForFCPX> movie) : m_movie(std::move(movie)) {}

FBCTrackReader::~FBCTrackReader() = default;

FBCTrackReader::Values FBCTrackReader::Snapshot() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_values;
}

std::shared_ptr<MIORADTrackReaderProtocol> FBCTrackReader::copy() const {
    auto reader = std::make_shared<FBCTrackReader>(m_movie);
    std::lock_guard<std::mutex> guard(m_lock);
    reader->m_values = m_values;
    reader->m_url = CFHolder<CFURLRef>::Retain(m_url.Get());
    reader->m_formatDescription = CFHolder<CMFormatDescriptionRef>::Retain(m_formatDescription.Get());
    return reader;
}

FourCharCode FBCTrackReader::mediaType() {
    return Snapshot().mediaType;
}

CFHolder<CMFormatDescriptionRef> FBCTrackReader::formatDescription() {
    // Retained under the lock: a setter on another thread may release the
    // reader's own count as soon as the lock is let go.
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_formatDescription) return {};
    return CFHolder<CMFormatDescriptionRef>::Retain(m_formatDescription.Get());
}

int32_t FBCTrackReader::timescale() {
    return Snapshot().timescale;
}
CMTime FBCTrackReader::uneditedDuration() {
    return Snapshot().uneditedDuration;
}
CMTimeRange FBCTrackReader::timeRange() {
    return Snapshot().timeRange;
}

int32_t FBCTrackReader::frameCount() {
    return static_cast<int32_t>(m_movie->FrameCountInClip());
}

CMTimeMapping FBCTrackReader::trackEditWithIndex(int32_t) {
    return Snapshot().trackEdit;
}

int64_t FBCTrackReader::locationSize() {
    CFHolder<CFStringRef> path;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (!m_url) return 0;
        path = CFHolder<CFStringRef>::Adopt(CFURLCopyFileSystemPath(m_url.Get(), kCFURLPOSIXPathStyle));
    }
    if (!path) return 0;
    CUFileInfo file(CUStringMac::Create(CFStringGetStdString(path.Get()).c_str()));
    return static_cast<int64_t>(file.Length());
}

std::shared_ptr<MIORADSampleCursorProtocol> FBCTrackReader::cursorAtPresentationTimeStamp(CMTime time,
                                                                                          bool* beforeStart,
                                                                                          bool* afterEnd) {
    const Values values = Snapshot();
    if (beforeStart) *beforeStart = CMTimeCompare(values.timeRange.start, time) > 0;
    if (afterEnd) *afterEnd = CMTimeCompare(time, CMTimeRangeGetEnd(values.timeRange)) >= 0;
    switch (values.mediaType) {
        case kMIORADMediaType_Video:
            return videoCursorAtPresentationTimeStamp(time);
        case kMIORADMediaType_Audio:
            return audioCursorAtPresentationTimeStamp(time);
        case kMIORADMediaType_TimeCode:
            return timeCodeCursorAtPresentationTimeStamp(time);
        default:
            return nullptr;
    }
}

std::shared_ptr<MIORADSampleCursorProtocol> FBCTrackReader::cursorNearPresentationTimeStamp(CMTime time, bool,
                                                                                            bool* beforeStart,
                                                                                            bool* afterEnd) {
    return cursorAtPresentationTimeStamp(time, beforeStart, afterEnd);
}

std::shared_ptr<MIORADSampleCursorProtocol> FBCTrackReader::cursorAtFirstSampleInDecodeOrder() {
    const Values values = Snapshot();
    switch (values.mediaType) {
        case kMIORADMediaType_Video:
            return videoCursorAtDecodeIndex(values.startIndex);
        case kMIORADMediaType_TimeCode:
            return timeCodeCursorAtDecodeIndex(values.startIndex);
        case kMIORADMediaType_Audio:
            return audioCursorAtDecodeIndex(m_movie->audioSampleIndexAtFrameIndex(values.startIndex));
        default:
            return nullptr;
    }
}

std::shared_ptr<MIORADSampleCursorProtocol> FBCTrackReader::cursorAtLastSampleInDecodeOrder() {
    const Values values = Snapshot();
    if (values.frameCount < 1) return nullptr;
    const int64_t end = int64_t{values.startIndex} + values.frameCount;
    switch (values.mediaType) {
        case kMIORADMediaType_Video:
            return videoCursorAtDecodeIndex(end - 1);
        case kMIORADMediaType_TimeCode:
            return timeCodeCursorAtDecodeIndex(end - 1);
        case kMIORADMediaType_Audio: {
            const int64_t sample = m_movie->audioSampleIndexAtFrameIndex(end);
            return sample < 1 ? nullptr : audioCursorAtDecodeIndex(sample - 1);
        }
        default:
            return nullptr;
    }
}

std::shared_ptr<FBCVideoSampleCursor> FBCTrackReader::videoCursorAtDecodeIndex(int64_t index) {
    return MakeCursor<FBCVideoSampleCursor>(m_movie, timeRange(), [index](FBCVideoSampleCursor& cursor) {
        return cursor.moveCursorAtDecodeIndex(index);
    });
}

std::shared_ptr<FBCAudioSampleCursor> FBCTrackReader::audioCursorAtDecodeIndex(int64_t index) {
    return MakeCursor<FBCAudioSampleCursor>(m_movie, timeRange(), [index](FBCAudioSampleCursor& cursor) {
        return cursor.moveCursorAtPresentationIndex(index);
    });
}

std::shared_ptr<FBCTimeCodeSampleCursor> FBCTrackReader::timeCodeCursorAtDecodeIndex(int64_t index) {
    return MakeCursor<FBCTimeCodeSampleCursor>(
        m_movie, timeRange(),
        [index](FBCTimeCodeSampleCursor& cursor) { return cursor.moveCursorAtPresentationIndex(index); });
}

std::shared_ptr<FBCVideoSampleCursor> FBCTrackReader::videoCursorAtPresentationTimeStamp(CMTime time) {
    return MakeCursor<FBCVideoSampleCursor>(m_movie, timeRange(), [time](FBCVideoSampleCursor& cursor) {
        return cursor.moveCursorAtPresentationTime(time);
    });
}

std::shared_ptr<FBCAudioSampleCursor> FBCTrackReader::audioCursorAtPresentationTimeStamp(CMTime time) {
    return MakeCursor<FBCAudioSampleCursor>(m_movie, timeRange(), [time](FBCAudioSampleCursor& cursor) {
        return cursor.moveCursorAtPresentationTime(time);
    });
}

std::shared_ptr<FBCTimeCodeSampleCursor> FBCTrackReader::timeCodeCursorAtPresentationTimeStamp(CMTime time) {
    return MakeCursor<FBCTimeCodeSampleCursor>(m_movie, timeRange(), [time](FBCTimeCodeSampleCursor& cursor) {
        return cursor.moveCursorAtPresentationTime(time);
    });
}

CFHolder<CFURLRef> FBCTrackReader::url() const {
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_url) return {};
    return CFHolder<CFURLRef>::Retain(m_url.Get());
}

void FBCTrackReader::setUrl(CFURLRef url) {
    CFHolder<CFURLRef> retained = CFHolder<CFURLRef>::Retain(url);
    std::lock_guard<std::mutex> guard(m_lock);
    m_url = std::move(retained);
}

void FBCTrackReader::setFormatDescription(CMFormatDescriptionRef description) {
    // Retained before the old one goes, so setting the same one is safe.
    CFHolder<CMFormatDescriptionRef> retained = CFHolder<CMFormatDescriptionRef>::Retain(description);
    std::lock_guard<std::mutex> guard(m_lock);
    m_formatDescription = std::move(retained);
}

void FBCTrackReader::setMediaType(FourCharCode type) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_values.mediaType = type;
}

CMTimeMapping FBCTrackReader::trackEdit() const {
    return Snapshot().trackEdit;
}

void FBCTrackReader::setTrackEdit(CMTimeMapping edit) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_values.trackEdit = edit;
}

void FBCTrackReader::setTimeRange(CMTimeRange range) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_values.timeRange = range;
}

void FBCTrackReader::setTimescale(int32_t scale) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_values.timescale = scale;
}

void FBCTrackReader::setUneditedDuration(CMTime duration) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_values.uneditedDuration = duration;
}

int32_t FBCTrackReader::startIndex() const {
    return Snapshot().startIndex;
}

void FBCTrackReader::setStartIndex(int32_t index) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_values.startIndex = index;
}

int32_t FBCTrackReader::storedFrameCount() const {
    return Snapshot().frameCount;
}

void FBCTrackReader::setFrameCount(int32_t count) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_values.frameCount = count;
}

int32_t FBCTrackReader::trackIndex() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_trackIndex;
}

void FBCTrackReader::setTrackIndex(int32_t index) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_trackIndex = index;
}

}  // namespace ComVantoVantoQZ64RADPlug
