#pragma once
// Feeding a clip written by the card writer to an output writer as the
// importer does: every picture in decode order with its decode and
// presentation times and every sound track's samples of the frame slot,
// read through the movie layer; the stream description from what the card
// writer was told (and the plug-in's codec type for it). Then what ffprobe
// reads of the written file.
#include "CUOutputFile.h"
#include "CUStringMac.h"
#include "ClipDescription.h"
#include "ClipFrameRate.h"
#include "ClipTimecode.h"
#include "ExternalTool.h"
#include "FBCFormatClip.h"
#include "FBCMovieSample.h"
#include "OutputWriter.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <string>
#include <vector>

namespace rewrap_test {

namespace qz = ComVantoVantoQZ64RADPlug;
namespace cw = qz::CardWriter;

inline std::string CodecTypeOf(const cw::ClipDescription& clip) {
    const uint32_t type =
        qz::FBCFormatClip::CodecTypeForCoding({uint32_t(clip.pictureSize), uint32_t(clip.bitRate),
                                               uint32_t(clip.frameRate), clip.constantBitRate ? 1u : 0u},
                                              0xB0000 /* host 11.0 */);
    return {char(type >> 24), char(type >> 16), char(type >> 8), char(type)};
}

inline qzimport::ExportStreamInfo StreamOf(const cw::ClipDescription& clip, const std::string& medium) {
    const cw::FrameRateTraits rate = cw::TraitsOf(clip.frameRate);
    qzimport::ExportStreamInfo info;
    info.baseName = info.clipId = cw::ClipIdText(clip.id);
    info.timescale = rate.editRateNumerator;
    info.frameDuration = rate.editRateDenominator;
    info.frames = clip.durationFrames;
    info.width = cw::PictureWidth(clip.pictureSize);
    info.height = cw::PictureHeight(clip.pictureSize);
    info.interlaced = rate.interlaced;
    info.codecType = CodecTypeOf(clip);
    info.bitRate = uint32_t(cw::BitsPerSecond(clip.bitRate));
    info.soundTracks = clip.audioChannels;
    info.bitsPerSample = clip.audioBitsPerSample;
    info.startTimecode = cw::TimecodeText(clip.startTimecode, clip.dropFrame);
    info.timecodeRate = rate.recordedBase;
    info.dropFrame = clip.dropFrame;
    info.picturesPerTimecodeFrame = rate.roundedBase / rate.recordedBase;
    info.metadata = {{"title", clip.xml.title.value_or("")},
                     {"creator", clip.xml.creator.value_or("")},
                     {"description", "two\nlines & <marks>"},
                     {"clipId", info.clipId},
                     {"mediumId", medium},
                     {"umid", "060a2b34.01010105.01010d20.13000000.00112233.44556677.8899aabb.ccddeeff"},
                     {"manufacturer", clip.device.manufacturer},
                     {"model", clip.device.modelName},
                     {"serialNumber", clip.device.serialNumber},
                     {"creationTime", "2026-01-02T03:04:05Z"},
                     {"location", "+35.68950+139.69170+038/"}};
    return info;
}

// Writes the clip of `cifPath` through `writer` (Begin to Finish) and
// commits its files; the stream described to the writer.
inline qzimport::ExportStreamInfo Feed(const std::string& cifPath, qzimport::OutputWriter& writer,
                                       qzimport::ExportStreamInfo info) {
    auto movie = qz::FBCMovieSample::Create(qz::CUStringMac::Create(cifPath.c_str()));
    EXPECT_TRUE(movie) << cifPath;
    if (!movie) return info;
    const uint32_t frames = movie->FrameCountInClip();
    for (uint32_t i = 0; i < frames; ++i)
        info.decodeDelayFrames =
            std::max<uint32_t>(info.decodeDelayFrames, -std::min(0, movie->DisplayOffsetAtIndex(i)));
    writer.Begin(info);
    std::vector<uint8_t> picture(8 << 20);
    std::vector<std::vector<uint8_t>> sound(info.soundTracks, std::vector<uint8_t>(64 << 10));
    for (uint32_t i = 0; i < frames; ++i) {
        qzimport::ExportFrame frame;
        frame.hasPicture = true;
        frame.picture = picture.data();
        frame.pictureSize =
            movie->ReadSampleData(i, qz::kMxfTrackPicture, 0, picture.data(), uint32_t(picture.size()));
        frame.decodeTime = int64_t{i} * info.frameDuration;
        frame.presentationTime = (int64_t{i} + movie->DisplayOffsetAtIndex(i)) * info.frameDuration;
        frame.keyFrame = (movie->sampleFlagAtIndex(i) & qz::kMediaSampleNotSync) == 0;
        frame.hasSound = info.soundTracks > 0;
        for (uint32_t t = 0; t < info.soundTracks; ++t) {
            const uint32_t bytes =
                movie->ReadSampleData(i, qz::kMxfTrackSound, t, sound[t].data(), uint32_t(sound[t].size()));
            frame.soundSamples = bytes / (info.bitsPerSample / 8);
            frame.trackSound.push_back(sound[t].data());
        }
        writer.WriteFrame(frame);
    }
    writer.Finish();
    for (qz::CUOutputFile* file : writer.Files()) file->Commit(true);
    return info;
}

// What ffprobe shows of `entries` of `path` (its JSON: "streams", "format").
inline nlohmann::json Probe(const std::string& path, const std::string& entries,
                            const std::string& extra = "") {
    const qztest::CommandResult run = qztest::RunCommand(
        "ffprobe -v error -of json " + extra + " -show_entries " + entries + " " + qztest::ShellQuote(path));
    EXPECT_EQ(run.exitCode, 0) << path;
    const nlohmann::json probe = nlohmann::json::parse(run.output, nullptr, false);
    EXPECT_FALSE(probe.is_discarded()) << run.output;
    return probe;
}

}  // namespace rewrap_test
