#include "ClipVerifier.h"

#include "CFHolder.h"
#include "CMBlockBuffer.h"
#include "CMSampleBuffer.h"
#include "CMTime.h"
#include "CUStringMac.h"
#include "FBCMovieSample.h"
#include "HostEventCycle.h"
#include "MDValue.h"
#include "MIORADFormatReaderProtocol.h"
#include "MIORADSampleCursorProtocol.h"
#include "MIORADTrackReaderProtocol.h"
#include "MXFStream.h"
#include "MXFUtilities.h"
#include "Mpeg2Headers.h"
#include "STMetadataSets.h"
#include "STTrack.h"
#include "ValueTexts.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <system_error>

namespace qzimport {

using namespace ComVantoVantoQZ64RADPlug;

namespace {

using SampleHolder = CFHolder<CMSampleBufferRef>;
using Cursor = std::shared_ptr<MIORADSampleCursorProtocol>;
using Track = std::shared_ptr<MIORADTrackReaderProtocol>;

std::vector<uint8_t> BytesOf(CMSampleBufferRef sample) {
    CMBlockBufferRef block = CMSampleBufferGetDataBuffer(sample);
    std::vector<uint8_t> bytes(block ? CMBlockBufferGetDataLength(block) : 0);
    if (!bytes.empty() && CMBlockBufferCopyDataBytes(block, 0, bytes.size(), bytes.data()) != 0)
        bytes.clear();
    return bytes;
}

// "1 frame", "12 frames".
std::string Counted(int64_t n, const std::string& what) {
    return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
}

Track TrackOfType(const std::vector<Track>& tracks, FourCharCode type) {
    for (const Track& t : tracks)
        if (t && t->mediaType() == type) return t;
    return nullptr;
}

class Checker {
public:
    Checker(MIORADClipDataSourceProtocol* descriptor, CFBCClip& clip, PictureObserver* observer)
        : m_descriptor(descriptor), m_clip(clip), m_observer(observer) {}

    ClipVerification Run() {
        CheckMetadataFile();
        m_movie = CUSharedPtr<FBCMovieSample>(new FBCMovieSample());
        if (!m_movie->Init(m_clip.GetCIFPath())) {
            const CUFailure why = m_movie->LastFailure();
            Clip("frames", "the reader cannot read the clip's frames: " +
                               (why.Failed() ? why.Describe() : std::string("no usable frames")));
            return std::move(m_result);
        }
        m_frames = m_movie->FrameCountInClip();
        m_result.frames = m_frames;
        m_timescale = m_movie->timescale();
        m_frameDuration = m_movie->durationPerFrame();
        m_clock = m_movie->Clock();
        CheckPictureElements();
        if (!m_descriptor) {
            // What the files themselves show, frame by frame, of a clip the
            // plug-in leaves out.
            CheckMemberTimecodes();
            CheckSoundElements();
            m_movie->ReleaseMXFStream();
            return std::move(m_result);
        }
        std::shared_ptr<MIORADFormatReaderProtocol> reader = m_descriptor->formatReader();
        if (!reader) {
            Clip("tracks", "the plug-in gives no format reader");
            return std::move(m_result);
        }
        const std::vector<Track> tracks = reader->trackReaders();
        const Track video = TrackOfType(tracks, kMIORADMediaType_Video);
        if (!video) {
            Clip("tracks", "the plug-in gives no video track");
            return std::move(m_result);
        }
        if (video->frameCount() != static_cast<int32_t>(m_frames))
            Clip("frames", "the video track has " + Counted(video->frameCount(), "frame") +
                               " where the member files hold " + std::to_string(m_frames));
        StartAudio(TrackOfType(tracks, kMIORADMediaType_Audio));
        WalkDecodeOrder(*video);
        if (m_observer)
            for (VerifyProblem& found : m_observer->Finish()) {
                if (found.frame >= 0) found.timecode = TimecodeOf(found.frame);
                m_result.problems.push_back(std::move(found));
            }
        WalkPresentationOrder(*video);
        CheckMemberEnds();
        CheckMemberTimecodes();
        CheckTimecodeTrack(TrackOfType(tracks, kMIORADMediaType_TimeCode));
        CheckSoundElements();
        CheckAudio(TrackOfType(tracks, kMIORADMediaType_Audio));
        m_movie->ReleaseMXFStream();
        return std::move(m_result);
    }

private:
    void Clip(const std::string& check, const std::string& detail) {
        m_result.problems.push_back({-1, std::string(), check, detail});
    }
    void Frame(int64_t frame, const std::string& check, const std::string& detail) {
        m_result.problems.push_back({frame, TimecodeOf(frame), check, detail});
    }

