#include "CardText.h"

#include "CFBCClip.h"
#include "CFBCContent.h"
#include "CIFStream.h"
#include "CUArray.h"
#include "CUDateTime.h"
#include "CUFailure.h"
#include "CUNumber.h"
#include "CUStringMac.h"
#include "CUUUID.h"
#include "CUVector.h"
#include "FBCClipTypes.h"
#include "FBCMovieStream.h"
#include "FBCResultCodes.h"
#include "ImportError.h"
#include "MIFStream.h"
#include "MediaMetadata.h"
#include "RecordTimeandDate.h"
#include "TimecodeInfo.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace qzimport {

using namespace ComVantoVantoQZ64RADPlug;

namespace {

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
    char buffer[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return buffer;
}

std::string Utf8(const CUSharedPtr<CUStringMac>& s) {
    return s ? s->Utf8() : std::string();
}

// Why INDEX.MIF could not be read, from where a fresh read of it stops.
std::string IndexReadFailure(const CUSharedPtr<CUStringMac>& indexPath) {
    CUSharedPtr<MIFStream> index(new MIFStream());
    index->Init(indexPath);
    switch (index->FailedStep()) {
        case kMIFReadStepFile:
            return "the media index INDEX.MIF cannot be read";
        case kMIFReadStepMagic:
            return "bad magic in the media index INDEX.MIF (not \"MI\")";
        case kMIFReadStepHeader:
            return "the media index INDEX.MIF ends inside its header";
        case kMIFReadStepClipCount:
            if (index->StoredClipCount() > MIFStream::kMaxClipCount)
                return Format("the media index holds a clip count of %" PRIu32 " (at most %" PRIu32 ")",
                              index->StoredClipCount(), MIFStream::kMaxClipCount);
            return "the media index INDEX.MIF ends before its clip count";
        case kMIFReadStepClipIDTable:
            return "the media index holds an invalid clip identifier record (or ends inside the table)";
        case kMIFReadStepCIFTable:
            return "the media index INDEX.MIF ends inside its clip information table";
        case kMIFReadStepClip:
            return "a clip of the media index could not be made";
        case kMIFReadStepMediaMetadata:
            return "the media index has no media metadata block (\"MM\")";
        case kMIFReadStepExtension:
            return "the media index INDEX.MIF ends before its extension word";
        case kMIFReadStepNone:
        default:
            return "the media index INDEX.MIF cannot be read";
    }
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
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(count * 2);
    for (size_t i = 0; i < count; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0x0F];
    }
    return text;
}

// Whether `folder` holds a card's media index (the layout, not its bytes).
bool HoldsMediaIndex(const std::filesystem::path& folder) {
    std::error_code error;
    return std::filesystem::is_regular_file(
        folder / kContentsFolderName / kClipsFolderName / kMediaIndexFileName, error);
}

std::string FileName(const CUSharedPtr<CUStringMac>& path) {
    return path ? std::filesystem::path(path->Utf8()).filename().string() : std::string();
}

bool FileExists(const CUSharedPtr<CUStringMac>& path) {
    std::error_code error;
    return path && std::filesystem::exists(path->Utf8(), error);
}

// Which of the files an import opens first is not there.
std::string MissingFileReason(CFBCClip& clip) {
    if (!FileExists(clip.GetCIFPath()))
        return "the clip information file " + FileName(clip.GetCIFPath()) + " is missing";
    CUSharedPtr<CUArray> members = clip.AllMXFFilePath();
    if (!members || members->Count() == 0) return "the clip information lists no member files";
    for (size_t i = 0; i < members->Count(); ++i) {
        CUSharedPtr<CUStringMac> path = members->ObjectAtIndex(i);
        if (!path) return "member " + std::to_string(i + 1) + " of the clip information has no file name";
        if (!FileExists(path)) return "member file " + FileName(path) + " is missing";
    }
    return "its files were missing when the card was opened";
}

}  // namespace

bool SameClipID(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) ==
                      std::toupper(static_cast<unsigned char>(y));
           });
}

std::string EnclosingCardRoot(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code error;
    fs::path at = fs::absolute(path, error).lexically_normal();
    if (error) return std::string();
    if (!at.has_filename()) at = at.parent_path();
    for (fs::path up = at.parent_path(); !up.empty() && up != at; at = up, up = up.parent_path()) {
        if (!HoldsMediaIndex(up)) continue;
        if (fs::path(path).is_absolute()) return up.string();
        const fs::path relative = fs::relative(up, error);
        return error || relative.empty() ? up.string() : relative.string();
    }
    return std::string();
}

