// qzcard list CARD [--json]: whether a folder is a card (and why not), then
// one row per clip in card order: clip ID, state, duration, start timecode,
// frame rate, picture size, bit rate, audio channels, device, shooting date
// and title.
#include "CommandRegistry.h"

#include "CFBCClip.h"
#include "CFBCContent.h"
#include "CUArray.h"
#include "CUNumber.h"
#include "CUStringMac.h"
#include "CardText.h"
#include "FBCClipValueTag.h"
#include "FBCContentValueTag.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace ComVantoVantoQZ64RADPlug;
using nlohmann::ordered_json;

struct ListArguments {
    std::string folder;
    bool json = false;
};

std::string Text(const CUSharedPtr<CUObject>& value) {
    CUSharedPtr<CUStringMac> text = value;
    return text ? text->Utf8() : std::string();
}

// The value as an unsigned number; `fallback` when it is missing.
uint64_t Number(const CUSharedPtr<CUObject>& value, uint64_t fallback = 0) {
    CUSharedPtr<CUNumber> number = value;
    return number ? number->UInt64Value() : fallback;
}

int64_t SignedNumber(const CUSharedPtr<CUObject>& value, int64_t fallback = 0) {
    CUSharedPtr<CUNumber> number = value;
    return number ? number->SInt64Value() : fallback;
}

// One clip's row: every field already as display text, plus the raw values
// the JSON form carries.
struct ClipRow {
    std::string clipID;
    std::string state;
    bool offered = false;
    std::string duration;
    CUSharedPtr<CUObject> durationFrames;
    std::string start;
    std::string frameRate;
    std::string pictureSize;
    std::string bitRate;
    std::string audio;
    std::string device;
    std::string shot;
    std::string title;
    ordered_json json;
};

ClipRow ReadRow(const CFBCContent& content, size_t index, CFBCClip& clip) {
    ClipRow row;
    row.clipID = Text(clip.ValueForTag(kClipValueClipID));
    row.state = qzimport::ClipStateText(content, index);
    row.offered = content.IsClipOffered(index);
    row.duration = qzimport::TimecodeText(clip.ValueForTag(kClipValueDuration));
    row.durationFrames = clip.ValueForTag(kClipValueDurationFrames);
    row.start = qzimport::TimecodeText(clip.ValueForTag(kClipValueStartTimecode));

    CUSharedPtr<CUObject> rate = clip.ValueForTag(kClipValueFrameRate);
    CUSharedPtr<CUObject> format = clip.ValueForTag(kClipValueVideoFormat);
    CUSharedPtr<CUObject> recordingRate = clip.ValueForTag(kClipValueRecordingRate);
    CUSharedPtr<CUObject> cbr = clip.ValueForTag(kClipValueCBRFlag);
    CUSharedPtr<CUObject> channels = clip.ValueForTag(kClipValueAudioChannel);
    row.frameRate = rate ? qzimport::FrameRateText(static_cast<uint32_t>(Number(rate))) : "";
    row.pictureSize = format ? qzimport::PictureSizeText(static_cast<uint32_t>(Number(format))) : "";
    if (recordingRate) {
        row.bitRate = qzimport::RecordingRateText(static_cast<int32_t>(SignedNumber(recordingRate)));
        if (cbr) row.bitRate += SignedNumber(cbr) == 1 ? " CBR" : " VBR";
    }
    row.audio = channels ? qzimport::AudioChannelText(static_cast<uint32_t>(Number(channels))) : "";

    const std::string manufacturer = Text(clip.ValueForTag(kClipValueDeviceManufacturer));
    const std::string model = Text(clip.ValueForTag(kClipValueDeviceModelName));
    const std::string serial = Text(clip.ValueForTag(kClipValueDeviceSerialNumber));
    row.device = manufacturer;
    if (!model.empty()) row.device += (row.device.empty() ? "" : " ") + model;
    if (!serial.empty()) row.device += (row.device.empty() ? "" : " ") + ("#" + serial);

    CUSharedPtr<CUObject> shot = clip.ValueForTag(kClipValueShootingDateTime);
    CUSharedPtr<CUObject> recorded = clip.ValueForTag(kClipValueRecordTimeAndDate);
    // The camera's own wall clock (with its zone when recorded) reads best.
    row.shot = recorded ? qzimport::ValueText(recorded) : qzimport::DateTimeUTCText(shot);
    row.title = Text(clip.ValueForTag(kClipValueTitle));

    ordered_json& j = row.json;
    j["clipId"] = row.clipID;
    j["state"] = row.state;
    j["offered"] = row.offered;
    j["clipState"] = clip.GatClipState();
    j["duration"] = row.duration.empty() ? ordered_json() : ordered_json(row.duration);
    j["durationFrames"] = qzimport::ValueJson(row.durationFrames);
    j["startTimecode"] = row.start.empty() ? ordered_json() : ordered_json(row.start);
    j["dropFrame"] = clip.isDropFrame();
    j["frameRate"] = row.frameRate.empty() ? ordered_json() : ordered_json(row.frameRate);
    j["frameRateCode"] = qzimport::ValueJson(rate);
    j["pictureSize"] = row.pictureSize.empty() ? ordered_json() : ordered_json(row.pictureSize);
    j["videoFormatCode"] = qzimport::ValueJson(format);
    j["bitRate"] = row.bitRate.empty() ? ordered_json() : ordered_json(row.bitRate);
    j["recordingRateCode"] = qzimport::ValueJson(recordingRate);
    j["cbr"] = cbr ? ordered_json(SignedNumber(cbr) == 1) : ordered_json();
    j["audioChannels"] = row.audio.empty() ? ordered_json() : ordered_json(row.audio);
    j["audioChannelCode"] = qzimport::ValueJson(channels);
    j["device"] = {{"manufacturer", manufacturer}, {"modelName", model}, {"serialNumber", serial}};
    j["shootingDateTime"] = shot ? ordered_json(qzimport::DateTimeUTCText(shot)) : ordered_json();
    j["recordTimeAndDate"] = recorded ? ordered_json(qzimport::ValueText(recorded)) : ordered_json();
    j["title"] = row.title;
    return row;
}

