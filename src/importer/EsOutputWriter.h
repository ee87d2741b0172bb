#pragma once
// Writes the files of the "es" output format (see EsOutputFormat.h) for
// one output set. Used by one thread.
#include "OutputFormat.h"
#include "WavWriter.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ComVantoVantoQZ64RADPlug {
class CUOutputFile;
}

namespace qzimport {

class EsOutputWriter : public OutputWriter {
public:
    EsOutputWriter(std::string folder, std::string baseName, OutputOptions options);
    ~EsOutputWriter() override;

    void Begin(const ExportStreamInfo& stream) override;
    void WriteFrame(const ExportFrame& frame) override;
    void Finish() override;
    std::vector<ComVantoVantoQZ64RADPlug::CUOutputFile*> Files() override;

    // The sound samples since midnight at which the first presented
    // picture's sound starts (its timecode, and its place in a label that
    // stands for two pictures).
    static uint64_t TimeReference(const ExportStreamInfo& stream);

private:
    ComVantoVantoQZ64RADPlug::CUOutputFile& Add(const std::string& name);

    std::string m_folder;
    std::string m_baseName;
    OutputOptions m_options;
    uint32_t m_bytesPerSample = 2;
    std::vector<std::unique_ptr<ComVantoVantoQZ64RADPlug::CUOutputFile>> m_files;
    ComVantoVantoQZ64RADPlug::CUOutputFile* m_video = nullptr;
    std::optional<WavWriter> m_stereo;
    std::vector<WavWriter> m_channels;
};

}  // namespace qzimport
