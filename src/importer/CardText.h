#pragma once
// Opening a card for the card commands (list, clip) and the texts they show:
// why a folder is not a card, clip states, timecodes, coding names, and any
// clip value as text or JSON.
#include "CFBCContent.h"
#include "CUObject.h"
#include "CUSharedPtr.h"
#include "FBCClipValueTag.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>

namespace ComVantoVantoQZ64RADPlug {
class CFBCClip;
}

namespace qzimport {

// The card at `folder`, ready to be read. Otherwise throws ImportError
// (kNotACard): "<folder> is not a card: <reason>".
ComVantoVantoQZ64RADPlug::CUSharedPtr<ComVantoVantoQZ64RADPlug::CFBCContent> OpenCard(
    const std::string& folder);

// Clip IDs are the same whatever the letter case ("qz0001" is QZ0001).
bool SameClipID(const std::string& a, const std::string& b);

// The clip of the card whose clip ID is `clipID` (any letter case), with its
// position in the clip list. Otherwise throws ImportError (kNoSuchClip):
// "no clip <ID> on the card <folder>".
ComVantoVantoQZ64RADPlug::CUSharedPtr<ComVantoVantoQZ64RADPlug::CFBCClip> FindClip(
    const ComVantoVantoQZ64RADPlug::CFBCContent& content, const std::string& folder,
    const std::string& clipID, size_t* index = nullptr);

// Why the folder is not a card; empty when it is one. `content` is what
// CFBCContent::Create gave (may be null).
std::string NotACardReason(
    const std::string& folder,
    const ComVantoVantoQZ64RADPlug::CUSharedPtr<ComVantoVantoQZ64RADPlug::CFBCContent>& content);

// "ready", or why clip `index` of the card's clip list is not offered.
std::string ClipStateText(const ComVantoVantoQZ64RADPlug::CFBCContent& content, size_t index);
// Tells on stderr why the clip's files could not be read, when they could
// not: "qzcard COMMAND: clip ID: reason (at byte N of FILE) [error 0x...]".
void ReportClipFailure(const char* command, const ComVantoVantoQZ64RADPlug::CFBCClip& clip);

// "HH:MM:SS:FF", ";" before the frames in drop-frame mode; empty for
// anything that is not a TimecodeInfo.
std::string TimecodeText(
    const ComVantoVantoQZ64RADPlug::CUSharedPtr<ComVantoVantoQZ64RADPlug::CUObject>& value);
std::string FrameRateText(uint32_t code);      // "59.94i" ...; "unknown (N)"
std::string PictureSizeText(uint32_t code);    // "1920x1080" ...
std::string RecordingRateText(int32_t code);   // "50 Mbps" ...
std::string AudioChannelText(uint32_t code);   // "4 ch" ...
std::string FrameRateTypeText(uint32_t type);  // "59.94 Hz family" ...
// 8-4-4-4-12 upper-case hex digits of a CUUUID; empty otherwise.
std::string UUIDText(const ComVantoVantoQZ64RADPlug::CUSharedPtr<ComVantoVantoQZ64RADPlug::CUObject>& value);
// "YYYY-MM-DDTHH:MM:SSZ" of a CUDateTime; empty otherwise.
std::string DateTimeUTCText(
    const ComVantoVantoQZ64RADPlug::CUSharedPtr<ComVantoVantoQZ64RADPlug::CUObject>& value);

// "ClipID", "Duration", ...: the tag's name without its "kClipValue" prefix.
const char* ClipValueTagName(ComVantoVantoQZ64RADPlug::_ClipValueTag tag);

// A value as text: numbers in decimal, timecodes as TimecodeText, dates as
// DateTimeUTCText, byte vectors as "<N bytes>", arrays as "[a, b]", records
// by their description; "-" for null.
std::string ValueText(const ComVantoVantoQZ64RADPlug::CUSharedPtr<ComVantoVantoQZ64RADPlug::CUObject>& value);
// The same as JSON: numbers as numbers, byte vectors as hex strings, arrays
// as arrays, null as null.
nlohmann::ordered_json ValueJson(
    const ComVantoVantoQZ64RADPlug::CUSharedPtr<ComVantoVantoQZ64RADPlug::CUObject>& value);

// Whether `folder` (existing or not) lies inside the card at `card`, or is
// the card itself, comparing real paths (symbolic links and ".." resolved).
bool IsInsideFolder(const std::string& folder, const std::string& card);

// Text of a clip value (ValueText) read under the clip's lock.
std::string ClipValueText(ComVantoVantoQZ64RADPlug::CFBCClip& clip,
                          ComVantoVantoQZ64RADPlug::_ClipValueTag tag);

}  // namespace qzimport
