#pragma once
// What an output writer is told of the essence before its first frame: the
// picture (size, display aspect, scanning, the codec type the plug-in names
// for hosts), the sound tracks, the timecode of the first presented
// picture and the clip's descriptive metadata. For a joined recording it
// describes the first piece; every piece has the same coding. Plain data.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace qzimport {

struct ExportStreamInfo {
    // Output files are named after this (e.g. "QZ0001", "CARD2_QZ0001").
    std::string baseName;
    std::string clipId;  // of the first clip

    // Video times are in units of 1/timescale seconds; one frame lasts
    // frameDuration of them (1001/30000 s for 29.97 material).
    int64_t timescale = 0;
    int64_t frameDuration = 0;
    // Presented pictures the output holds (every piece of a recording).
    uint64_t frames = 0;
    // Frames a picture's decode time may lie after its presentation time
    // (B pictures): decode times shifted back by this many frames are never
    // after presentation times.
    uint32_t decodeDelayFrames = 0;

    uint32_t width = 0;  // stored picture size
    uint32_t height = 0;
    uint32_t displayAspectWidth = 16;  // display aspect ratio (16:9)
    uint32_t displayAspectHeight = 9;
    bool interlaced = false;
    bool topFieldFirst = true;  // of interlaced pictures
    bool hd = true;             // BT.709 colour
    // The codec type the plug-in's clip descriptor gives a host, as four
    // characters ("xd5b", "m2v1", ...); empty when it gave none.
    std::string codecType;
    uint32_t bitRate = 0;  // bits per second, 0 when unknown

    // Every sound track of the clip, in card order: one channel each.
    uint32_t soundTracks = 0;
    uint32_t bitsPerSample = 16;  // 16 or 24, little-endian as stored
    uint32_t sampleRate = 48000;

    // Timecode of the first presented picture.
    std::string startTimecode;  // "HH:MM:SS:FF" (";" before the frames when drop-frame)
    uint32_t timecodeRate = 0;  // frames per timecode second (24, 25, 30, 50, 60)
    bool dropFrame = false;
    // The first presented picture as a frame count since midnight: its
    // timecode read as pictures of the clip's rate (0 without a start
    // timecode).
    uint64_t startFrame = 0;
    // At 50 and 60 pictures per second a timecode labels every second
    // picture: pictures per timecode frame (1 or 2).
    uint32_t picturesPerTimecodeFrame = 1;
    // Which picture of its timecode frame the first presented picture is
    // (0, or 1 when it is the second of two).
    uint32_t pictureInTimecodeFrame = 0;

    // Descriptive metadata, by key: "title", "creator", "description",
    // "clipId", "mediumId" (the card's medium, also the reel name), "umid",
    // "manufacturer", "model", "serialNumber", "creationTime" (ISO 8601
    // UTC), "location" (ISO 6709). Keys without a value are left out.
    std::vector<std::pair<std::string, std::string>> metadata;
    std::string MetadataValue(const std::string& key) const {
        for (const auto& [k, v] : metadata)
            if (k == key) return v;
        return std::string();
    }
};

// Where a further piece of a joined recording starts.
struct ExportPieceInfo {
    std::string clipId;
    std::string card;               // its card folder
    uint64_t framesBefore = 0;      // presented pictures of the pieces before it
    std::string startTimecode;      // of its first presented picture
    bool continuesPrevious = true;  // its timecode follows the previous piece's last picture
};

}  // namespace qzimport
