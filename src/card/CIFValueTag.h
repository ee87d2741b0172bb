#pragma once
// Tags of the values a clip information block answers
// (CIFStream::ValueForTag). Tags 0-3 need block major version 1, tags 4-18
// clip metadata major version 1.
#include <cstdint>

namespace ComVantoVantoQZ64RADPlug {

enum _CIFValueTag : uint32_t {
    kCIFValueCodingInfo = 0,          // CodingInfo
    kCIFValueDuration = 1,            // CUNumber, uint32_t frames
    kCIFValueMemberStreamCount = 2,   // CUNumber, uint32_t
    kCIFValueMemberStreams = 3,       // CUArray of MemberStreamInfo
    kCIFValueDeviceManufacturer = 4,  // CUStringMac, padding kept
    kCIFValueDeviceModelName = 5,     // CUStringMac, padding kept
    kCIFValueDeviceSerialNumber = 6,  // CUStringMac, padding kept
    kCIFValueDeviceFirmVersion = 7,   // CUStringMac "1.02.03"
    kCIFValueRecordTimeAndDate = 8,   // RecordTimeandDate
    kCIFValueStartTimecode = 9,       // TimecodeInfo
    kCIFValueEndTimecode = 10,        // TimecodeInfo (second timecode)
    kCIFValue976 = 11,                // CUNumber, uint32_t
    kCIFValueRecordingModeInfo = 12,  // RecordingModeInformation
    kCIFValueClipAttributes = 13,     // ClipAttributes
    kCIFValueRelayInformation = 14,   // RelayInformation
    kCIFValue1140 = 15,               // CUNumber, uint8_t
    kCIFValue1141 = 16,               // CUNumber, uint8_t
    kCIFValueShotMarks = 17,          // CUArray: empty, or one opaque CUVector<unsigned char>
    kCIFValueEventMarks = 18,         // CUArray: empty, or one opaque CUVector<unsigned char>
    kCIFValueTagCount = 19,           // first value that is not a tag
};

}  // namespace ComVantoVantoQZ64RADPlug
