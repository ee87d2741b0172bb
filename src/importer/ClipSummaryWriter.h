#pragma once
// A clip's summary (ClipSummary) as `list` and the card report show it: the
// display texts of its table row ("-" for what the clip does not tell) and
// its JSON (null for it). Stateless: any thread.
#include "ClipSummary.h"

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace qzimport {

class ClipSummaryWriter {
public:
    // "Vanto QZ64 #QZ64-000417": manufacturer, model and "#" serial number,
    // those it has; nothing when it has none.
    static std::optional<std::string> DeviceText(const ClipDevice& device);
    // The shooting date as it reads best: the camera's wall clock, else UTC.
    static std::optional<std::string> ShotText(const ClipSummary& clip);
    // The row of `list`'s table: clip ID, state, duration, frames, start,
    // rate, size, bit rate, audio, device, shot, title.
    static std::vector<std::string> Cells(const ClipSummary& clip);
    // clipId, state, stateReason, offered, clipState, duration,
    // durationFrames, startTimecode, dropFrame, frameRate, frameRateCode,
    // pictureSize, videoFormatCode, bitRate, recordingRateCode, cbr,
    // audioChannels, audioChannelCode, device {manufacturer, modelName,
    // serialNumber}, shootingDateTime (UTC), recordTimeAndDate, title; null
    // for a clip the list does not hold.
    static nlohmann::ordered_json Json(const ClipSummary& clip);
};

}  // namespace qzimport