    // The clip's metadata XML (its title, creator, shot marks): a clip
    // whose file is gone or unreadable has lost them, though its frames play.
    void CheckMetadataFile() {
        if (m_clip.GetClipMetaData()) return;
        const CUSharedPtr<CUStringMac> path = m_clip.GetXMLPath();
        const std::string name =
            path ? std::filesystem::path(path->Utf8()).filename().string() : std::string("its .XML file");
        std::error_code error;
        Clip("metadata",
             path && !std::filesystem::exists(path->Utf8(), error)
                 ? "the clip metadata file " + name + " is missing (title, creator and marks lost)"
                 : "the clip metadata file " + name +
                       " cannot be read as a clip document (title, creator and marks lost)");
    }

    CMTime FrameTime(int64_t slot) const {
        return CMTimeMake(slot * m_frameDuration, static_cast<CMTimeScale>(m_timescale));
    }
    int64_t SlotOf(CMTime time) const {
        const CMTime t = CMTimeConvertScale(time, static_cast<int32_t>(m_timescale), 1);
        if (!CMTIME_IS_VALID(t) || m_frameDuration <= 0 || t.value % m_frameDuration != 0) return -1;
        return t.value / m_frameDuration;
    }

    // The timecode of the picture frame `frame` presents, from the reader's
    // own index and timecode track.
    std::string TimecodeOf(int64_t frame) {
        int64_t counter = 0;
        if (__builtin_add_overflow(m_movie->StartTimecode(),
                                   frame + m_movie->DisplayOffsetAtIndex(static_cast<uint32_t>(frame)),
                                   &counter))
            return "-";
        const CUSharedPtr<TimecodeInfo> timecode = m_clock.TimecodeOfFrames(counter);
        return timecode ? TimecodeText(timecode) : "-";
    }

    // Each frame's picture element as the member file holds it: present,
    // not empty, inside the file.
    void CheckPictureElements() {
        const int32_t picture = m_movie->trackIndexFromType(kMxfTrackPicture, 0);
        m_elementSize.assign(m_frames, 0);
        const _MxfStreamInfo* unreadable = nullptr;
        for (uint32_t i = 0; i < m_frames; ++i) {
            uint32_t local = 0;
            CUSharedPtr<MXFStream> mxf = m_movie->mxfAtFrameIndex(i, &local);
            _MxfStreamInfo* info = m_movie->LastAccessInfo();
            const std::string file =
                info && info->path ? std::filesystem::path(info->path->Utf8()).filename().string() : "?";
            if (!mxf || picture < 0) {
                // Once per file, at its first frame: none of its frames can be had.
                if (info != unreadable) {
                    const CUFailure why = m_movie->LastFailure();
                    Frame(i, "picture",
                          "member file " + file + " cannot be read" +
                              (why.Failed() ? ": " + why.Describe() : std::string()));
                }
                unreadable = info;
                continue;
            }
            const MXFEssenceRange range = mxf->PeekEssenceRange(local, static_cast<uint32_t>(picture));
            std::error_code error;
            const uintmax_t fileSize = std::filesystem::file_size(info->path->Utf8(), error);
            if (range.second == 0)
                Frame(i, "picture", "no picture element in " + file);
            else if (error || range.first > fileSize || range.second > fileSize - range.first)
                Frame(i, "picture-size",
                      "its picture element (" + std::to_string(range.second) + " bytes at byte " +
                          std::to_string(range.first) + ") runs past the end of " + file + " (" +
                          std::to_string(fileSize) + " bytes)");
            else
                m_elementSize[i] = range.second;
        }
    }

    // A cursor at decode index `target` from `cursor` (at `at`), made anew
    // from the track when there is none yet. Null when the plug-in refuses.
    Cursor Reach(const Cursor& cursor, int64_t& at, int64_t target, bool decode,
                 MIORADTrackReaderProtocol& track) {
        if (cursor) {
            const OSStatus status = decode ? cursor->stepInDecodeOrder(target - at)
                                           : cursor->stepInPresentationOrder(target - at);
            if (status != 0) return nullptr;
            at = target;
            return cursor;
        }
        Cursor made = decode && target == 0
                          ? track.cursorAtFirstSampleInDecodeOrder()
                          : track.cursorAtPresentationTimeStamp(FrameTime(target), nullptr, nullptr);
        if (!made) return nullptr;
        at = decode ? SlotOf(made->decodeTimeStamp()) : SlotOf(made->presentationTimeStamp());
        if (at < 0) return nullptr;
        return at == target ? made : Reach(made, at, target, decode, track);
    }

