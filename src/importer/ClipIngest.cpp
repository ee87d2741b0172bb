#include "ClipIngest.h"

#include "CFHolder.h"
#include "CMBlockBuffer.h"
#include "CMSampleBuffer.h"
#include "CMTime.h"
#include "CUInterruption.h"
#include "ClipStates.h"
#include "HostEventCycle.h"
#include "ImportError.h"
#include "MIORADIngestObject.h"
#include "MXFStream.h"
#include "Mpeg2Headers.h"
#include "ValueTexts.h"

#include <algorithm>
#include <memory>

namespace qzimport {

using namespace ComVantoVantoQZ64RADPlug;

namespace {

using SampleHolder = CFHolder<CMSampleBufferRef>;

// A sound element of one frame holds at most a few thousand samples; more
// than this is not a frame's sound.
constexpr size_t kMaxSoundElementBytes = 64 * 1024;

// The sample's bytes appended to `out` (cleared first), piece by piece.
// The bytes of a sample buffer: where they lie in one piece (as the
// plug-in makes them), in place, valid while the sample is held; else
// gathered into `scratch`.
std::pair<const uint8_t*, size_t> BytesOf(CMSampleBufferRef sample, std::vector<uint8_t>& scratch,
                                          const std::string& what) {
    CMBlockBufferRef block = CMSampleBufferGetDataBuffer(sample);
    const size_t total = block ? CMBlockBufferGetDataLength(block) : 0;
    if (total == 0) return {nullptr, 0};
    size_t length = 0;
    char* data = nullptr;
    if (CMBlockBufferGetDataPointer(block, 0, &length, nullptr, &data) != 0 || !data || length == 0)
        throw ImportError(what + ": its buffer's bytes cannot be read");
    if (length >= total) return {reinterpret_cast<const uint8_t*>(data), total};
    scratch.clear();
    for (size_t at = 0; at < total;) {
        if (CMBlockBufferGetDataPointer(block, at, &length, nullptr, &data) != 0 || !data || length == 0)
            throw ImportError(what + ": its buffer's bytes cannot be read");
        length = std::min(length, total - at);
        scratch.insert(scratch.end(), data, data + length);
        at += length;
    }
    return {scratch.data(), scratch.size()};
}

// Each track's element holds whole samples, as many as the first's.
bool WholeSoundOfEveryTrack(const std::vector<MXFEssenceRange>& ranges, uint32_t bytesPerSample) {
    for (const MXFEssenceRange& range : ranges)
        if (range.second == 0 || range.second % bytesPerSample != 0 || range.second != ranges.front().second)
            return false;
    return true;
}

// A sample time in units of `timescale`; exact when the scales divide.
int64_t InScale(CMTime time, int64_t timescale) {
    if (time.timescale == timescale) return time.value;
    return time.timescale > 0 ? time.value * timescale / time.timescale : 0;
}

// Ends the import on every path out, as a host does once it stops asking.
class IngestSession {
public:
    IngestSession(MIORADIngestObject& ingest, void* refCon) : m_ingest(ingest), m_refCon(refCon) {
        m_ingest.initialize(m_refCon);
    }
    ~IngestSession() { m_ingest.teardown(m_refCon); }
    IngestSession(const IngestSession&) = delete;
    IngestSession& operator=(const IngestSession&) = delete;

private:
    MIORADIngestObject& m_ingest;
    void* m_refCon;
};

}  // namespace

ClipIngest::ClipIngest(MIORADClipDataSourceProtocol& descriptor, CFBCClip& clip)
    : m_descriptor(descriptor), m_clip(clip), m_movie(new FBCMovieSample()) {
    if (!m_movie->Init(clip.GetCIFPath()))
        throw ImportError("the clip's frames cannot be read: " + MovieFailure(*m_movie, "no usable frames"));
    m_timescale = m_movie->timescale();
    m_frameDuration = m_movie->durationPerFrame();
    if (m_movie->FrameCountInClip() == 0 || m_timescale <= 0 || m_frameDuration <= 0)
        throw ImportError("the clip has no frames to import");
    m_last = m_movie->FrameCountInClip() - 1;
}

ClipIngest::~ClipIngest() = default;

uint32_t ClipIngest::FrameCount() const {
    return m_movie->FrameCountInClip();
}

int32_t ClipIngest::DisplayOffset(uint32_t index) {
    return m_movie->DisplayOffsetAtIndex(index);
}

void ClipIngest::SetRange(std::optional<uint32_t> inFrame, std::optional<uint32_t> outFrame) {
    const uint32_t last = FrameCount() - 1;
    m_inFrame = inFrame ? std::optional<uint32_t>(std::min(*inFrame, last)) : std::nullopt;
    m_movie->InitializeGetSample();
    if (m_inFrame) m_movie->setInPoint(int64_t{*m_inFrame} * m_frameDuration, m_timescale);
    m_first = m_movie->StartIndex();
    m_last = last;
    m_outFrame.reset();
    if (!outFrame) return;
    // Grow the end until every picture stored in [first, end] presents
    // inside it: a B picture that the out point presents needs the
    // reference picture stored before it, which presents later.
    uint32_t end = std::max(std::min(*outFrame, last), m_first);
    for (uint32_t i = m_first; i <= end; ++i) {
        const int64_t display = int64_t{i} + DisplayOffset(i);
        if (display > end) end = static_cast<uint32_t>(std::min<int64_t>(display, last));
    }
    m_last = end;
    if (m_last < last)
        m_outFrame = static_cast<uint32_t>(std::max<int64_t>(int64_t{m_last} + DisplayOffset(m_last), 0));
}

uint64_t ClipIngest::PictureBytes() {
    // From the index alone: an edit unit's bytes run from its offset to the
    // next one's; reading each picture's key to size it would read the
    // essence once more. The last unit of a member file counts as the
    // average of the others.
    uint64_t units = 0, known = 0, unknown = 0;
    for (uint32_t i = m_first; i <= m_last; ++i) {
        uint32_t local = 0;
        CUSharedPtr<MXFStream> stream = m_movie->mxfAtFrameIndex(i, &local);
        uint64_t at = 0, next = 0;
        if (stream && int64_t{local} + 1 < stream->Duration() &&
            stream->GetEssenceOffset(local, 0, at) == 0 &&
            stream->GetEssenceOffset(local + 1, 0, next) == 0 && next > at)
            units += next - at, ++known;
        else
            ++unknown;
    }
    if (known > 0) units += unknown * (units / known);
    const uint64_t sound = uint64_t{SoundTracks()} * (BitsPerSample() / 8) *
                           static_cast<uint64_t>(Clock().SampleAtFrame(RecordCount()).value_or(0));
    return units > sound ? units - sound : units;
}

uint32_t ClipIngest::DecodeDelayFrames() {
    int32_t delay = 0;
    for (uint32_t i = m_first; i <= m_last; ++i) delay = std::max(delay, -DisplayOffset(i));
    return static_cast<uint32_t>(delay);
}

uint32_t ClipIngest::SoundTracks() const {
    return m_movie->trackCountFromType(kMxfTrackSound);
}

uint32_t ClipIngest::BitsPerSample() const {
    return SoundTracks() > 0 ? m_movie->AudioQuantizationbitsAtIndex(0) : 16;
}

uint32_t ClipIngest::SampleRate() const {
    return SoundTracks() > 0 ? static_cast<uint32_t>(m_movie->AudioSampleRateAtIndex(0) + 0.5f) : 48000;
}

ClipClock ClipIngest::Clock() const {
    return ClipClock(m_timescale, m_frameDuration, m_clip.RoundedTimecodeBase(), m_clip.isDropFrame(),
                     SampleRate());
}

std::optional<std::string> ClipIngest::SlotTimecode(uint32_t slot) {
    std::string text = TimecodeText(m_clip.CalculateTimcodeFromFrameNo(slot));
    if (text.empty()) return std::nullopt;
    return text;
}

std::string ClipIngest::TimecodeOfSlot(uint32_t slot) {
    return SlotTimecode(slot).value_or("-");
}

std::string ClipIngest::FrameText(uint32_t index) {
    const int64_t slot = int64_t{index} + DisplayOffset(index);
    return "frame " + std::to_string(index) + " (" +
           (slot >= 0 ? TimecodeOfSlot(static_cast<uint32_t>(slot)) : "-") + ")";
}

void ClipIngest::Run(const std::function<bool(const IngestRecord&)>& visit) {
    std::shared_ptr<MIORADIngestObject> ingest = m_descriptor.ingestObject();
    if (!ingest) throw ImportError("the plug-in gives no ingest object for it");
    void* refCon = m_descriptor.ingestObjectRefCon();

    const uint32_t tracks = m_readTracks ? SoundTracks() : 0;
    for (uint32_t t = 0; t < tracks; ++t)
        if (m_movie->AudioQuantizationbitsAtIndex(t) != BitsPerSample())
            throw ImportError("its sound tracks differ in sample size");
    const uint32_t bytesPerSample = std::max<uint32_t>(BitsPerSample() / 8, 1);
    std::vector<std::vector<uint8_t>> sound(tracks, std::vector<uint8_t>(kMaxSoundElementBytes));
    std::vector<uint8_t> allSound(size_t{tracks} * kMaxSoundElementBytes);
    std::vector<MXFEssenceRange> soundRanges(tracks);
    std::vector<uint8_t> picture, stereo;

    // The movie layer walks the same frames for the sound of every track.
    m_movie->InitializeGetSample();
    if (m_inFrame) m_movie->setInPoint(int64_t{*m_inFrame} * m_frameDuration, m_timescale);
    if (m_movie->StartIndex() != m_first) throw ImportError("the movie layer starts at another frame");

    IngestSession session(*ingest, refCon);
    if (m_inFrame)
        ingest->setInPoint(
            CMTimeMake(int64_t{*m_inFrame} * m_frameDuration, static_cast<CMTimeScale>(m_timescale)), refCon);
    if (m_outFrame)
        ingest->setOutPoint(
            CMTimeMake(int64_t{*m_outFrame} * m_frameDuration, static_cast<CMTimeScale>(m_timescale)),
            refCon);
    IngestRecord record;
    record.trackSound.resize(tracks);
    for (uint32_t index = m_first; index <= m_last; ++index) {
        CUInterruption::ThrowIfRequested();
        HostEventCycle cycle;
        MIORADIngestMedia media;
        ingest->getNextMedia(&media, refCon);
        SampleHolder videoSample = SampleHolder::Adopt(media.videoSampleBuffer);
        SampleHolder audioSample = SampleHolder::Adopt(media.audioSampleBuffer);
        if (media.endOfClip)
            throw ImportError(FrameText(index) + ": the plug-in ends the import " +
                              std::to_string(m_last - index + 1) + " frames early");
        if (!media.hasFrame)
            throw ImportError(FrameText(index) + ": the plug-in gave neither a frame nor the end");
        if (!videoSample)
            throw ImportError(FrameText(index) + ": the plug-in could not make its video buffer");
        if (!audioSample)
            throw ImportError(FrameText(index) + ": the plug-in could not make its audio buffer");

        const auto [pictureBytes, pictureSize] = BytesOf(videoSample.Get(), picture, FrameText(index));
        const auto [stereoBytes, stereoSize] = BytesOf(audioSample.Get(), stereo, FrameText(index));
        const CMItemCount samples = CMSampleBufferGetNumSamples(audioSample.Get());
        if (samples < 0 || stereoSize != static_cast<size_t>(samples) * 4)
            throw ImportError(FrameText(index) + ": its audio buffer holds " + std::to_string(stereoSize) +
                              " bytes for " + std::to_string(samples) + " stereo 16-bit samples");
        if (InScale(CMSampleBufferGetDecodeTimeStamp(videoSample.Get()), m_timescale) !=
            int64_t{index} * m_frameDuration)
            throw ImportError(FrameText(index) + ": the plug-in delivers another frame in its place");
        record.index = index;
        record.picture = pictureBytes;
        record.pictureSize = pictureSize;
        record.pictureType = Mpeg2Headers::PictureCodingType(pictureBytes, pictureSize);
        record.decodeTime = InScale(CMSampleBufferGetDecodeTimeStamp(videoSample.Get()), m_timescale);
        record.presentationTime =
            InScale(CMSampleBufferGetPresentationTimeStamp(videoSample.Get()), m_timescale);
        record.timecodeCounter = media.timecodeCounter;
        record.stereo = stereoBytes;
        record.stereoSize = stereoSize;
        record.trackSamples = 0;
        // Every track in one read past the movie's block cache: the plug-in
        // has just read these blocks through its own. Where that cannot be
        // done, track by track, which names what fails.
        const bool together = tracks > 0 &&
                              m_movie->ReadSampleElements(index, kMxfTrackSound, 0, tracks, allSound.data(),
                                                          static_cast<uint32_t>(allSound.size()),
                                                          soundRanges.data(), true) > 0 &&
                              WholeSoundOfEveryTrack(soundRanges, bytesPerSample);
        for (uint32_t t = 0; t < tracks; ++t) {
            uint64_t got = soundRanges[t].second;
            if (together) {
                record.trackSound[t] = allSound.data() + soundRanges[t].first;
            } else {
                got = m_movie->ReadCurrentSampleData(kMxfTrackSound, t, sound[t].data(),
                                                     static_cast<uint32_t>(sound[t].size()));
                if (got == 0 || got % bytesPerSample != 0 ||
                    (t > 0 && got / bytesPerSample != record.trackSamples))
                    throw ImportError(FrameText(index) + ": sound track " + std::to_string(t + 1) +
                                      " cannot be read: " + MovieFailure(*m_movie, "no whole sound element"));
                record.trackSound[t] = sound[t].data();
            }
            record.trackSamples = static_cast<uint32_t>(got / bytesPerSample);
        }
        if (!visit(record)) return;
        m_movie->nextFrame();
    }
}

}  // namespace qzimport
