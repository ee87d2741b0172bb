#pragma once
// One clip of a card in a line, as typed values: its ID, its state (and why
// it cannot be imported when it cannot), duration, start timecode, frame
// rate, picture size, bit rate, audio channels, device, shooting date and
// title, each absent when the clip does not tell it. `list`, the card
// report and the catalog read it; ClipSummaryWriter turns it into the texts
// and JSON they show. Reads the clip under its own lock; call from one
// thread per clip.
#include "CFBCContent.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace qzimport {

struct ClipDevice {
    std::optional<std::string> manufacturer, modelName, serialNumber;
};

struct ClipSummary {
    std::string clipID;
    std::string state;                       // ClipStateText: "ready", "damaged", "missing files", ...
    std::optional<std::string> stateReason;  // ClipStateReason; none when ready
    bool ready = false;
    bool listed = false;  // the clip list holds the clip; else only its state is known
    uint32_t clipState = 0;
    std::optional<std::string> duration;  // timecode
    std::optional<int64_t> durationFrames;
    std::optional<std::string> startTimecode;
    bool dropFrame = false;
    std::optional<std::string> frameRate;  // "59.94i"
    std::optional<int64_t> frameRateCode;
    std::optional<std::string> pictureSize;  // "1920x1080"
    std::optional<int64_t> videoFormatCode;
    std::optional<std::string> bitRate;  // "50 Mbps CBR"
    std::optional<int64_t> recordingRateCode;
    std::optional<bool> cbr;
    std::optional<std::string> audioChannels;  // "4 ch"
    std::optional<int64_t> audioChannelCode;
    ClipDevice device;
    std::optional<std::string> shootingDateTime;   // UTC, ISO 8601
    std::optional<std::string> recordTimeAndDate;  // the camera's wall clock, with its zone when recorded
    std::optional<std::string> title;
};

// The summary of clip `index` of the card's clip list.
ClipSummary SummarizeClip(const ComVantoVantoQZ64RADPlug::CFBCContent& content, size_t index);

}  // namespace qzimport