    void WalkDecodeOrder(MIORADTrackReaderProtocol& video) {
        Cursor cursor;
        int64_t at = -1;
        CMTime previous = kCMTimeInvalid;
        std::vector<int64_t> presentedBy(m_frames, -1);
        size_t unreachable = 0;
        for (int64_t i = 0; i < static_cast<int64_t>(m_frames); ++i) {
            HostEventCycle cycle;
            Cursor here = Reach(cursor, at, i, true, video);
            if (!here) {
                ++unreachable;
                if (m_elementSize[i] > 0)
                    Frame(i, "decode-order", "the plug-in's cursor cannot reach it in decode order");
                CheckAudioOfFrame(i);
                continue;
            }
            cursor = here;
            const CMTime dts = here->decodeTimeStamp();
            if (SlotOf(dts) != i)
                Frame(i, "decode-order",
                      "decode time " + std::to_string(dts.value) + "/" + std::to_string(dts.timescale) +
                          " is not its slot");
            if (CMTIME_IS_VALID(previous) && CMTimeCompare(dts, previous) <= 0)
                Frame(i, "decode-order", "decode time does not increase");
            previous = dts;
            const int64_t slot = SlotOf(here->presentationTimeStamp());
            if (slot < 0 || slot >= static_cast<int64_t>(m_frames))
                Frame(i, "presentation-order", "presentation time lies outside the clip's slots");
            else if (presentedBy[slot] >= 0)
                Frame(i, "presentation-order",
                      "presented at slot " + std::to_string(slot) + " as frame " +
                          std::to_string(presentedBy[slot]) + " is");
            else
                presentedBy[slot] = i;
            CheckPicture(i, *here);
            CheckAudioOfFrame(i);
        }
        // A frame the cursor cannot reach leaves its slot empty; it is named above.
        for (int64_t slot = 0; unreachable == 0 && slot < static_cast<int64_t>(m_frames); ++slot)
            if (presentedBy[slot] < 0)
                Frame(slot, "presentation-order", "no frame is presented at slot " + std::to_string(slot));
    }

    // The cursor's picture type and sync attributes against the picture
    // header of the bytes it delivers.
    void CheckPicture(int64_t i, MIORADSampleCursorProtocol& cursor) {
        bool openGOP = false;
        const char type = cursor.mpeg2FrameType(&openGOP, nullptr);
        bool fullSync = false, partialSync = false, droppable = false;
        if (cursor.dependencyInfo(&fullSync, &partialSync, nullptr, &droppable) == 0) {
            const bool sync = fullSync || partialSync;
            if (sync != (type == 'I') || droppable != (type == 'B'))
                Frame(i, "sync",
                      std::string("a ") + type + " picture marked " + (sync ? "sync" : "not sync") +
                          (droppable ? ", droppable" : ""));
        }
        SampleHolder sample = SampleHolder::Adopt(cursor.createSampleBuffer(nullptr));
        if (!sample) {
            if (m_elementSize[i] > 0) Frame(i, "picture", "the plug-in cannot make its video buffer");
            return;
        }
        const std::vector<uint8_t> bytes = BytesOf(sample.Get());
        if (bytes.empty() || bytes.size() != m_elementSize[i]) {
            Frame(i, "picture-size",
                  "the video buffer holds " + std::to_string(bytes.size()) +
                      " bytes where its picture element has " + std::to_string(m_elementSize[i]));
            return;
        }
        if (m_observer) m_observer->Picture(i, bytes);
        const char header = Mpeg2Headers::PictureTypeLetter(bytes.data(), bytes.size());
        if (header == 0)
            Frame(i, "picture-type", "its picture element holds no picture header");
        else if (header != type)
            Frame(i, "picture-type",
                  std::string("the picture header says ") + header + " where the index says " +
                      (type ? std::string(1, type) : std::string("nothing")));
    }

