#pragma once
// Clip values as the commands show them: timecodes, coding names, UUIDs,
// dates and numbers as text, any clip value as text or JSON, and table
// cells that keep to their line. Pure functions: any thread.
#include "CUObject.h"
#include "CUSharedPtr.h"
#include "FBCClipValueTag.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>

namespace ComVantoVantoQZ64RADPlug {
class CFBCClip;
class CUNumber;
}  // namespace ComVantoVantoQZ64RADPlug

namespace qzimport {

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

// The shortest decimal text that reads back to the same number: a 32-bit
// float as a float ("30.1", not 30.100000381469727), a double as a double,
// integers in full.
std::string NumberText(const ComVantoVantoQZ64RADPlug::CUNumber& number);
// ISO 8601 of a record date and time: "2026-12-06T09:10:00+01:00" (the
// recorded offset, an hour more under daylight saving), no offset when no
// time zone was recorded; the record's own text, ending "(invalid)", when
// its fields name no time.
std::string RecordTimeText(const ComVantoVantoQZ64RADPlug::CUObject& value);
// ISO 8601 UTC of a host date (the host protocols' dates are seconds since
// 1970-01-01 00:00:00 UTC): "2026-12-06T08:10:00Z", with milliseconds when
// there is a fraction; empty for a value no calendar holds.
std::string HostDateText(double secondsSince1970);
// A text for one cell or line of a table: backslash, line breaks, tabs and
// other control characters as escapes (\\, \n, \r, \t, \xNN), so that
// every value stays on its line.
std::string TableCell(const std::string& text);

// "ClipID", "Duration", ...: the tag's name without its "kClipValue" prefix.
const char* ClipValueTagName(ComVantoVantoQZ64RADPlug::_ClipValueTag tag);

// A value as text: numbers as NumberText, timecodes as TimecodeText, dates
// as DateTimeUTCText, record dates as RecordTimeText, byte vectors as
// "<N bytes>", arrays as "[a, b]", records by their description; "-" for
// null.
std::string ValueText(const ComVantoVantoQZ64RADPlug::CUSharedPtr<ComVantoVantoQZ64RADPlug::CUObject>& value);
// The same as JSON: numbers as numbers, byte vectors as hex strings, arrays
// as arrays, null as null.
nlohmann::ordered_json ValueJson(
    const ComVantoVantoQZ64RADPlug::CUSharedPtr<ComVantoVantoQZ64RADPlug::CUObject>& value);

// Text of a clip value (ValueText) read under the clip's lock.
std::string ClipValueText(ComVantoVantoQZ64RADPlug::CFBCClip& clip,
                          ComVantoVantoQZ64RADPlug::_ClipValueTag tag);

}  // namespace qzimport
