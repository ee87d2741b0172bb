#pragma once
// A Broadcast Wave file of linear PCM (16 or 24 bits, one or two channels,
// 48 kHz unless told) written into a CUOutputFile: RIFF, a "fmt " chunk, a
// "bext" chunk that places the audio on a timeline (TimeReference: the
// samples since midnight of the first sample; the description names the
// clip), then the "data" chunk, samples interleaved and little-endian.
// Finish fills in the sizes. Refuses more data than the 32-bit sizes can
// describe. Used by one thread.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ComVantoVantoQZ64RADPlug {
class CUOutputFile;
}

namespace qzimport {

struct WavPlacement {
    uint64_t timeReference = 0;   // samples since midnight of the first sample
    std::string description;      // at most 256 bytes are kept
    std::string originationDate;  // "YYYY-MM-DD", may be empty
    std::string originationTime;  // "HH:MM:SS", may be empty
};

class WavWriter {
public:
    static constexpr uint32_t kBextBytes = 602;  // the bext chunk's body, version 1, no coding history
    // Where the samples start: RIFF header, fmt chunk, bext chunk, data chunk header.
    static constexpr uint32_t kHeaderBytes = 12 + 8 + 16 + 8 + kBextBytes + 8;

    // Writes the header. Throws ImportError for 0 or more than 2 channels,
    // or a sample size other than 16 or 24 bits.
    WavWriter(ComVantoVantoQZ64RADPlug::CUOutputFile& file, uint16_t channels, uint16_t bitsPerSample,
              const WavPlacement& placement, uint32_t sampleRate = 48000);

    // Little-endian interleaved samples (the stored order of the card's
    // sound elements); `size` is whole sample frames.
    void WriteLittleEndian(const uint8_t* bytes, size_t size);
    // 16-bit samples in the machine's byte order (a host audio buffer).
    void WriteHostOrder16(const uint8_t* bytes, size_t size);
    // Fills in the sizes; the file can then be committed.
    void Finish();

    uint64_t FrameCount() const { return m_dataBytes / m_blockAlign; }

private:
    ComVantoVantoQZ64RADPlug::CUOutputFile& m_file;
    uint16_t m_channels;
    uint16_t m_bits;
    uint32_t m_blockAlign;
    uint32_t m_sampleRate;
    WavPlacement m_placement;
    uint64_t m_dataBytes = 0;
    std::vector<uint8_t> m_scratch;  // little-endian samples on a big-endian machine
};

}  // namespace qzimport