    void WalkPresentationOrder(MIORADTrackReaderProtocol& video) {
        Cursor cursor;
        int64_t at = -1;
        std::vector<int64_t> seen(m_frames, 0);
        for (int64_t slot = 0; slot < static_cast<int64_t>(m_frames); ++slot) {
            HostEventCycle cycle;
            Cursor here = Reach(cursor, at, slot, false, video);
            if (!here) continue;  // the decode walk names the frame that cannot be had
            cursor = here;
            const int64_t decode = SlotOf(here->decodeTimeStamp());
            if (decode < 0 || decode >= static_cast<int64_t>(m_frames) || seen[decode]++ > 0)
                Frame(decode < 0 ? slot : decode, "presentation-order",
                      "presentation slot " + std::to_string(slot) + " gives a frame already presented");
        }
    }

    // A member entry that ends inside a group of pictures: a picture it
    // holds is displayed, in its file, past the member's end. The reader
    // still gives one frame per slot; the entry and the file disagree.
    void CheckMemberEnds() {
        for (size_t k = 0; k < m_movie->StreamInfoCount(); ++k) {
            _MxfStreamInfo* info = m_movie->StreamInfoAtIndex(static_cast<int64_t>(k));
            CUSharedPtr<MXFStream> mxf =
                info && info->frameCount > 0 ? m_movie->mxfAtFrameIndex(info->startFrame) : nullptr;
            const int64_t count = mxf ? std::min<int64_t>(info->frameCount, mxf->Duration()) : 0;
            for (int64_t shown = count; mxf && shown < std::min<int64_t>(mxf->Duration(), count + 128);
                 ++shown) {
                int8_t t = 0;
                if (!mxf->GetTemporalOffsetAtIndex(shown, t) || shown + t >= count) continue;
                Frame(info->startFrame + shown + t, "presentation-order",
                      "member file " + std::filesystem::path(info->path->Utf8()).filename().string() +
                          " ends inside a group of pictures: this frame is displayed at its position " +
                          std::to_string(shown) + ", past the member's " + std::to_string(count) + " frames");
                break;
            }
        }
    }

    // Each member file's own start timecode continues the one before it,
    // and the timecode track has one sample per frame.
    void CheckTimecodeTrack(const Track& timecode) {
        if (!timecode)
            Clip("timecode", "the plug-in gives no timecode track");
        else if (timecode->frameCount() != static_cast<int32_t>(m_frames))
            Clip("timecode", "the timecode track has " + Counted(timecode->frameCount(), "sample"));
    }

    void CheckMemberTimecodes() {
        const int64_t start = m_movie->StartTimecode();
        for (size_t k = 0; k < m_movie->StreamInfoCount(); ++k) {
            _MxfStreamInfo* info = m_movie->StreamInfoAtIndex(static_cast<int64_t>(k));
            if (!info || info->frameCount == 0) continue;
            CUSharedPtr<MXFStream> mxf = m_movie->mxfAtFrameIndex(info->startFrame);
            CUSharedPtr<STTrack> track = mxf ? FBC_Utl_TimecodeTrackFromMXF(mxf) : CUSharedPtr<STTrack>();
            CUSharedPtr<MDValue> value =
                track ? CUDynamicCast<MDValue>(track->ValueForTag(kLocalTag_StartTimecode, 0))
                      : CUSharedPtr<MDValue>();
            if (!value || value->ValueType() != kMDValueSInt64)
                continue;  // an unreadable file is named above
            const int64_t own = static_cast<long long>(*value);
            const int64_t expected = start + info->startFrame;
            if (own != expected)
                Frame(info->startFrame, "timecode",
                      "member file " + std::filesystem::path(info->path->Utf8()).filename().string() +
                          " starts at timecode count " + std::to_string(own) + " where the clip counts " +
                          std::to_string(expected) + " (a jump of " + std::to_string(own - expected) + ")");
        }
    }

