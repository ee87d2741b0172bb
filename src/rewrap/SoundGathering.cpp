#include "SoundGathering.h"

#include "ImportError.h"

#include <cstring>

using qzimport::ImportError;

namespace qzrewrap {

namespace {
// A frame slot holds a few thousand samples; more is not one frame's sound.
constexpr uint32_t kMaxSlotSamples = 1u << 20;
}  // namespace

void SoundGathering::Begin(const std::vector<SoundStream>& streams, uint32_t soundTracks,
                           uint32_t bitsPerSample) {
    m_streams = streams;
    m_soundTracks = soundTracks;
    m_bitsPerSample = bitsPerSample;
    m_pending.assign(streams.size(), Pending());
}

void SoundGathering::Add(const qzimport::ExportFrame& frame, const std::string& path) {
    if (frame.soundSamples == 0) return;
    if (frame.soundSamples > kMaxSlotSamples || frame.trackSound.size() != m_soundTracks)
        throw ImportError("a frame slot for " + path + " carries " + std::to_string(frame.soundSamples) +
                          " samples of " + std::to_string(frame.trackSound.size()) +
                          " tracks where the stream has " + std::to_string(m_soundTracks));
    const size_t sampleBytes = m_bitsPerSample / 8;
    const size_t trackBytes = size_t{frame.soundSamples} * sampleBytes;
    for (size_t s = 0; s < m_streams.size(); ++s) {
        const SoundStream& sound = m_streams[s];
        for (uint32_t c = 0; c < sound.channels; ++c)
            if (!frame.trackSound[sound.firstTrack + c])
                throw ImportError("a frame slot for " + path + " has no samples of sound track " +
                                  std::to_string(sound.firstTrack + c + 1));
        Pending& pending = m_pending[s];
        const size_t at = pending.bytes.size();
        if (sound.channels == 1) {
            const uint8_t* track = frame.trackSound[sound.firstTrack];
            pending.bytes.insert(pending.bytes.end(), track, track + trackBytes);
        } else {
            pending.bytes.resize(at + trackBytes * sound.channels);
            for (size_t i = 0; i < frame.soundSamples; ++i)
                for (uint32_t c = 0; c < sound.channels; ++c)
                    std::memcpy(&pending.bytes[at + (i * sound.channels + c) * sampleBytes],
                                frame.trackSound[sound.firstTrack + c] + i * sampleBytes, sampleBytes);
        }
        pending.samples += frame.soundSamples;
    }
}

void SoundGathering::Written(size_t stream) {
    Pending& pending = m_pending.at(stream);
    pending.start += pending.samples;
    pending.samples = 0;
    pending.bytes.clear();
}

}  // namespace qzrewrap
