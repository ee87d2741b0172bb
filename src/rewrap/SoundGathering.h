#pragma once
// The sound of a movie's output streams gathered from the frame slots the
// importer delivers, until the writer sends it as a packet: one buffer per
// sound stream of the plan, its samples interleaved as the stream carries
// them (a mono stream its track's bytes; a pair the two tracks' samples side
// by side, left first). Each writer decides when a stream's buffer is one
// packet (Pending().samples) and says when it has written it (Written). One
// thread.
#include "ContainerPlan.h"
#include "ExportFrame.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qzrewrap {

class SoundGathering {
public:
    struct Pending {
        std::vector<uint8_t> bytes;
        int64_t start = 0;  // in samples from the first
        uint32_t samples = 0;
    };

    // Empties every buffer: one for each of `streams`, out of `soundTracks`
    // delivered tracks of `bitsPerSample` (a multiple of 8) each.
    void Begin(const std::vector<SoundStream>& streams, uint32_t soundTracks, uint32_t bitsPerSample);
    // Adds the slot's samples to every stream's buffer. Throws ImportError,
    // naming `path`, when the slot holds more samples than a slot can, or
    // not the tracks the streams take.
    void Add(const qzimport::ExportFrame& frame, const std::string& path);

    size_t Streams() const { return m_pending.size(); }
    const Pending& Stream(size_t stream) const { return m_pending.at(stream); }
    // The stream's buffer written as one packet: its next starts after it.
    void Written(size_t stream);

private:
    std::vector<SoundStream> m_streams;
    uint32_t m_soundTracks = 0;
    uint32_t m_bitsPerSample = 16;
    std::vector<Pending> m_pending;
};

}  // namespace qzrewrap
