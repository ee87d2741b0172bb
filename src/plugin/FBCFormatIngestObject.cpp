#include "FBCFormatIngestObject.h"

#include "CUDateTime.h"
#include "FBCFormatClip.h"
#include "FBCFormatUtility.h"
#include "FBCMovieSampleForFCPX.h"
#include "HostAlert.h"
#include "HostBundle.h"

#include <cstring>

namespace ComVantoVantoQZ64RADPlug {

namespace {

// The clip's name is shortened to its clip ID's first characters.
constexpr size_t kShortestReportedName = 6;

double WallClockSeconds() {
    CUSharedPtr<CUDateTime> now = CUDateTime::Create();
    return now ? now->GetAbsoluteTime() : 0.0;
}

// The first `count` characters (code points) of UTF-8 text; their number in `length`.
std::string Prefix(const std::string& text, size_t count, size_t* length) {
    size_t characters = 0, end = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
        if (characters == count) break;
        ++characters;
        end = i + 1;
        while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) ++end;
    }
    size_t total = 0;
    for (unsigned char c : text) total += (c & 0xC0) != 0x80;
    *length = total;
    return text.substr(0, end);
}

}  // namespace

FBCMovieSampleForFCPX* FBCFormatIngestObject::MovieOf(void* refCon) const {
    // Only the clip's own movie is used: any other pointer would be read as one.
    FBCMovieSampleForFCPX* movie = _targetClip->movie().get();
    return refCon && refCon == movie ? movie : nullptr;
}

FBCFormatIngestObject::FBCFormatIngestObject(std::shared_ptr<FBCFormatClip> clip)
    : _targetClip(std::move(clip)), m_clock(WallClockSeconds) {
    if (const CUSharedPtr<FBCMovieSampleForFCPX>& movie = _targetClip->movie())
        m_lastIndex = movie->LastFrame();
}

std::shared_ptr<FBCFormatIngestObject> FBCFormatIngestObject::initWithFormatClip(
    std::shared_ptr<FBCFormatClip> clip) {
    if (!clip) return nullptr;
    return std::shared_ptr<FBCFormatIngestObject>(new FBCFormatIngestObject(std::move(clip)));
}

void FBCFormatIngestObject::setClock(Clock clock) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_clock = clock ? std::move(clock) : Clock(WallClockSeconds);
}

OSStatus FBCFormatIngestObject::initialize(void* refCon) {
    if (!MovieOf(refCon)) return 0;
    std::lock_guard<std::mutex> hold(m_lock);
    m_currentIndex = m_startIndex;
    return 0;
}

OSStatus FBCFormatIngestObject::start(void*) {
    return 0;
}

OSStatus FBCFormatIngestObject::setInPoint(CMTime inPoint, void* refCon) {
    FBCMovieSampleForFCPX* movie = MovieOf(refCon);
    if (!movie) return 0;
    const uint32_t start = movie->InPointIndex(inPoint.value, inPoint.timescale);
    std::lock_guard<std::mutex> hold(m_lock);
    // The host rewinds before it sets the points, so the cursor follows.
    m_startIndex = m_currentIndex = start;
    return 0;
}

OSStatus FBCFormatIngestObject::setOutPoint(CMTime outPoint, void* refCon) {
    FBCMovieSampleForFCPX* movie = MovieOf(refCon);
    if (!movie) return 0;
    const uint32_t last = movie->OutPointIndex(outPoint.value, outPoint.timescale);
    std::lock_guard<std::mutex> hold(m_lock);
    m_lastIndex = last;
    return 0;
}

OSStatus FBCFormatIngestObject::setPathSet(CFArrayRef, void*) {
    return 0;
}
OSStatus FBCFormatIngestObject::setKeepMediaVideoRate(bool, void*) {
    return 0;
}

OSStatus FBCFormatIngestObject::getNextMedia(MIORADIngestMedia* media, void* refCon) {
    FBCMovieSampleForFCPX* movie = MovieOf(refCon);
    if (!media || !movie) return 0;
    std::memset(static_cast<void*>(media), 0, sizeof *media);
    uint32_t frame = 0;
    {
        // The frame is taken and the cursor moved on in one step.
        std::lock_guard<std::mutex> hold(m_lock);
        if (m_currentIndex > m_lastIndex) {
            media->endOfClip = 1;
            return 0;
        }
        frame = m_currentIndex++;
    }
    media->videoSampleBuffer = movie->createVideoSampleBufferAtIndex(frame);
    media->audioSampleBuffer = movie->createAudioSampleBufferAtIndex(frame, 0, kCMTimePositiveInfinity);
    media->timecodeCounter = movie->TimeCounterAtIndex(frame);
    media->timecodeBase = movie->RoundedTimecodeBase();
    media->dropFrame = movie->isDropFrame() ? 1 : 0;
    media->hasFrame = 1;
    return 0;
}

OSStatus FBCFormatIngestObject::stop(void*) {
    std::lock_guard<std::mutex> hold(m_lock);
    if (!_stopDate) _stopDate = m_clock();
    return 0;
}

std::optional<std::string> FBCFormatIngestObject::FillMessageFormat(const std::string& format,
                                                                    const std::string& name) {
    std::string text;
    int objects = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') {
            text += format[i];
            continue;
        }
        const char next = i + 1 < format.size() ? format[i + 1] : '\0';
        if (next == '%')
            text += '%';
        else if (next == '@')
            text += name, ++objects;
        else
            return std::nullopt;  // a directive the one name cannot fill
        ++i;
    }
    if (objects != 1) return std::nullopt;
    return text;
}

OSStatus FBCFormatIngestObject::reset(void* refCon) {
    FBCMovieSampleForFCPX* movie = MovieOf(refCon);
    if (!movie) return 0;
    bool interrupted = false;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        // A stop with only the last frame undelivered still interrupted the import.
        interrupted =
            _stopDate && m_currentIndex <= m_lastIndex && *_stopDate - m_clock() > -kInterruptedResetSeconds;
    }
    if (interrupted && FBCFormatUtility::PluginBundle()) {
        const std::optional<std::string> name = _targetClip->name();
        size_t length = 0;
        const std::string shortName = name ? Prefix(*name, kShortestReportedName, &length) : std::string();
        const std::optional<std::string> title = FBCFormatUtility::messageForKey("IDS_FCP_CLIP_ERR_TITLE");
        const std::optional<std::string> format = FBCFormatUtility::messageForKey("IDS_FCP_CLIP_ERR_MESSAGE");
        if (name && length >= kShortestReportedName && title && !title->empty() && format) {
            if (std::optional<std::string> message = FillMessageFormat(*format, shortName))
                HostAlert::RunModal(*title, *message);
        }
    }
    std::lock_guard<std::mutex> hold(m_lock);
    m_currentIndex = m_startIndex;
    return 0;
}

OSStatus FBCFormatIngestObject::cleanup(void*) {
    return 0;
}

OSStatus FBCFormatIngestObject::teardown(void* refCon) {
    if (FBCMovieSampleForFCPX* movie = MovieOf(refCon)) movie->ReleaseMXFStream();
    return 0;
}

}  // namespace ComVantoVantoQZ64RADPlug
