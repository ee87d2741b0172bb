#pragma once
// One frame slot of an output, as the importer hands it to a writer: the
// picture delivered for it in decode order (when there is one: leading
// pictures of an open group of pictures at the start are left out), and
// the sound of the frame slot. The bytes are borrowed for the call only.
// Plain data.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace qzimport {

struct ExportFrame {
    // The picture, in decode order, as the plug-in's video sample buffer
    // holds it (the GOP header of the first picture may carry broken_link).
    bool hasPicture = false;
    const uint8_t* picture = nullptr;
    size_t pictureSize = 0;
    // Units of ExportStreamInfo::timescale, counted from the output's first
    // presented picture (presentation time 0); a decode time may be
    // negative and may lie after its presentation time by up to
    // decodeDelayFrames frames.
    int64_t decodeTime = 0;
    int64_t presentationTime = 0;
    bool keyFrame = false;  // an I picture

    // The sound of one frame slot: when present, every track's samples of
    // that slot, in track order, little-endian at the stream's bit depth;
    // the slots arrive in presentation order, the first slot being the
    // first presented picture's.
    bool hasSound = false;
    uint32_t soundSamples = 0;  // per track
    std::vector<const uint8_t*> trackSound;
    // The plug-in's stereo delivery of channels 1 and 2 for the slot
    // (interleaved 16-bit, host byte order): what the .wav output holds.
    const uint8_t* stereo = nullptr;
    size_t stereoSize = 0;
};

}  // namespace qzimport