void PrintTable(const std::vector<ClipRow>& rows) {
    const std::vector<std::string> headers = {"CLIP", "STATE",    "DURATION", "FRAMES", "START", "RATE",
                                              "SIZE", "BIT RATE", "AUDIO",    "DEVICE", "SHOT",  "TITLE"};
    std::vector<std::vector<std::string>> cells;
    for (const ClipRow& row : rows) {
        cells.push_back({row.clipID, row.state, row.duration.empty() ? "-" : row.duration,
                         row.durationFrames ? qzimport::ValueText(row.durationFrames) : "-",
                         row.start.empty() ? "-" : row.start, row.frameRate.empty() ? "-" : row.frameRate,
                         row.pictureSize.empty() ? "-" : row.pictureSize,
                         row.bitRate.empty() ? "-" : row.bitRate, row.audio.empty() ? "-" : row.audio,
                         row.device.empty() ? "-" : row.device, row.shot.empty() ? "-" : row.shot,
                         row.title.empty() ? "-" : row.title});
    }
    std::vector<size_t> widths(headers.size());
    for (size_t c = 0; c < headers.size(); ++c) {
        widths[c] = headers[c].size();
        for (const auto& line : cells) widths[c] = std::max(widths[c], line[c].size());
    }
    auto print = [&](const std::vector<std::string>& line) {
        std::string text;
        for (size_t c = 0; c < line.size(); ++c) {
            text += line[c];
            // The last column is not padded, so lines carry no trailing blanks.
            if (c + 1 < line.size()) text += std::string(widths[c] - line[c].size() + 2, ' ');
        }
        std::printf("%s\n", text.c_str());
    };
    print(headers);
    for (const auto& line : cells) print(line);
}

void RunList(const ListArguments& args) {
    CUSharedPtr<CFBCContent> content = qzimport::OpenCard(args.folder);
    CUSharedPtr<CUArray> clips = content->ClipList();
    const size_t count = clips ? clips->Count() : 0;
    std::vector<ClipRow> rows;
    size_t offered = 0;
    for (size_t i = 0; i < count; ++i) {
        CUSharedPtr<CFBCClip> clip = clips->ObjectAtIndex(i);
        if (!clip) continue;
        qzimport::ReportClipFailure("list", *clip);
        rows.push_back(ReadRow(*content, i, *clip));
        if (rows.back().offered) ++offered;
    }

    const std::string mediaID = qzimport::UUIDText(content->ValueForTag(kContentValueMediaID));
    const uint32_t version = static_cast<uint32_t>(Number(content->ValueForTag(kContentValueIndexVersion)));
    const uint32_t bitmap = static_cast<uint32_t>(Number(content->ValueForTag(kContentValueSystemBitmap)));
    const uint32_t type = static_cast<uint32_t>(Number(content->ValueForTag(kContentValueFrameRateType)));

    if (args.json) {
        ordered_json out;
        out["card"] = args.folder;
        out["isCard"] = true;
        out["mediaId"] = mediaID;
        char versionText[16];
        std::snprintf(versionText, sizeof versionText, "%u.%02X", version >> 8, version & 0xFF);
        out["indexVersion"] = versionText;
        out["systemBitmap"] = bitmap;
        out["frameRateType"] = type;
        out["frameRateTypeText"] = qzimport::FrameRateTypeText(type);
        out["clipCount"] = rows.size();
        out["offeredClipCount"] = offered;
        out["clips"] = ordered_json::array();
        for (const ClipRow& row : rows) out["clips"].push_back(row.json);
        std::cout << out.dump(2) << '\n';
        return;
    }
    std::printf("card        %s\n", args.folder.c_str());
    std::printf("media ID    %s\n", mediaID.c_str());
    std::printf("index       version %u.%02X, system bitmap 0x%02X (%s)\n", version >> 8, version & 0xFF,
                bitmap, qzimport::FrameRateTypeText(type).c_str());
    std::printf("clips       %zu (%zu ready)\n", rows.size(), offered);
    if (rows.empty()) return;
    std::printf("\n");
    PrintTable(rows);
}

void InstallList(CLI::App& app) {
    auto args = std::make_shared<ListArguments>();
    CLI::App* command = app.add_subcommand("list", "Tell whether a folder is a card and list its clips");
    command->add_option("CARD", args->folder, "Card root folder (holding CONTENTS/CLIPS001/INDEX.MIF)")
        ->required();
    command->add_flag("--json", args->json, "Print JSON instead of a table");
    command->callback([args] { RunList(*args); });
}

const bool kRegistered = qzcard::RegisterCommand(&InstallList);

}  // namespace
