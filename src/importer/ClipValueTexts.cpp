#include "ClipValueTexts.h"

#include "CUNumber.h"
#include "FBCClipTypes.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace qzimport {

using namespace ComVantoVantoQZ64RADPlug;

namespace {

// Names of codes 0, 1, 2, ... in turn; nullptr where a code has none.
using CodeNames = std::vector<const char*>;

std::string NameOf(int64_t code, const CodeNames& names) {
    if (code >= 0 && static_cast<uint64_t>(code) < names.size() && names[static_cast<size_t>(code)])
        return names[static_cast<size_t>(code)];
    return "unknown code";
}

// The recording mode is a set of bits: each named bit, and what is left.
std::string RecordingModeText(int64_t mode) {
    if (mode == 0) return "normal";
    std::string text;
    auto add = [&text](const std::string& part) { text += (text.empty() ? "" : ", ") + part; };
    if (mode & kRecordingModeDoubleRecord) add("double recording");
    if (mode & kRecordingModeVariableFrameRate) add("variable frame rate");
    const int64_t other = mode & ~int64_t{kRecordingModeDoubleRecord | kRecordingModeVariableFrameRate};
    if (other != 0)
        add("unknown bits 0x" + [other] {
            char hex[24];
            std::snprintf(hex, sizeof hex, "%llX", static_cast<unsigned long long>(other));
            return std::string(hex);
        }());
    return text;
}

}  // namespace

std::string ClipValueMeaning(_ClipValueTag tag, const CUSharedPtr<CUObject>& value) {
    CUSharedPtr<CUNumber> number = value;
    if (!number) return std::string();
    const int64_t code = number->SInt64Value();
    // Signed fields are -1 and coding fields all ones when the block leaves
    // them unread.
    const bool unread = code == -1 || code == int64_t{0xFFFFFFFF};
    auto named = [&](const CodeNames& names) {
        return unread ? std::string("not recorded") : NameOf(code, names);
    };
    switch (tag) {
        case kClipValueVideoType:
        case kClipValueVideoType2:
            return named({nullptr, "MPEG-2 long GOP 4:2:2"});
        case kClipValueVideoFormat:
            return named({nullptr, "1920x1080", "1280x720", "1440x1080"});
        case kClipValueFrameRate:
            return named({nullptr, "59.94i", "50i", "29.97p", "25p", "23.98p", "59.94p", "50p",
                          "23.98p pull-down", "24p"});
        case kClipValueAudioType:
            return named({nullptr, "linear PCM"});
        case kClipValueAudioChannel:
            return named({nullptr, "2 channels", "4 channels"});
        case kClipValueSamplingFrequency:
            return named({nullptr, "48 kHz"});
        case kClipValueOKMark:
            return named({"not marked", "marked", "marked", "marked"});
        case kClipValueBackupFlag:
            return named({"not a backup", "backup"});
        case kClipValueCustomPresetFileFlag:
            return named({"no custom preset file", "custom preset file present"});
        case kClipValueThumbnailFileFlag:
            return named({"no thumbnail file", "thumbnail file present"});
        case kClipValueClipMetadataFileFlag:
            return named({"no clip metadata file", "clip metadata file present"});
        case kClipValueDropFrameFlag:
            return named({"non-drop-frame", "drop-frame"});
        case kClipValueCBRFlag:
            return named({"variable bit rate", "constant bit rate"});
        case kClipValueRecordingRate:
            return named({nullptr, "25 Mbps", "35 Mbps", "50 Mbps"});
        case kClipValueRecordingMode:
            return unread ? "not recorded" : RecordingModeText(code);
        case kClipValueIntervalUnit:
            return named({"none", "seconds", "minutes", "hours"});
        case kClipValueAccurateFlag:
            return named({"white balance accurate off", "white balance accurate on"});
        case kClipValueIRMode:
            return named({"infrared off", "infrared on"});
        case kClipValueDoubleRecord:
            return named({"single recording", "double recording"});
        case kClipValueLogGammaFlag:
            return named({"standard gamma", "log gamma"});
        case kClipValueRelayRecordType:
            return named({"single clip", "first piece of a recording", "middle piece of a recording",
                          "last piece of a recording"});
        case kClipValueLongitudeType:
            return named({nullptr, "W", "E"});
        case kClipValueLatitudeType:
            return named({nullptr, "N", "S"});
        case kClipValueAEMode:
        case kClipValueWBMode:
        case kClipValueWBPreset:
        case kClipValueGammaSetting:
            // The camera's own codes: only their absence has a meaning here.
            return unread ? "not recorded" : std::string();
        default:
            return std::string();
    }
}

}  // namespace qzimport