CUSharedPtr<CFBCContent> OpenCard(const std::string& folder) {
    std::error_code error;
    if (!HoldsMediaIndex(folder)) {
        const std::string root = EnclosingCardRoot(folder);
        if (!root.empty())
            throw ImportError(folder + " lies inside the card " + root + "; give " + root,
                              CUFailureKind::kNotACard);
        if (std::filesystem::exists(folder, error) && !std::filesystem::is_directory(folder, error))
            throw ImportError(folder + " is a file; the card is the folder that holds " + kContentsFolderName,
                              CUFailureKind::kNotACard);
    }
    CUSharedPtr<CFBCContent> content = CFBCContent::Create(CUStringMac::Create(folder.c_str()),
                                                           CUStringMac::Create(""), kContentsMediaTypeCard);
    const std::string reason = NotACardReason(folder, content);
    if (reason.empty()) return content;
    throw ImportError(folder + " is not a card: " + reason, CUFailureKind::kNotACard);
}

CUSharedPtr<CFBCClip> FindClip(const CFBCContent& content, const std::string& folder,
                               const std::string& clipID, size_t* index) {
    CUSharedPtr<CUArray> clips = content.ClipList();
    for (size_t i = 0; clips && i < clips->Count(); ++i) {
        CUSharedPtr<CFBCClip> candidate = clips->ObjectAtIndex(i);
        CUSharedPtr<CUStringMac> id = candidate ? candidate->GetClipID() : nullptr;
        if (id && SameClipID(id->Utf8(), clipID)) {
            if (index) *index = i;
            return candidate;
        }
    }
    throw ImportError("no clip " + clipID + " on the card " + folder, CUFailureKind::kNoSuchClip);
}

std::string NotACardReason(const std::string& folder, const CUSharedPtr<CFBCContent>& content) {
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error)) return "no such folder";
    if (!content) {
        // Same paths as the content derives, without reading anything yet.
        CUSharedPtr<CFBCContent> paths(new CFBCContent());
        paths->Init(CUStringMac::Create(folder.c_str()), CUStringMac::Create(""), kContentsMediaTypeVirtual);
        if (!paths->GetIndexPath()) return "the card paths cannot be formed";
        if (!paths->ContentDataFileExist())
            return Format("no media index %s/%s/%s", kContentsFolderName, kClipsFolderName,
                          kMediaIndexFileName);
        return IndexReadFailure(paths->GetIndexPath());
    }
    CUSharedPtr<MIFStream> index = content->GetMIFStream();
    switch (content->ContentState()) {
        case kContentStateReady:
            return std::string();
        case kContentStateUnsupported:
            if (index && (index->IndexVersion() >> 8) != MIFStream::kSupportedMajorVersion)
                return Format("unsupported media index version 0x%04X (major version %u; only 1 is read)",
                              index->IndexVersion(), index->IndexVersion() >> 8);
            if (index && index->GetMediaMetadata())
                return Format("unsupported media metadata version 0x%04X (only major version 1 is read)",
                              index->GetMediaMetadata()->MetadataVersion());
            return "unsupported media index version";
        case kContentStateBadSystem:
            if (index)
                return Format(
                    "frame-rate type not allowed: system bitmap 0x%02X gives type %u, which media "
                    "index version 0x%04X does not allow",
                    index->SystemBitmap(), index->SystemBitmap() & ((index->IndexVersion() & 0xFF) ? 7 : 3),
                    index->IndexVersion());
            return "frame-rate type not allowed";
        case kContentStateInvalid:
        default:
            return "the media index has no media metadata";
    }
}

std::string ClipStateText(const CFBCContent& content, size_t index) {
    CUSharedPtr<CUArray> clips = content.ClipList();
    CUSharedPtr<CFBCClip> clip = clips ? clips->ObjectAtIndex(index) : nullptr;
    if (!clip) return "missing";
    // Offered, but a file the import reads first fails the clip's checks:
    // the plug-in would refuse the clip or stop inside it.
    if (content.IsClipOffered(index)) return clip->LastFailure().Failed() ? "damaged" : "ready";
    const uint32_t check = content.ClipCheckResult(index);
    if (check != 0) return Format("check failed (0x%06" PRIX32 ")", check);
    switch (clip->GatClipState()) {
        case 0:
            return "missing files";
        case 2:
            return "unsupported";
        default:
            return "invalid";
    }
}