    // Each frame's run of samples from the audio cursor, and the sound
    // elements in the member files, against the audio pattern of the rate.
    // Each frame's sound elements in the member files against the audio
    // pattern of the rate (48 kHz).
    void CheckSoundElements() {
        const uint32_t tracks = m_movie->trackCountFromType(kMxfTrackSound);
        for (int64_t i = 0; tracks > 0 && i < static_cast<int64_t>(m_frames); ++i) {
            if (m_elementSize[i] == 0) continue;  // named with its picture
            const int64_t expected = m_clock.SamplesOfFrame(i).value_or(0);
            uint32_t local = 0;
            CUSharedPtr<MXFStream> mxf = m_movie->mxfAtFrameIndex(static_cast<uint32_t>(i), &local);
            for (uint32_t t = 0; mxf && t < tracks; ++t) {
                const uint32_t bytes = m_movie->AudioQuantizationbitsAtIndex(t) / 8;
                // The element's length from its key alone: the pictures are
                // read once, by the plug-in, and the sound beside them.
                const int32_t element = m_movie->trackIndexFromType(kMxfTrackSound, t);
                const uint64_t got =
                    element < 0 ? 0 : mxf->PeekEssenceRange(local, static_cast<uint32_t>(element)).second;
                if (static_cast<int64_t>(got) != expected * bytes)
                    Frame(i, "audio",
                          "sound track " + std::to_string(t + 1) + " holds " +
                              Counted(static_cast<int64_t>(got), "byte") + " where " +
                              Counted(expected, "sample") + " take " + std::to_string(expected * bytes));
            }
        }
    }

    // Each frame's run of samples from the plug-in's audio cursor, asked for
    // during the decode-order walk right after the frame's picture (whose
    // last block the plug-in still holds: the sound lies just after it);
    // what it finds is reported here, after the member files' own sound.
    void StartAudio(const Track& audio) {
        m_audio = m_movie->trackCountFromType(kMxfTrackSound) >= 2 ? audio : nullptr;
        m_audioRate = m_audio ? m_audio->timescale() : 0;
        m_audioClock = ClipClock(m_timescale, m_frameDuration, 0, false, m_audioRate);
    }
    void CheckAudioOfFrame(int64_t i) {
        if (!m_audio || m_elementSize[i] == 0) return;  // a broken picture is named with its picture
        const int64_t first = m_audioClock.SampleAtFrame(i).value_or(0);
        const int64_t expected = m_audioClock.SamplesOfFrame(i).value_or(0);
        HostEventCycle cycle;
        Cursor cursor = m_audio->cursorAtPresentationTimeStamp(
            CMTimeMake(first, static_cast<CMTimeScale>(m_audioRate)), nullptr, nullptr);
        SampleHolder sample =
            cursor ? SampleHolder::Adopt(cursor->createSampleBuffer(nullptr)) : SampleHolder();
        if (!sample) {
            m_audioProblems.push_back(
                {i, TimecodeOf(i), "audio",
                 "the plug-in gives no audio buffer at sample " + std::to_string(first)});
            return;
        }
        const CMItemCount count = CMSampleBufferGetNumSamples(sample.Get());
        const CMTime pts = CMSampleBufferGetPresentationTimeStamp(sample.Get());
        if (count != expected ||
            CMTimeCompare(pts, CMTimeMake(first, static_cast<CMTimeScale>(m_audioRate))) != 0)
            m_audioProblems.push_back({i, TimecodeOf(i), "audio",
                                       "the audio buffer carries " + Counted(count, "sample") +
                                           " from sample " + std::to_string(pts.value) +
                                           " where the rate gives " + std::to_string(expected) +
                                           " from sample " + std::to_string(first)});
    }
    void CheckAudio(const Track& audio) {
        if (m_movie->trackCountFromType(kMxfTrackSound) < 2) return;  // no stereo audio to offer
        if (!audio) Clip("audio", "the plug-in gives no audio track");
        for (VerifyProblem& problem : m_audioProblems) m_result.problems.push_back(std::move(problem));
    }

    MIORADClipDataSourceProtocol* m_descriptor;  // null: a clip the plug-in leaves out
    CFBCClip& m_clip;
    PictureObserver* m_observer;  // may be null
    CUSharedPtr<FBCMovieSample> m_movie;
    ClipVerification m_result;
    uint32_t m_frames = 0;
    int64_t m_timescale = 0;
    int64_t m_frameDuration = 0;
    std::vector<uint64_t> m_elementSize;  // 0 where the picture element is missing or broken
    Track m_audio;                        // the plug-in's audio track, while the decode walk asks it
    int64_t m_audioRate = 0;
    ClipClock m_clock;       // the movie's: its timecode, and its sound at 48 kHz in the member files
    ClipClock m_audioClock;  // at the plug-in's audio rate
    std::vector<VerifyProblem> m_audioProblems;
};

}  // namespace

ClipVerification ClipVerifier::Verify(MIORADClipDataSourceProtocol* descriptor, CFBCClip& clip,
                                      PictureObserver* observer) {
    return Checker(descriptor, clip, observer).Run();
}

}  // namespace qzimport
