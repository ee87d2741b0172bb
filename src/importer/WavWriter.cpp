#include "WavWriter.h"

#include "CUOutputFile.h"
#include "ImportError.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

namespace qzimport {

using ComVantoVantoQZ64RADPlug::CUOutputFile;

namespace {

using HeaderBytes = std::array<uint8_t, WavWriter::kHeaderBytes>;

void PutLE(HeaderBytes& out, size_t at, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

void PutText(HeaderBytes& out, size_t at, const std::string& text, size_t width) {
    std::memcpy(out.data() + at, text.data(), std::min(text.size(), width));
}

constexpr bool IsLittleEndian() {
    return __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__;
}

// RIFF and data chunk sizes are 32-bit: the data may not pass this.
constexpr uint64_t kMaxDataBytes = 0xFFFFFFFFull - (WavWriter::kHeaderBytes - 8);

constexpr size_t kFmtAt = 12;
constexpr size_t kBextAt = kFmtAt + 8 + 16;
constexpr size_t kDataAt = kBextAt + 8 + WavWriter::kBextBytes;

HeaderBytes Header(uint16_t channels, uint16_t bits, uint32_t sampleRate, const WavPlacement& placement,
                   uint64_t dataBytes) {
    HeaderBytes h{};
    const uint32_t blockAlign = channels * (bits / 8u);
    PutText(h, 0, "RIFF", 4);
    PutLE(h, 4, dataBytes + WavWriter::kHeaderBytes - 8, 4);
    PutText(h, 8, "WAVE", 4);
    PutText(h, kFmtAt, "fmt ", 4);
    PutLE(h, kFmtAt + 4, 16, 4);
    PutLE(h, kFmtAt + 8, 1, 2);  // linear PCM
    PutLE(h, kFmtAt + 10, channels, 2);
    PutLE(h, kFmtAt + 12, sampleRate, 4);
    PutLE(h, kFmtAt + 16, uint64_t{sampleRate} * blockAlign, 4);
    PutLE(h, kFmtAt + 20, blockAlign, 2);
    PutLE(h, kFmtAt + 22, bits, 2);
    // bext, version 1: Description 256, Originator 32, OriginatorReference
    // 32, OriginationDate 10, OriginationTime 8, TimeReference 8, Version 2,
    // UMID 64, reserved 190; no coding history.
    const size_t b = kBextAt + 8;
    PutText(h, kBextAt, "bext", 4);
    PutLE(h, kBextAt + 4, WavWriter::kBextBytes, 4);
    PutText(h, b, placement.description, 256);
    PutText(h, b + 256, "qzcard", 32);
    PutText(h, b + 320, placement.originationDate, 10);
    PutText(h, b + 330, placement.originationTime, 8);
    PutLE(h, b + 338, placement.timeReference, 8);
    PutLE(h, b + 346, 1, 2);
    PutText(h, kDataAt, "data", 4);
    PutLE(h, kDataAt + 4, dataBytes, 4);
    return h;
}

}  // namespace

WavWriter::WavWriter(CUOutputFile& file, uint16_t channels, uint16_t bitsPerSample,
                     const WavPlacement& placement, uint32_t sampleRate)
    : m_file(file),
      m_channels(channels),
      m_bits(bitsPerSample),
      m_blockAlign(channels * (bitsPerSample / 8u)),
      m_sampleRate(sampleRate),
      m_placement(placement) {
    if (channels < 1 || channels > 2)
        throw ImportError("a WAV output holds 1 or 2 channels, not " + std::to_string(channels));
    if (bitsPerSample != 16 && bitsPerSample != 24)
        throw ImportError("a WAV output holds 16- or 24-bit samples, not " + std::to_string(bitsPerSample));
    const HeaderBytes header = Header(m_channels, m_bits, m_sampleRate, m_placement, 0);
    m_file.Write(header.data(), header.size());
}

void WavWriter::WriteLittleEndian(const uint8_t* bytes, size_t size) {
    if (size % m_blockAlign != 0)
        throw ImportError(m_file.FinalPath() + ": part of a sample frame was delivered");
    if (m_dataBytes + size > kMaxDataBytes)
        throw ImportError(m_file.FinalPath() + " would pass the 4 GiB a WAV file can describe");
    m_file.Write(bytes, size);
    m_dataBytes += size;
}

void WavWriter::WriteHostOrder16(const uint8_t* bytes, size_t size) {
    if (m_bits != 16)
        throw ImportError(m_file.FinalPath() + " holds " + std::to_string(m_bits) + "-bit samples");
    if constexpr (IsLittleEndian()) {
        WriteLittleEndian(bytes, size);
    } else {
        m_scratch.resize(size);
        for (size_t i = 0; i + 1 < size; i += 2) m_scratch[i] = bytes[i + 1], m_scratch[i + 1] = bytes[i];
        WriteLittleEndian(m_scratch.data(), size);
    }
}

void WavWriter::Finish() {
    const HeaderBytes header = Header(m_channels, m_bits, m_sampleRate, m_placement, m_dataBytes);
    m_file.WriteAt(0, header.data(), header.size());
}

}  // namespace qzimport
