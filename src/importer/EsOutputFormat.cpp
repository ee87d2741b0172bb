#include "EsOutputFormat.h"

#include "EsOutputWriter.h"
#include "WavWriter.h"

namespace qzimport {

std::vector<std::string> EsOutputFormat::FileNames(const std::string& baseName, const OutputOptions& options,
                                                   uint32_t soundTracks) const {
    std::vector<std::string> names = {baseName + ".m2v", baseName + ".wav"};
    if (options.allChannels)
        for (uint32_t t = 1; t <= soundTracks; ++t)
            names.push_back(baseName + "_ch" + std::to_string(t) + ".wav");
    return names;
}

uint64_t EsOutputFormat::ExpectedBytes(const OutputSizeBasis& basis, const OutputOptions& options) const {
    uint64_t bytes = basis.pictureBytes + WavWriter::kHeaderBytes + basis.soundSamples * 4;
    if (options.allChannels)
        bytes += basis.soundTracks * (WavWriter::kHeaderBytes + basis.soundSamples * basis.bytesPerSample);
    return bytes;
}

std::unique_ptr<OutputWriter> EsOutputFormat::CreateWriter(const std::string& folder,
                                                           const std::string& baseName,
                                                           const OutputOptions& options) const {
    return std::make_unique<EsOutputWriter>(folder, baseName, options);
}

}  // namespace qzimport
