#pragma once
// Recording mode information of a clip information block (15 bytes at
// offset 980): bit rate and CBR flag, mode bits, interval and variable frame
// rate recording, exposure, white balance and gamma settings. Plain record
// built fresh per request; not synchronised.
#include "CUObject.h"
#include "CUSharedPtr.h"
#include "FBCClipTypes.h"

#include <cstdint>

namespace ComVantoVantoQZ64RADPlug {

class CUStringMac;

class RecordingModeInformation : public CUObject {
public:
    static constexpr uint16_t kColorTemperatureNotRead = 32767;

    static CUSharedPtr<RecordingModeInformation> Create();

    // Bit 10 of the recording mode (false before reading).
    bool IsDoubleRecord() const;
    // Bit 13 of the recording mode (false before reading).
    bool IsVariableFrameRateRecord() const;

    // "name=value" pairs separated by blanks, in stored order.
    CUSharedPtr<CUStringMac> Description() const override;

    _CBR_Flag cbrFlag = kCBRFlagNotRead;
    _Recording_Rate recordingRate = kRecordingRateNotRead;
    _Recording_Mode recordingMode = kRecordingModeNotRead;  // 16-bit mode bits
    uint8_t preRecTime = 0;
    uint8_t intervalFrameNum = 0;
    _Interval_Unit intervalUnit = kIntervalUnitNotRead;
    uint8_t intervalTime = 0;
    uint8_t frameRecNum = 0;
    uint16_t variableFrameRate = 0;  // shooting frame rate
    _AE_Mode aeMode = kAEModeNotRead;
    _WB_Mode wbMode = kWBModeNotRead;
    _WB_Preset wbPreset = kWBPresetNotRead;
    _Accurate_Flag accurateFlag = kAccurateFlagNotRead;
    uint16_t colorTemperature = kColorTemperatureNotRead;  // 15 bits, kelvin
    // -1 unless the clip metadata version is above 0x0100.
    int32_t irMode = -1;
    _LogGamma_Flag logGammaFlag = kLogGammaFlagNotRead;
    _Gamma_Setting gammaSetting = kGammaSettingNotRead;
};

}  // namespace ComVantoVantoQZ64RADPlug
