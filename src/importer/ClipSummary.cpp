#include "ClipSummary.h"

#include "CFBCClip.h"
#include "CUArray.h"
#include "CUNumber.h"
#include "CUStringMac.h"
#include "ClipStates.h"
#include "ValueTexts.h"
#include "FBCClipValueTag.h"

namespace qzimport {

using namespace ComVantoVantoQZ64RADPlug;
using nlohmann::ordered_json;

namespace {

std::string Text(const CUSharedPtr<CUObject>& value) {
    CUSharedPtr<CUStringMac> text = value;
    return text ? text->Utf8() : std::string();
}

ordered_json TextOrNull(const std::string& text) {
    return text.empty() ? ordered_json() : ordered_json(text);
}

std::string OrDash(const std::string& text) {
    return text.empty() ? "-" : text;
}

}  // namespace

ClipSummary SummarizeClip(const CFBCContent& content, size_t index) {
    ClipSummary row;
    CUSharedPtr<CUArray> clips = content.ClipList();
    CUSharedPtr<CFBCClip> clip = clips ? clips->ObjectAtIndex(index) : nullptr;
    row.state = ClipStateText(content, index);
    row.stateReason = ClipStateReason(content, index);
    row.ready = row.state == "ready";
    if (!clip) return row;
    row.clipID = Text(clip->ValueForTag(kClipValueClipID));

    const std::string duration = TimecodeText(clip->ValueForTag(kClipValueDuration));
    CUSharedPtr<CUNumber> frames = clip->ValueForTag(kClipValueDurationFrames);
    const std::string start = TimecodeText(clip->ValueForTag(kClipValueStartTimecode));
    CUSharedPtr<CUNumber> rate = clip->ValueForTag(kClipValueFrameRate);
    CUSharedPtr<CUNumber> format = clip->ValueForTag(kClipValueVideoFormat);
    CUSharedPtr<CUNumber> recordingRate = clip->ValueForTag(kClipValueRecordingRate);
    CUSharedPtr<CUNumber> cbr = clip->ValueForTag(kClipValueCBRFlag);
    CUSharedPtr<CUNumber> channels = clip->ValueForTag(kClipValueAudioChannel);
    const std::string frameRate = rate ? FrameRateText(rate->UInt32Value()) : "";
    const std::string pictureSize = format ? PictureSizeText(format->UInt32Value()) : "";
    std::string bitRate;
    if (recordingRate) {
        bitRate = RecordingRateText(recordingRate->SInt32Value());
        if (cbr) bitRate += cbr->SInt32Value() == 1 ? " CBR" : " VBR";
    }
    const std::string audio = channels ? AudioChannelText(channels->UInt32Value()) : "";

    const std::string manufacturer = Text(clip->ValueForTag(kClipValueDeviceManufacturer));
    const std::string model = Text(clip->ValueForTag(kClipValueDeviceModelName));
    const std::string serial = Text(clip->ValueForTag(kClipValueDeviceSerialNumber));
    std::string device = manufacturer;
    if (!model.empty()) device += (device.empty() ? "" : " ") + model;
    if (!serial.empty()) device += (device.empty() ? "" : " ") + ("#" + serial);

    CUSharedPtr<CUObject> shot = clip->ValueForTag(kClipValueShootingDateTime);
    CUSharedPtr<CUObject> recorded = clip->ValueForTag(kClipValueRecordTimeAndDate);
    // The camera's own wall clock (with its zone when recorded) reads best.
    const std::string shotText = recorded ? RecordTimeText(*recorded) : DateTimeUTCText(shot);
    const std::string title = Text(clip->ValueForTag(kClipValueTitle));

    row.duration = OrDash(duration);
    row.durationFrames = frames ? NumberText(*frames) : "-";
    row.start = OrDash(start);
    row.frameRate = OrDash(frameRate);
    row.pictureSize = OrDash(pictureSize);
    row.bitRate = OrDash(bitRate);
    row.audio = OrDash(audio);
    row.device = OrDash(device);
    row.shot = OrDash(shotText);
    row.title = OrDash(title);

    ordered_json& j = row.json;
    j["clipId"] = row.clipID;
    j["state"] = row.state;
    j["stateReason"] = TextOrNull(row.stateReason);
    j["offered"] = row.ready;
    j["clipState"] = clip->GatClipState();
    j["duration"] = TextOrNull(duration);
    j["durationFrames"] = ValueJson(frames);
    j["startTimecode"] = TextOrNull(start);
    j["dropFrame"] = clip->isDropFrame();
    j["frameRate"] = TextOrNull(frameRate);
    j["frameRateCode"] = ValueJson(rate);
    j["pictureSize"] = TextOrNull(pictureSize);
    j["videoFormatCode"] = ValueJson(format);
    j["bitRate"] = TextOrNull(bitRate);
    j["recordingRateCode"] = ValueJson(recordingRate);
    j["cbr"] = cbr ? ordered_json(cbr->SInt32Value() == 1) : ordered_json();
    j["audioChannels"] = TextOrNull(audio);
    j["audioChannelCode"] = ValueJson(channels);
    j["device"] = {{"manufacturer", manufacturer}, {"modelName", model}, {"serialNumber", serial}};
    j["shootingDateTime"] = TextOrNull(DateTimeUTCText(shot));
    j["recordTimeAndDate"] = recorded ? ordered_json(RecordTimeText(*recorded)) : ordered_json();
    j["title"] = title;
    return row;
}

}  // namespace qzimport
