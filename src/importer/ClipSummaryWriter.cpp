#include "ClipSummaryWriter.h"

#include "OrNull.h"

namespace qzimport {

using nlohmann::ordered_json;

namespace {

std::string OrDash(const std::optional<std::string>& text) {
    return text && !text->empty() ? *text : "-";
}

}  // namespace

std::optional<std::string> ClipSummaryWriter::DeviceText(const ClipDevice& device) {
    std::string text = device.manufacturer.value_or("");
    const std::string model = device.modelName.value_or(""), serial = device.serialNumber.value_or("");
    if (!model.empty()) text += (text.empty() ? "" : " ") + model;
    if (!serial.empty()) text += (text.empty() ? "" : " ") + ("#" + serial);
    if (text.empty()) return std::nullopt;
    return text;
}

std::optional<std::string> ClipSummaryWriter::ShotText(const ClipSummary& clip) {
    return clip.recordTimeAndDate ? clip.recordTimeAndDate : clip.shootingDateTime;
}

std::vector<std::string> ClipSummaryWriter::Cells(const ClipSummary& clip) {
    const bool listed = clip.listed;  // an unlisted clip has nothing but its state
    return {
        clip.clipID,
        clip.state,
        listed ? OrDash(clip.duration) : "",
        listed ? OrDash(clip.durationFrames ? std::optional<std::string>(std::to_string(*clip.durationFrames))
                                            : std::nullopt)
               : "",
        listed ? OrDash(clip.startTimecode) : "",
        listed ? OrDash(clip.frameRate) : "",
        listed ? OrDash(clip.pictureSize) : "",
        listed ? OrDash(clip.bitRate) : "",
        listed ? OrDash(clip.audioChannels) : "",
        listed ? OrDash(DeviceText(clip.device)) : "",
        listed ? OrDash(ShotText(clip)) : "",
        listed ? OrDash(clip.title) : ""};
}

ordered_json ClipSummaryWriter::Json(const ClipSummary& clip) {
    if (!clip.listed) return ordered_json();
    ordered_json j;
    j["clipId"] = clip.clipID;
    j["state"] = clip.state;
    j["stateReason"] = OrNull(clip.stateReason);
    j["offered"] = clip.ready;
    j["clipState"] = clip.clipState;
    j["duration"] = OrNull(clip.duration);
    j["durationFrames"] = OrNull(clip.durationFrames);
    j["startTimecode"] = OrNull(clip.startTimecode);
    j["dropFrame"] = clip.dropFrame;
    j["frameRate"] = OrNull(clip.frameRate);
    j["frameRateCode"] = OrNull(clip.frameRateCode);
    j["pictureSize"] = OrNull(clip.pictureSize);
    j["videoFormatCode"] = OrNull(clip.videoFormatCode);
    j["bitRate"] = OrNull(clip.bitRate);
    j["recordingRateCode"] = OrNull(clip.recordingRateCode);
    j["cbr"] = OrNull(clip.cbr);
    j["audioChannels"] = OrNull(clip.audioChannels);
    j["audioChannelCode"] = OrNull(clip.audioChannelCode);
    j["device"] = {{"manufacturer", clip.device.manufacturer.value_or("")},
                   {"modelName", clip.device.modelName.value_or("")},
                   {"serialNumber", clip.device.serialNumber.value_or("")}};
    j["shootingDateTime"] = OrNull(clip.shootingDateTime);
    j["recordTimeAndDate"] = OrNull(clip.recordTimeAndDate);
    j["title"] = clip.title.value_or("");
    return j;
}

}  // namespace qzimport
