#include "WavWriter.h"

#include "ImportError.h"
#include "OutputFile.h"

#include <array>
#include <string>
#include <vector>

namespace qzimport {

namespace {

using HeaderBytes = std::array<uint8_t, WavWriter::kHeaderBytes>;

void PutLE(HeaderBytes& out, size_t at, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

void PutTag(HeaderBytes& out, size_t at, const char* tag) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(tag[i]);
}

constexpr bool IsLittleEndian() {
    return __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__;
}

// RIFF and data chunk sizes are 32-bit: the data may not pass this.
constexpr uint64_t kMaxDataBytes = 0xFFFFFFFFull - (WavWriter::kHeaderBytes - 8);

// The canonical header: RIFF, a 16-byte "fmt " chunk, the "data" chunk.
HeaderBytes Header(uint16_t channels, uint32_t sampleRate, uint64_t dataBytes) {
    HeaderBytes h{};
    const uint32_t blockAlign = channels * 2u;
    PutTag(h, 0, "RIFF");
    PutLE(h, 4, dataBytes + WavWriter::kHeaderBytes - 8, 4);
    PutTag(h, 8, "WAVE");
    PutTag(h, 12, "fmt ");
    PutLE(h, 16, 16, 4);
    PutLE(h, 20, 1, 2);  // linear PCM
    PutLE(h, 22, channels, 2);
    PutLE(h, 24, sampleRate, 4);
    PutLE(h, 28, uint64_t{sampleRate} * blockAlign, 4);
    PutLE(h, 32, blockAlign, 2);
    PutLE(h, 34, 16, 2);
    PutTag(h, 36, "data");
    PutLE(h, 40, dataBytes, 4);
    return h;
}

}  // namespace

WavWriter::WavWriter(OutputFile& file, uint16_t channels, uint32_t sampleRate)
    : m_file(file), m_channels(channels), m_sampleRate(sampleRate) {
    if (channels < 1 || channels > 2)
        throw ImportError("a WAV output holds 1 or 2 channels, not " + std::to_string(channels));
    const HeaderBytes header = Header(channels, sampleRate, 0);
    m_file.Write(header.data(), header.size());
}

void WavWriter::WriteFrames(const int16_t* samples, size_t frames) {
    WriteBytes(reinterpret_cast<const uint8_t*>(samples), frames * m_channels * 2);
}

void WavWriter::WriteBytes(const uint8_t* bytes, size_t size) {
    if (size % 2 != 0) throw ImportError(m_file.FinalPath() + ": half a 16-bit sample was delivered");
    if (m_dataBytes + size > kMaxDataBytes)
        throw ImportError(m_file.FinalPath() + " would pass the 4 GiB a WAV file can describe");
    if constexpr (IsLittleEndian()) {
        m_file.Write(bytes, size);
    } else {
        m_scratch.resize(size);
        for (size_t i = 0; i < size; i += 2) m_scratch[i] = bytes[i + 1], m_scratch[i + 1] = bytes[i];
        m_file.Write(m_scratch.data(), size);
    }
    m_dataBytes += size;
}

void WavWriter::Finish() {
    const HeaderBytes header = Header(m_channels, m_sampleRate, m_dataBytes);
    m_file.WriteAt(0, header.data(), header.size());
}

}  // namespace qzimport
