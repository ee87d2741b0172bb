#pragma once
// Enumerations of clip values, shared by the clip information reader, the
// clip values and the timecode arithmetic. Fields of the clip information
// block keep their stored codes: a code without a name below is passed on
// as it stands. "Not read" values mark fields of a record that was built
// but not filled in.
#include <cstdint>

namespace ComVantoVantoQZ64RADPlug {

// Recording frame rate of a clip; any other value is unknown.
enum _Frame_Rate : uint8_t {
    kFrameRateUnknown = 0,
    kFrameRate5994i = 1,
    kFrameRate50i = 2,
    kFrameRate2997P = 3,
    kFrameRate25P = 4,
    kFrameRate2398P = 5,
    kFrameRate5994P = 6,
    kFrameRate50P = 7,
    kFrameRate2398PsF = 8,  // 23.98P recorded with pull-down
    kFrameRate24P = 9,
};

// Coding information fields (4 bits each in the block, 32-bit in memory).
enum _Video_Type : uint32_t {
    kVideoTypeUnknown = 0,
    kVideoTypeMPEG2LongGOP422 = 1,  // the cards' MPEG-2 4:2:2 long-GOP coding
    kVideoTypeNotRead = 0xFFFFFFFFu,
};

enum _Video_Format : uint32_t {
    kVideoFormatUnknown = 0,
    kVideoFormat1920x1080 = 1,
    kVideoFormat1280x720 = 2,
    kVideoFormat1440x1080 = 3,
    kVideoFormatNotRead = 0xFFFFFFFFu,
};

enum _Audio_Type : uint32_t {
    kAudioTypeUnknown = 0,
    kAudioTypeLinearPCM = 1,
    kAudioTypeNotRead = 0xFFFFFFFFu,
};

enum _Sampling_Frequency : uint32_t {
    kSamplingFrequencyUnknown = 0,
    kSamplingFrequency48kHz = 1,
    kSamplingFrequencyNotRead = 0xFFFFFFFFu,
};

enum _Audio_Channel : uint32_t {
    kAudioChannelUnknown = 0,
    kAudioChannel2ch = 1,
    kAudioChannel4ch = 2,
    kAudioChannelNotRead = 0xFFFFFFFFu,
};

// Recording mode information.
enum _CBR_Flag : int32_t {
    kCBRFlagNotRead = -1,
    kCBRFlagVBR = 0,
    kCBRFlagCBR = 1,
};

enum _Recording_Rate : int32_t {
    kRecordingRateNotRead = -1,
    kRecordingRateUnknown = 0,
    kRecordingRate25Mbps = 1,
    kRecordingRate35Mbps = 2,
    kRecordingRate50Mbps = 3,
};

// A 16-bit set of mode bits; values combine the named bits.
enum _Recording_Mode : int32_t {
    kRecordingModeNotRead = -1,
    kRecordingModeNormal = 0,
    kRecordingModeDoubleRecord = 1 << 10,
    kRecordingModeVariableFrameRate = 1 << 13,
};

enum _Interval_Unit : int32_t {
    kIntervalUnitNotRead = -1,
    kIntervalUnitNone = 0,
    kIntervalUnitSeconds = 1,
    kIntervalUnitMinutes = 2,
    kIntervalUnitHours = 3,
};

// Camera exposure mode code (8 bits).
enum _AE_Mode : int32_t {
    kAEModeNotRead = -1,
};

// White balance mode (3 bits) and preset (5 bits) codes.
enum _WB_Mode : int32_t {
    kWBModeNotRead = -1,
};

enum _WB_Preset : int32_t {
    kWBPresetNotRead = -1,
};

enum _Accurate_Flag : int32_t {
    kAccurateFlagNotRead = -1,
    kAccurateFlagOff = 0,
    kAccurateFlagOn = 1,
};

enum _LogGamma_Flag : int32_t {
    kLogGammaFlagNotRead = -1,
    kLogGammaFlagOff = 0,
    kLogGammaFlagOn = 1,
};

// Gamma curve code (4 bits).
enum _Gamma_Setting : int32_t {
    kGammaSettingNotRead = -1,
};

// Clip attributes.
enum _OK_Mark : int32_t {
    kOKMarkNotRead = -1,
    kOKMarkNone = 0,
    kOKMarkMax = 3,  // 2 bits
};

enum _Custom_Preset_File_Flag : int32_t {
    kCustomPresetFileFlagNotRead = -1,
    kCustomPresetFileFlagOff = 0,
    kCustomPresetFileFlagOn = 1,
};

enum _Thumbnail_File_Flag : int32_t {
    kThumbnailFileFlagNotRead = -1,
    kThumbnailFileFlagOff = 0,
    kThumbnailFileFlagOn = 1,
};

enum _Clip_Metadata_File_Flag : int32_t {
    kClipMetadataFileFlagNotRead = -1,
    kClipMetadataFileFlagOff = 0,
    kClipMetadataFileFlagOn = 1,
};

enum _Drop_Frame_Flag : int32_t {
    kDropFrameFlagNotRead = -1,
    kDropFrameFlagOff = 0,
    kDropFrameFlagOn = 1,
};

// Not stored in the block: 0 after reading.
enum _Backup_Flag : int32_t {
    kBackupFlagNotRead = -1,
    kBackupFlagOff = 0,
    kBackupFlagOn = 1,
};

// The clip's place in a recording split across files or cards.
enum _RelayRecordType : int32_t {
    kRelayRecordTypeSingle = 0,
    kRelayRecordTypeFirst = 1,
    kRelayRecordTypeMiddle = 2,
    kRelayRecordTypeLast = 3,
};

// Clip list filtering of the card-management application; this system
// lists every clip.
enum _FBCClipFilterMode : int32_t {
    kFBCClipFilterModeAll = 0,
};

}  // namespace ComVantoVantoQZ64RADPlug
