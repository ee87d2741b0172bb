#pragma once
// One clip of a card in a line: its ID, its state (and why it cannot be
// imported when it cannot), duration, start timecode, frame rate, picture
// size, bit rate, audio channels, device, shooting date and title, as the
// texts `list` and a card report show and as JSON. Reads the clip under its
// own lock; call from one thread per clip.
#include "CFBCContent.h"

#include <nlohmann/json.hpp>

#include <cstddef>
#include <string>

namespace qzimport {

struct ClipSummary {
    std::string clipID;
    std::string state;        // ClipStateText: "ready", "damaged", "missing files", ...
    std::string stateReason;  // ClipStateReason; empty when ready
    bool ready = false;
    // Display texts; "-" for what the clip does not tell.
    std::string duration;        // timecode
    std::string durationFrames;  // the frame count
    std::string start;           // start timecode
    std::string frameRate;       // "59.94i"
    std::string pictureSize;     // "1920x1080"
    std::string bitRate;         // "50 Mbps CBR"
    std::string audio;           // "4 ch"
    std::string device;          // "Vanto QZ64 #QZ64-000417"
    std::string shot;            // the camera's wall clock, ISO 8601
    std::string title;
    // clipId, state, stateReason, offered, clipState, duration,
    // durationFrames, startTimecode, dropFrame, frameRate, frameRateCode,
    // pictureSize, videoFormatCode, bitRate, recordingRateCode, cbr,
    // audioChannels, audioChannelCode, device {manufacturer, modelName,
    // serialNumber}, shootingDateTime (UTC), recordTimeAndDate, title;
    // null for what the clip does not tell.
    nlohmann::ordered_json json;
};

// The summary of clip `index` of the card's clip list.
ClipSummary SummarizeClip(const ComVantoVantoQZ64RADPlug::CFBCContent& content, size_t index);

}  // namespace qzimport
