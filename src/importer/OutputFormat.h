#pragma once
// An output format of the export ("es", "mov", "mxf"): the names of the
// files it writes for an output set and the writer that writes them. The
// importer knows only this interface; the command picks the format. Thread
// safe: a format holds no state of an export.
#include "OutputWriter.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qzimport {

// Options of an export that change what a format writes.
struct OutputOptions {
    bool allChannels = false;  // es: one mono WAV per sound track besides the stereo WAV
    bool stereoPairs = false;  // mov/mxf: stereo tracks of channels 1+2, 3+4 instead of mono tracks
    // proxy: the picture codec ("prores-proxy", "prores-lt", "dnxhr-lb",
    // "h264") and size ("half", "quarter" or "WxH"); empty for other formats.
    std::string proxyCodec;
    std::string proxySize;
    // proxy: a .cube 3D LUT applied before scaling (empty: none) and its
    // content digest (CUContentDigest, hex), which the record keeps.
    std::string proxyLut;
    std::string proxyLutDigest;
    // proxy: what is burnt in, in this order: "timecode", "clip", "title".
    std::vector<std::string> proxyBurnIn;
};

// What the essence of an output set amounts to, for the free-space check.
struct OutputSizeBasis {
    uint64_t frames = 0;
    uint64_t pictureBytes = 0;
    uint64_t soundSamples = 0;  // per track
    uint32_t soundTracks = 0;
    uint32_t bytesPerSample = 2;
};

class OutputFormat {
public:
    virtual ~OutputFormat() = default;

    virtual std::string Name() const = 0;
    // The files (names in the output folder) of the output set `baseName`
    // of a clip with `soundTracks` tracks, not counting the JSON record.
    virtual std::vector<std::string> FileNames(const std::string& baseName, const OutputOptions& options,
                                               uint32_t soundTracks) const = 0;
    // Whether the set's files carry every sound track of the clip, each on
    // its own (otherwise only the plug-in's stereo delivery of channels 1
    // and 2): the import then reads every track.
    virtual bool WritesEveryTrack(const OutputOptions& options) const {
        (void)options;
        return true;
    }
    // The bytes the files of an output set will take: the essence once,
    // plus the container's own (64 KiB and 64 bytes a frame, unless the
    // format knows better).
    virtual uint64_t ExpectedBytes(const OutputSizeBasis& basis, const OutputOptions& options) const {
        (void)options;
        return basis.pictureBytes + basis.soundSamples * basis.soundTracks * basis.bytesPerSample +
               (64u << 10) + 64 * basis.frames;
    }
    // A writer for the output set; its files are created as partials in
    // `folder` (which exists) as it needs them.
    virtual std::unique_ptr<OutputWriter> CreateWriter(const std::string& folder, const std::string& baseName,
                                                       const OutputOptions& options) const = 0;
    // Refuses options it cannot write before any work (a LUT that cannot be
    // read): throws ImportError (kUsage) saying why.
    virtual void CheckOptions(const OutputOptions& options) const { (void)options; }
    // Why a clip whose pictures are `width`x`height` cannot be written with
    // `options` (a proxy size that does not divide it); empty when it can.
    // Asked of every output set before any is written.
    virtual std::string RefusedPicture(const OutputOptions& options, uint32_t width, uint32_t height) const {
        (void)options, (void)width, (void)height;
        return std::string();
    }
    // Whether the format decodes the pictures and encodes them again (and so
    // takes a codec, a size, a LUT and a burn-in); otherwise it writes the
    // camera's own pictures as they are.
    virtual bool EncodesPictures() const { return false; }
    // Whether CheckOutputs compares this format's files with their originals.
    virtual bool ChecksOutputs() const { return false; }
    // The output set `baseName` already in `folder`, read back and compared
    // with `stream` (the original, as an export would begin its writer):
    // one line per value that differs, a missing file included; empty when
    // every value matches. Throws ImportError (kUsage) for a format that
    // has no check.
    virtual std::vector<std::string> CheckOutputs(const std::string& folder, const std::string& baseName,
                                                  const OutputOptions& options,
                                                  const ExportStreamInfo& stream) const;
};

}  // namespace qzimport
