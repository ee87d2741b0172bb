#include "EsOutputWriter.h"

#include "CUOutputFile.h"
#include "ClipClock.h"
#include "ImportError.h"

#include <filesystem>

namespace qzimport {

using ComVantoVantoQZ64RADPlug::ClipClock;
using ComVantoVantoQZ64RADPlug::CUOutputFile;

EsOutputWriter::EsOutputWriter(std::string folder, std::string baseName, OutputOptions options)
    : m_folder(std::move(folder)), m_baseName(std::move(baseName)), m_options(options) {}

EsOutputWriter::~EsOutputWriter() = default;

CUOutputFile& EsOutputWriter::Add(const std::string& name) {
    m_files.push_back(std::make_unique<CUOutputFile>((std::filesystem::path(m_folder) / name).string(),
                                                     CUOutputFile::Caching::kBuffered,
                                                     CUOutputFile::Digest::kContent));
    return *m_files.back();
}

uint64_t EsOutputWriter::TimeReference(const ExportStreamInfo& stream) {
    // Where the first picture's sound starts on the clip's clock started at
    // midnight.
    const ClipClock clock(stream.timescale, stream.frameDuration, 0, false, stream.sampleRate);
    return static_cast<uint64_t>(clock.SampleAtFrame(static_cast<int64_t>(stream.startFrame)).value_or(0));
}

void EsOutputWriter::Begin(const ExportStreamInfo& stream) {
    WavPlacement placement;
    placement.timeReference = TimeReference(stream);
    const std::string title = stream.MetadataValue("title");
    placement.description = stream.clipId + (title.empty() ? "" : " " + title);
    const std::string created = stream.MetadataValue("creationTime");  // YYYY-MM-DDTHH:MM:SSZ
    if (created.size() >= 19)
        placement.originationDate = created.substr(0, 10), placement.originationTime = created.substr(11, 8);

    m_video = &Add(m_baseName + ".m2v");
    m_stereo.emplace(Add(m_baseName + ".wav"), 2, 16, placement, stream.sampleRate);
    m_bytesPerSample = stream.bitsPerSample / 8;
    if (m_options.allChannels) {
        m_channels.reserve(stream.soundTracks);
        for (uint32_t t = 1; t <= stream.soundTracks; ++t)
            m_channels.emplace_back(Add(m_baseName + "_ch" + std::to_string(t) + ".wav"), 1,
                                    static_cast<uint16_t>(stream.bitsPerSample), placement,
                                    stream.sampleRate);
    }
}

void EsOutputWriter::WriteFrame(const ExportFrame& frame) {
    if (frame.hasPicture) m_video->Write(frame.picture, frame.pictureSize);
    if (!frame.hasSound) return;
    m_stereo->WriteHostOrder16(frame.stereo, frame.stereoSize);
    for (size_t t = 0; t < m_channels.size(); ++t) {
        if (t >= frame.trackSound.size())
            throw ImportError("a frame without the sound of track " + std::to_string(t + 1));
        m_channels[t].WriteLittleEndian(frame.trackSound[t], size_t{frame.soundSamples} * m_bytesPerSample);
    }
}

void EsOutputWriter::Finish() {
    m_stereo->Finish();
    for (WavWriter& channel : m_channels) channel.Finish();
}

std::vector<CUOutputFile*> EsOutputWriter::Files() {
    std::vector<CUOutputFile*> files;
    for (auto& file : m_files) files.push_back(file.get());
    return files;
}

}  // namespace qzimport
