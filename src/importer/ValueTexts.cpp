#include "ValueTexts.h"

#include "CFBCClip.h"
#include "CUArray.h"
#include "CUDateTime.h"
#include "CUNumber.h"
#include "CUStringMac.h"
#include "CUUUID.h"
#include "CUVector.h"
#include "FBCClipTypes.h"
#include "FBC_Utl_Format.h"
#include "FBC_Utl_Hex.h"
#include "MIFStream.h"
#include "RecordTimeandDate.h"
#include "TimecodeInfo.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <system_error>

namespace qzimport {

using namespace ComVantoVantoQZ64RADPlug;

namespace {

std::string Utf8(const CUSharedPtr<CUStringMac>& s) {
    return s ? s->Utf8() : std::string();
}

const char* const kClipValueTagNames[kClipValueTagCount] = {
    "None",
    "ClipID",
    "Duration",
    "ClipFileSize",
    "MxfFileSize",
    "DurationFrames",
    "VideoType",
    "VideoFormat",
    "FrameRate",
    "AudioType",
    "AudioChannel",
    "SamplingFrequency",
    "VideoType2",
    "DeviceManufacturer",
    "DeviceModelName",
    "DeviceSerialNumber",
    "DeviceFirmVersion",
    "StartTimecode",
    "EndTimecode",
    "CIF976",
    "OKMark",
    "BackupFlag",
    "CustomPresetFileFlag",
    "ThumbnailFileFlag",
    "ClipMetadataFileFlag",
    "DropFrameFlag",
    "ShootingDateTime",
    "RecordTimeAndDate",
    "RecordingModeInfo",
    "CBRFlag",
    "RecordingRate",
    "RecordingMode",
    "PreRecTime",
    "IntervalFrameNum",
    "IntervalUnit",
    "IntervalTime",
    "FrameRecNum",
    "VariableFrameRate",
    "AEMode",
    "Reserved39",
    "Reserved40",
    "Reserved41",
    "Reserved42",
    "Reserved43",
    "WBMode",
    "WBPreset",
    "AccurateFlag",
    "ColorTemperature",
    "IRMode",
    "DoubleRecord",
    "LogGammaFlag",
    "GammaSetting",
    "LogGammaType",
    "RelayRecordType",
    "RelayPreviousUMID",
    "RelayNextUMID",
    "Title",
    "Creator",
    "PlaceName",
    "Altitude",
    "LongitudeType",
    "LongitudeDegrees",
    "LongitudeMinutes",
    "LongitudeSeconds",
    "LatitudeType",
    "LatitudeDegrees",
    "LatitudeMinutes",
    "LatitudeSeconds",
    "Description",
    "LongitudeValue",
    "LatitudeValue",
    "DeviceLens",
    "CustomPictureData",
    "RelayPackageUID",
    "MediaDisplayName",
    "MediaRootPath",
};

std::string HexText(const unsigned char* bytes, size_t count) {
    return FBC_Utl_HexText(bytes, count, FBC_Utl_HexCase::kUpper);
}

}  // namespace

std::string TimecodeText(const CUSharedPtr<CUObject>& value) {
    CUSharedPtr<TimecodeInfo> tc = value;
    if (!tc) return std::string();
    return FBC_Utl_Format("%02u:%02u:%02u%c%02u", tc->hours, tc->minutes, tc->seconds,
                          tc->dropFrame ? ';' : ':', tc->frames);
}

std::string FrameRateText(uint32_t code) {
    switch (code) {
        case kFrameRate5994i:
            return "59.94i";
        case kFrameRate50i:
            return "50i";
        case kFrameRate2997P:
            return "29.97p";
        case kFrameRate25P:
            return "25p";
        case kFrameRate2398P:
            return "23.98p";
        case kFrameRate5994P:
            return "59.94p";
        case kFrameRate50P:
            return "50p";
        case kFrameRate2398PsF:
            return "23.98p pull-down";
        case kFrameRate24P:
            return "24p";
        default:
            return FBC_Utl_Format("unknown (%u)", code);
    }
}

std::string PictureSizeText(uint32_t code) {
    switch (code) {
        case kVideoFormat1920x1080:
            return "1920x1080";
        case kVideoFormat1280x720:
            return "1280x720";
        case kVideoFormat1440x1080:
            return "1440x1080";
        default:
            return FBC_Utl_Format("unknown (%u)", code);
    }
}

std::string RecordingRateText(int32_t code) {
    switch (code) {
        case kRecordingRate25Mbps:
            return "25 Mbps";
        case kRecordingRate35Mbps:
            return "35 Mbps";
        case kRecordingRate50Mbps:
            return "50 Mbps";
        default:
            return FBC_Utl_Format("unknown (%d)", code);
    }
}

std::string AudioChannelText(uint32_t code) {
    switch (code) {
        case kAudioChannel2ch:
            return "2 ch";
        case kAudioChannel4ch:
            return "4 ch";
        default:
            return FBC_Utl_Format("unknown (%u)", code);
    }
}

std::string FrameRateTypeText(uint32_t type) {
    switch (type) {
        case MIFStream::kFrameRateType5994:
            return "59.94 Hz family";
        case MIFStream::kFrameRateType50:
            return "50 Hz family";
        case MIFStream::kFrameRateType24:
            return "24.00 Hz";
        default:
            return FBC_Utl_Format("type %u", type);
    }
}

std::string UUIDText(const CUSharedPtr<CUObject>& value) {
    CUSharedPtr<CUUUID> uuid = value;
    if (!uuid) return std::string();
    const CFUUIDBytes b = uuid->GetUUIDBytes();
    const std::string hex = HexText(b.data(), b.size());
    return hex.substr(0, 8) + "-" + hex.substr(8, 4) + "-" + hex.substr(12, 4) + "-" + hex.substr(16, 4) +
           "-" + hex.substr(20);
}

std::string DateTimeUTCText(const CUSharedPtr<CUObject>& value) {
    CUSharedPtr<CUDateTime> date = value;
    if (!date || date->IsNull()) return std::string();
    const CFGregorianDate g = date->GregorianDate(false);
    return FBC_Utl_Format("%04d-%02d-%02dT%02d:%02d:%02dZ", g.year, g.month, g.day, g.hour, g.minute,
                          static_cast<int>(g.second));
}

std::string NumberText(const CUNumber& number) {
    char text[64];
    std::to_chars_result written{};
    if (const auto* f = dynamic_cast<const CUNumberConcrete<float>*>(&number))
        written = std::to_chars(text, text + sizeof text, f->Value());
    else if (const auto* d = dynamic_cast<const CUNumberConcrete<double>*>(&number))
        written = std::to_chars(text, text + sizeof text, d->Value());
    else
        return Utf8(number.Description());
    return written.ec == std::errc() ? std::string(text, written.ptr) : Utf8(number.Description());
}

std::string RecordTimeText(const CUObject& value) {
    const auto* record = dynamic_cast<const RecordTimeandDate*>(&value);
    if (!record) return std::string();
    if (!record->IsValidTime()) return Utf8(record->Description());
    std::string text =
        FBC_Utl_Format("%04u-%02u-%02uT%02u:%02u:%02u", static_cast<unsigned>(record->year),
                       static_cast<unsigned>(record->month), static_cast<unsigned>(record->day),
                       static_cast<unsigned>(record->hour), static_cast<unsigned>(record->minute),
                       static_cast<unsigned>(record->second));
    if (!record->HasTimeZone()) return text;
    // The recorded offset leaves daylight saving out; the clock showed it.
    const int32_t offset = record->TimeZoneOffsetMinutes() + (record->daylightSavingTime == 1 ? 60 : 0);
    return text + FBC_Utl_Format("%c%02d:%02d", offset < 0 ? '-' : '+', std::abs(offset) / 60,
                                 std::abs(offset) % 60);
}

std::string HostDateText(double secondsSince1970) {
    using namespace std::chrono;
    // Within years 0 to 9999, so that the text keeps its four year digits.
    if (!std::isfinite(secondsSince1970) || secondsSince1970 < -62167219200.0 ||
        secondsSince1970 > 253402300799.0)
        return std::string();
    const int64_t millis = std::llround(secondsSince1970 * 1000.0);
    const sys_time<milliseconds> at{milliseconds(millis)};
    const sys_days day = floor<days>(at);
    const year_month_day date(day);
    const hh_mm_ss<milliseconds> time(at - day);
    std::string text = FBC_Utl_Format("%04d-%02u-%02uT%02lld:%02lld:%02lld", static_cast<int>(date.year()),
                                      static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                                      static_cast<long long>(time.hours().count()),
                                      static_cast<long long>(time.minutes().count()),
                                      static_cast<long long>(time.seconds().count()));
    if (time.subseconds().count() != 0)
        text += FBC_Utl_Format(".%03lld", static_cast<long long>(time.subseconds().count()));
    return text + "Z";
}

std::string TableCell(const std::string& text) {
    std::string cell;
    cell.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '\\':
                cell += "\\\\";
                break;
            case '\n':
                cell += "\\n";
                break;
            case '\r':
                cell += "\\r";
                break;
            case '\t':
                cell += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
                    cell += FBC_Utl_Format("\\x%02X", static_cast<unsigned>(static_cast<unsigned char>(c)));
                else
                    cell += c;
        }
    }
    return cell;
}

