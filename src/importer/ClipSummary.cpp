#include "ClipSummary.h"

#include "CFBCClip.h"
#include "CUArray.h"
#include "CUNumber.h"
#include "CUStringMac.h"
#include "ClipStates.h"
#include "FBCClipValueTag.h"
#include "ValueTexts.h"

namespace qzimport {

using namespace ComVantoVantoQZ64RADPlug;

namespace {

std::optional<std::string> Text(const CUSharedPtr<CUObject>& value) {
    CUSharedPtr<CUStringMac> text = value;
    if (!text) return std::nullopt;
    return text->Utf8();
}

std::optional<std::string> NonEmpty(const std::string& text) {
    if (text.empty()) return std::nullopt;
    return text;
}

std::optional<int64_t> Code(const CUSharedPtr<CUNumber>& number) {
    if (!number) return std::nullopt;
    return number->SInt64Value();
}

}  // namespace

ClipSummary SummarizeClip(const CFBCContent& content, size_t index) {
    ClipSummary row;
    CUSharedPtr<CUArray> clips = content.ClipList();
    CUSharedPtr<CFBCClip> clip = clips ? clips->ObjectAtIndex(index) : nullptr;
    row.state = ClipStateText(content, index);
    row.stateReason = NonEmpty(ClipStateReason(content, index));
    row.ready = row.state == "ready";
    if (!clip) return row;
    row.listed = true;
    row.clipID = Text(clip->ValueForTag(kClipValueClipID)).value_or("");
    row.clipState = clip->GatClipState();
    row.dropFrame = clip->isDropFrame();

    row.duration = NonEmpty(TimecodeText(clip->ValueForTag(kClipValueDuration)));
    row.durationFrames = Code(clip->ValueForTag(kClipValueDurationFrames));
    row.startTimecode = NonEmpty(TimecodeText(clip->ValueForTag(kClipValueStartTimecode)));
    CUSharedPtr<CUNumber> rate = clip->ValueForTag(kClipValueFrameRate);
    CUSharedPtr<CUNumber> format = clip->ValueForTag(kClipValueVideoFormat);
    CUSharedPtr<CUNumber> recordingRate = clip->ValueForTag(kClipValueRecordingRate);
    CUSharedPtr<CUNumber> cbr = clip->ValueForTag(kClipValueCBRFlag);
    CUSharedPtr<CUNumber> channels = clip->ValueForTag(kClipValueAudioChannel);
    if (rate) row.frameRate = NonEmpty(FrameRateText(rate->UInt32Value()));
    row.frameRateCode = Code(rate);
    if (format) row.pictureSize = NonEmpty(PictureSizeText(format->UInt32Value()));
    row.videoFormatCode = Code(format);
    if (recordingRate) {
        std::string bitRate = RecordingRateText(recordingRate->SInt32Value());
        if (cbr) bitRate += cbr->SInt32Value() == 1 ? " CBR" : " VBR";
        row.bitRate = NonEmpty(bitRate);
    }
    row.recordingRateCode = Code(recordingRate);
    if (cbr) row.cbr = cbr->SInt32Value() == 1;
    if (channels) row.audioChannels = NonEmpty(AudioChannelText(channels->UInt32Value()));
    row.audioChannelCode = Code(channels);

    row.device.manufacturer = Text(clip->ValueForTag(kClipValueDeviceManufacturer));
    row.device.modelName = Text(clip->ValueForTag(kClipValueDeviceModelName));
    row.device.serialNumber = Text(clip->ValueForTag(kClipValueDeviceSerialNumber));
    row.shootingDateTime = NonEmpty(DateTimeUTCText(clip->ValueForTag(kClipValueShootingDateTime)));
    if (CUSharedPtr<CUObject> recorded = clip->ValueForTag(kClipValueRecordTimeAndDate))
        row.recordTimeAndDate = RecordTimeText(*recorded);
    row.title = Text(clip->ValueForTag(kClipValueTitle));
    return row;
}

}  // namespace qzimport
