#include "ClipExporter.h"

#include "CFBCContent.h"
#include "CFHolder.h"
#include "CMBlockBuffer.h"
#include "CMSampleBuffer.h"
#include "CMTime.h"
#include "CUArray.h"
#include "CUStringMac.h"
#include "CardText.h"
#include "ClipOutputs.h"
#include "ExportProgress.h"
#include "FBCClipValueTag.h"
#include "FBCMovieSample.h"
#include "FBC_Utl_Timecode.h"
#include "HostEventCycle.h"
#include "ImportError.h"
#include "WavWriter.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace qzimport {

using namespace ComVantoVantoQZ64RADPlug;
using nlohmann::ordered_json;

namespace {

using SampleHolder = CFHolder<CMSampleBufferRef>;

// A sound element of one frame holds at most a few thousand samples; more
// than this is not a frame's audio.
constexpr size_t kMaxSoundElementBytes = 64 * 1024;

// Calls visit(data, length) for each contiguous piece of the sample's
// bytes, in order, without copying them; the byte count.
template <class Visit>
size_t ForEachPiece(CMSampleBufferRef sample, Visit visit) {
    CMBlockBufferRef block = CMSampleBufferGetDataBuffer(sample);
    const size_t total = block ? CMBlockBufferGetDataLength(block) : 0;
    for (size_t at = 0; at < total;) {
        size_t length = 0;
        char* data = nullptr;
        if (CMBlockBufferGetDataPointer(block, at, &length, nullptr, &data) != 0 || !data || length == 0)
            throw ImportError("a sample buffer's bytes cannot be read");
        length = std::min(length, total - at);
        visit(reinterpret_cast<const uint8_t*>(data), length);
        at += length;
    }
    return total;
}

// The timecode the media record gives its frame. At 50 and 60 pictures
// per second the counter advances with each picture while the timecode
// labels every second one.
std::string RecordTimecode(const MIORADIngestMedia& media) {
    uint32_t counter = media.timecodeCounter;
    uint32_t base = media.timecodeBase;
    if (base == 50 || base == 60) counter /= 2, base /= 2;
    if (base == 0) return "-";
    return TimecodeText(FBC_Utl_FrameFromTimecode(counter, base, media.dropFrame ? 1u : 0u));
}

std::string FrameText(uint64_t index, const std::string& timecode) {
    return "frame " + std::to_string(index) + " (" + timecode + ")";
}

std::string MovieFailure(const FBCMovieStream& movie, const std::string& fallback) {
    const CUFailure failure = movie.LastFailure();
    return failure.Failed() ? failure.Describe() : fallback;
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

// One mono WAV per sound track, read frame by frame through the movie
// layer over the same in/out range the ingest object walked.
uint64_t WriteChannelFiles(FBCMovieSample& movie, ClipOutputs& outputs, const std::string& clipID,
                           uint64_t expectedFrames) {
    const uint32_t tracks = movie.trackCountFromType(kMxfTrackSound);
    std::vector<OutputFile*> files;
    std::vector<WavWriter> writers;
    for (uint32_t t = 0; t < tracks; ++t) {
        const uint32_t bits = movie.AudioQuantizationbitsAtIndex(t);
        if (bits != 16)
            throw ImportError("sound track " + std::to_string(t + 1) + " holds " + std::to_string(bits) +
                              "-bit samples; the channel files are 16-bit");
        files.push_back(&outputs.Add(clipID + "_ch" + std::to_string(t + 1) + ".wav"));
    }
    writers.reserve(tracks);
    for (OutputFile* file : files) writers.emplace_back(*file, 1);

    std::vector<unsigned char> element(kMaxSoundElementBytes);
    std::vector<int16_t> samples;
    uint64_t frames = 0;
    movie.InitializeGetSample();
    while (movie.FrameCountInClip() > 0 && !movie.isEndOfClip()) {
        for (uint32_t t = 0; t < tracks; ++t) {
            const uint32_t got = movie.ReadCurrentSampleData(kMxfTrackSound, t, element.data(),
                                                             static_cast<uint32_t>(element.size()));
            if (got == 0 || got % 2 != 0)
                throw ImportError("frame " + std::to_string(movie.CurrentIndex()) + ": sound track " +
                                  std::to_string(t + 1) +
                                  " cannot be read: " + MovieFailure(movie, "no sound element"));
            samples.resize(got / 2);
            for (size_t i = 0; i < samples.size(); ++i)  // stored little-endian
                samples[i] = static_cast<int16_t>(element[2 * i] | (element[2 * i + 1] << 8));
            writers[t].WriteFrames(samples.data(), samples.size());
        }
        ++frames;
        if (!movie.nextFrame()) break;
    }
    if (frames != expectedFrames)
        throw ImportError("the movie layer walks " + std::to_string(frames) +
                          " frames where the plug-in delivered " + std::to_string(expectedFrames));
    for (WavWriter& writer : writers) writer.Finish();
    return writers.empty() ? 0 : writers.front().FrameCount();
}

ordered_json MemberFiles(CFBCClip& clip) {
    ordered_json files = ordered_json::array();
    CUSharedPtr<CUArray> paths = clip.AllMXFFilePath();
    const CFBCContent* media = clip.GetMedia();
    const std::filesystem::path root = media && media->GetRootPath() ? media->GetRootPath()->Utf8() : "";
    for (size_t i = 0; paths && i < paths->Count(); ++i) {
        CUSharedPtr<CUStringMac> path = paths->ObjectAtIndex(i);
        if (!path) continue;
        const std::filesystem::path relative = std::filesystem::path(path->Utf8()).lexically_relative(root);
        files.push_back(relative.empty() ? path->Utf8() : relative.string());
    }
    return files;
}

ordered_json FrameOrNull(const std::optional<int64_t>& frame) {
    return frame ? ordered_json(*frame) : ordered_json();
}

}  // namespace

ClipExporter::ClipExporter(ExportProgress& progress) : m_progress(progress) {}

std::vector<std::string> ClipExporter::OutputNames(const std::string& clipID, bool allChannels,
                                                   uint32_t soundTracks) {
    std::vector<std::string> names = {clipID + ".m2v", clipID + ".wav", clipID + ".json"};
    if (allChannels)
        for (uint32_t t = 1; t <= soundTracks; ++t)
            names.push_back(clipID + "_ch" + std::to_string(t) + ".wav");
    return names;
}

ExportResult ClipExporter::Export(const ExportRequest& request, MIORADIngestObject& ingest, void* refCon,
                                  CFBCClip& clip) {
    ExportResult result;
    const std::string& id = request.clipID;
    CUSharedPtr<FBCMovieSample> movie(new FBCMovieSample());
    if (!movie->Init(clip.GetCIFPath())) {
        result.failure = "the clip's frames cannot be read: " + MovieFailure(*movie, "no usable frames");
        return result;
    }
    const int64_t timescale = movie->timescale();
    const int64_t frameDuration = movie->durationPerFrame();
    const bool write = !request.discard;
    ClipOutputs outputs(request.outputFolder, request.replace);
    const std::vector<std::string> existing =
        write ? outputs.ExistingOutputs(
                    OutputNames(id, request.allChannels, movie->trackCountFromType(kMxfTrackSound)))
              : std::vector<std::string>();
    if (!existing.empty()) {
        result.failure = existing.front() + " exists in " + request.outputFolder + " (--force replaces it)";
        return result;
    }

    // The movie layer walks the range the ingest object is given, so both
    // agree on where the import starts and ends.
    movie->InitializeGetSample();
    if (request.inFrame) movie->setInPoint(*request.inFrame * frameDuration, timescale);
    if (request.outFrame) movie->setOutPoint(*request.outFrame * frameDuration, timescale);
    const uint64_t total =
        movie->FrameCountInClip() > 0 ? uint64_t{movie->LastIndex()} - movie->StartIndex() + 1 : 0;
    const uint64_t firstIndex = movie->StartIndex();

    m_progress.StartClip(id, total);
    try {
        OutputFile* video = write ? &outputs.Add(id + ".m2v") : nullptr;
        std::optional<WavWriter> audio;
        if (write) audio.emplace(outputs.Add(id + ".wav"), 2);
        std::string firstTimecode, lastTimecode;
        // Delivery is in decode order: the earliest and latest pictures
        // presented are the lowest and highest counters.
        std::optional<MIORADIngestMedia> earliest, latest;
        {
            IngestSession session(ingest, refCon);
            if (request.inFrame)
                ingest.setInPoint(
                    CMTimeMake(*request.inFrame * frameDuration, static_cast<CMTimeScale>(timescale)),
                    refCon);
            if (request.outFrame)
                ingest.setOutPoint(
                    CMTimeMake(*request.outFrame * frameDuration, static_cast<CMTimeScale>(timescale)),
                    refCon);
            // A plug-in that never sets the end flag must not keep the
            // export going: no clip delivers more frames than it has.
            const uint64_t limit = uint64_t{movie->FrameCountInClip()} + 1;
            for (;;) {
                HostEventCycle cycle;
                MIORADIngestMedia media;
                ingest.getNextMedia(&media, refCon);
                SampleHolder videoSample = SampleHolder::Adopt(media.videoSampleBuffer);
                SampleHolder audioSample = SampleHolder::Adopt(media.audioSampleBuffer);
                if (media.endOfClip) break;
                const uint64_t index = firstIndex + result.frames;
                const std::string timecode = RecordTimecode(media);
                if (!media.hasFrame)
                    throw ImportError(FrameText(index, timecode) +
                                      ": the plug-in gave neither a frame nor the end");
                if (!videoSample)
                    throw ImportError(FrameText(index, timecode) +
                                      ": the plug-in could not make its video buffer");
                if (!audioSample)
                    throw ImportError(FrameText(index, timecode) +
                                      ": the plug-in could not make its audio buffer");
                // Written from the buffers' own bytes: no copy on the way out.
                result.bytes += ForEachPiece(videoSample.Get(), [&](const uint8_t* data, size_t length) {
                    if (video) video->Write(data, length);
                });
                const CMItemCount samples = CMSampleBufferGetNumSamples(audioSample.Get());
                const size_t sound = ForEachPiece(audioSample.Get(), [&](const uint8_t* data, size_t length) {
                    if (audio) audio->WriteBytes(data, length);
                });
                if (samples < 0 || sound != static_cast<size_t>(samples) * 4)
                    throw ImportError(FrameText(index, timecode) + ": its audio buffer holds " +
                                      std::to_string(sound) + " bytes for " + std::to_string(samples) +
                                      " stereo 16-bit samples");
                result.bytes += sound;
                if (result.frames == 0) firstTimecode = timecode;
                lastTimecode = timecode;
                MIORADIngestMedia stamp = media;  // its timecode only: the buffers are released
                stamp.videoSampleBuffer = stamp.audioSampleBuffer = nullptr;
                if (!earliest || stamp.timecodeCounter < earliest->timecodeCounter) earliest = stamp;
                if (!latest || stamp.timecodeCounter > latest->timecodeCounter) latest = stamp;
                result.audioSamples += static_cast<uint64_t>(samples);
                if (++result.frames > limit)
                    throw ImportError("the plug-in delivers more frames than the clip has (" +
                                      std::to_string(movie->FrameCountInClip()) + ")");
                m_progress.Frame(result.frames, result.bytes);
            }
        }
        if (!write) {
            result.ok = true;
            m_progress.FinishClip();
            return result;
        }
        audio->Finish();
        uint64_t channelSamples = 0;
        if (request.allChannels) channelSamples = WriteChannelFiles(*movie, outputs, id, result.frames);

        ordered_json record;
        record["clipId"] = id;
        record["card"] = request.cardFolder;
        record["outputs"] = ClipExporter::OutputNames(
            id, request.allChannels, request.allChannels ? movie->trackCountFromType(kMxfTrackSound) : 0);
        record["inPoint"] = {{"requestedFrame", FrameOrNull(request.inFrame)}, {"frame", firstIndex}};
        record["outPoint"] = {{"requestedFrame", FrameOrNull(request.outFrame)},
                              {"frame", total > 0 ? ordered_json(movie->LastIndex()) : ordered_json()}};
        record["firstTimecode"] = firstTimecode.empty() ? ordered_json() : ordered_json(firstTimecode);
        record["lastTimecode"] = lastTimecode.empty() ? ordered_json() : ordered_json(lastTimecode);
        record["startTimecode"] = earliest ? ordered_json(RecordTimecode(*earliest)) : ordered_json();
        record["endTimecode"] = latest ? ordered_json(RecordTimecode(*latest)) : ordered_json();
        record["frames"] = result.frames;
        record["audioSamples"] = result.audioSamples;
        record["channelSamples"] = request.allChannels ? ordered_json(channelSamples) : ordered_json();
        record["timescale"] = timescale;
        record["frameDuration"] = frameDuration;
        record["memberFiles"] = MemberFiles(clip);
        record["plugin"] = request.pluginProperties;
        ordered_json values = ordered_json::object();
        for (uint32_t tag = 0; tag < kClipValueTagCount; ++tag) {
            const auto t = static_cast<_ClipValueTag>(tag);
            values[ClipValueTagName(t)] = ValueJson(clip.ValueForTag(t));
        }
        record["values"] = values;
        const std::string text = record.dump(2) + "\n";
        outputs.Add(id + ".json").Write(text.data(), text.size());

        outputs.CommitAll();
        result.outputs = record["outputs"].get<std::vector<std::string>>();
        result.ok = true;
    } catch (const ImportError& e) {
        outputs.DiscardAll();
        result.failure = e.what();
    }
    m_progress.FinishClip();
    return result;
}

}  // namespace qzimport