const char* ClipValueTagName(_ClipValueTag tag) {
    return tag < kClipValueTagCount ? kClipValueTagNames[tag] : "Unknown";
}

std::string ValueText(const CUSharedPtr<CUObject>& value) {
    if (!value) return "-";
    if (CUSharedPtr<CUStringMac> text = value) return text->Utf8();
    if (CUSharedPtr<CUNumber> number = value) return NumberText(*number);
    if (CUSharedPtr<RecordTimeandDate> record = value) return RecordTimeText(*record);
    if (CUSharedPtr<TimecodeInfo> tc = value) return TimecodeText(value);
    if (CUSharedPtr<CUDateTime> date = value) return DateTimeUTCText(value);
    if (CUSharedPtr<CUUUID> uuid = value) return UUIDText(value);
    if (CUSharedPtr<CUVector<unsigned char>> bytes = value)
        return FBC_Utl_Format("<%zu bytes>", bytes->size());
    if (CUSharedPtr<CUArray> array = value) {
        std::string text = "[";
        for (size_t i = 0; i < array->Count(); ++i) {
            if (i) text += ", ";
            text += ValueText(array->ObjectAtIndex(i));
        }
        return text + "]";
    }
    CUSharedPtr<CUStringMac> description = value->Description();
    return Utf8(description);
}

nlohmann::ordered_json ValueJson(const CUSharedPtr<CUObject>& value) {
    if (!value) return nullptr;
    if (CUSharedPtr<CUNumber> number = value) {
        const std::string text = NumberText(*number);
        if (text.find_first_of(".eEni") != std::string::npos) {
            // The double nearest the shortest text, so that a float prints as
            // the decimal it carries.
            double shortest = number->doubleValue();
            std::from_chars(text.data(), text.data() + text.size(), shortest);
            return shortest;
        }
        if (!text.empty() && text[0] == '-') return number->SInt64Value();
        return number->UInt64Value();
    }
    if (CUSharedPtr<CUVector<unsigned char>> bytes = value) return HexText(bytes->data(), bytes->size());
    if (CUSharedPtr<CUArray> array = value) {
        nlohmann::ordered_json items = nlohmann::ordered_json::array();
        for (size_t i = 0; i < array->Count(); ++i) items.push_back(ValueJson(array->ObjectAtIndex(i)));
        return items;
    }
    return ValueText(value);
}

std::string ClipValueText(CFBCClip& clip, _ClipValueTag tag) {
    return ValueText(clip.ValueForTag(tag));
}

}  // namespace qzimport
