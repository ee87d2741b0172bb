#pragma once
// The elementary-stream output format ("es"): ID.m2v, the MPEG-2 video
// stream in decode order as the plug-in delivers it; ID.wav, the plug-in's
// stereo delivery of channels 1 and 2 as a 16-bit Broadcast Wave file; with
// all channels, ID_ch1.wav ... one mono Broadcast Wave file per sound track
// at the card's bit depth. Thread safe (no state).
#include "OutputFormat.h"

namespace qzimport {

class EsOutputFormat : public OutputFormat {
public:
    std::string Name() const override { return "es"; }
    std::vector<std::string> FileNames(const std::string& baseName, const OutputOptions& options,
                                       uint32_t soundTracks) const override;
    bool WritesEveryTrack(const OutputOptions& options) const override { return options.allChannels; }
    uint64_t ExpectedBytes(const OutputSizeBasis& basis, const OutputOptions& options) const override;
    std::unique_ptr<OutputWriter> CreateWriter(const std::string& folder, const std::string& baseName,
                                               const OutputOptions& options) const override;
};

}  // namespace qzimport