std::string ClipStateReason(const CFBCContent& content, size_t index) {
    CUSharedPtr<CUArray> clips = content.ClipList();
    CUSharedPtr<CFBCClip> clip = clips ? clips->ObjectAtIndex(index) : nullptr;
    if (!clip) return "the index entry gives no clip";
    const std::string state = ClipStateText(content, index);
    if (state == "ready") return std::string();
    if (state == "damaged") return clip->LastFailure().Describe();
    if (state == "missing files") return MissingFileReason(*clip);
    if (state == "unsupported") {
        CUSharedPtr<CIFStream> cif = clip->GetCIFStream();
        return cif ? Format(
                         "clip information version 0x%04X, clip metadata version 0x%04X (only major "
                         "version 1 is read)",
                         cif->CIFVersion(), cif->MetadataVersion())
                   : "unsupported clip information";
    }
    if (state == "invalid") return "the clip has no clip information";
    return "the clip's paths cannot be formed";
}

std::string TimecodeText(const CUSharedPtr<CUObject>& value) {
    CUSharedPtr<TimecodeInfo> tc = value;
    if (!tc) return std::string();
    return Format("%02u:%02u:%02u%c%02u", tc->hours, tc->minutes, tc->seconds, tc->dropFrame ? ';' : ':',
                  tc->frames);
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
            return Format("unknown (%u)", code);
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
            return Format("unknown (%u)", code);
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
            return Format("unknown (%d)", code);
    }
}

std::string AudioChannelText(uint32_t code) {
    switch (code) {
        case kAudioChannel2ch:
            return "2 ch";
        case kAudioChannel4ch:
            return "4 ch";
        default:
            return Format("unknown (%u)", code);
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
            return Format("type %u", type);
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
    return Format("%04d-%02d-%02dT%02d:%02d:%02dZ", g.year, g.month, g.day, g.hour, g.minute,
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
    std::string text = Format("%04u-%02u-%02uT%02u:%02u:%02u", static_cast<unsigned>(record->year),
                              static_cast<unsigned>(record->month), static_cast<unsigned>(record->day),
                              static_cast<unsigned>(record->hour), static_cast<unsigned>(record->minute),
                              static_cast<unsigned>(record->second));
    if (!record->HasTimeZone()) return text;
    // The recorded offset leaves daylight saving out; the clock showed it.
    const int32_t offset = record->TimeZoneOffsetMinutes() + (record->daylightSavingTime == 1 ? 60 : 0);
    return text + Format("%c%02d:%02d", offset < 0 ? '-' : '+', std::abs(offset) / 60, std::abs(offset) % 60);
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
    std::string text =
        Format("%04d-%02u-%02uT%02lld:%02lld:%02lld", static_cast<int>(date.year()),
               static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
               static_cast<long long>(time.hours().count()), static_cast<long long>(time.minutes().count()),
               static_cast<long long>(time.seconds().count()));
    if (time.subseconds().count() != 0)
        text += Format(".%03lld", static_cast<long long>(time.subseconds().count()));
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
                    cell += Format("\\x%02X", static_cast<unsigned>(static_cast<unsigned char>(c)));
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
    if (CUSharedPtr<CUVector<unsigned char>> bytes = value) return Format("<%zu bytes>", bytes->size());
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

bool IsInsideFolder(const std::string& folder, const std::string& card) {
    std::error_code error;
    const std::filesystem::path inner = std::filesystem::weakly_canonical(folder, error);
    if (error) return false;
    const std::filesystem::path outer = std::filesystem::weakly_canonical(card, error);
    if (error) return false;
    auto i = inner.begin();
    for (auto o = outer.begin(); o != outer.end(); ++o, ++i) {
        if (o->empty()) continue;  // the trailing "" of a path ending in '/'
        if (i == inner.end() || *i != *o) return false;
    }
    return true;
}

std::string ClipValueText(CFBCClip& clip, _ClipValueTag tag) {
    return ValueText(clip.ValueForTag(tag));
}

std::string MovieFailure(const FBCMovieStream& movie, const std::string& fallback) {
    const CUFailure failure = movie.LastFailure();
    return failure.Failed() ? failure.Describe() : fallback;
}

}  // namespace qzimport
