#pragma once
// A 16-bit linear PCM WAV file (48 kHz unless told, mono or stereo) written
// into an OutputFile: a canonical 44-byte header whose sizes are filled in
// by Finish, then the samples interleaved and little-endian. Refuses more
// data than the header's 32-bit sizes can describe. Used by one thread.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace qzimport {

class OutputFile;

class WavWriter {
public:
    static constexpr uint32_t kHeaderBytes = 44;

    // Writes the header. Throws ImportError for 0 or more than 2 channels.
    WavWriter(OutputFile& file, uint16_t channels, uint32_t sampleRate = 48000);

    // `frames` sample frames of `channels` interleaved samples each, in the
    // machine's byte order. Throws ImportError when the file cannot take
    // them.
    void WriteFrames(const int16_t* samples, size_t frames);
    // The same from the bytes of interleaved 16-bit samples in the
    // machine's byte order (a host audio buffer); `size` is even.
    void WriteBytes(const uint8_t* bytes, size_t size);
    // Fills in the header's sizes; the file can then be committed.
    void Finish();

    uint64_t FrameCount() const { return m_dataBytes / (m_channels * 2u); }

private:
    OutputFile& m_file;
    uint16_t m_channels;
    uint32_t m_sampleRate;
    uint64_t m_dataBytes = 0;
    std::vector<uint8_t> m_scratch;  // little-endian samples on a big-endian machine
};

}  // namespace qzimport
