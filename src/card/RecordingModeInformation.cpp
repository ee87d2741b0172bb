#include "RecordingModeInformation.h"

#include "CUStringMac.h"

#include <cstdio>

namespace ComVantoVantoQZ64RADPlug {

CUSharedPtr<RecordingModeInformation> RecordingModeInformation::Create() {
    return CUSharedPtr<RecordingModeInformation>(new RecordingModeInformation());
}

bool RecordingModeInformation::IsDoubleRecord() const {
    return recordingMode != kRecordingModeNotRead && (recordingMode & kRecordingModeDoubleRecord) != 0;
}

bool RecordingModeInformation::IsVariableFrameRateRecord() const {
    return recordingMode != kRecordingModeNotRead && (recordingMode & kRecordingModeVariableFrameRate) != 0;
}

CUSharedPtr<CUStringMac> RecordingModeInformation::Description() const {
    char text[512];
    std::snprintf(text, sizeof text,
                  "cbrFlag=%d recordingRate=%d recordingMode=%d preRecTime=%u intervalFrameNum=%u "
                  "intervalUnit=%d intervalTime=%u frameRecNum=%u variableFrameRate=%u aeMode=%d wbMode=%d "
                  "wbPreset=%d accurateFlag=%d colorTemperature=%u irMode=%d logGammaFlag=%d gammaSetting=%d",
                  static_cast<int>(cbrFlag), static_cast<int>(recordingRate), static_cast<int>(recordingMode),
                  static_cast<unsigned>(preRecTime), static_cast<unsigned>(intervalFrameNum),
                  static_cast<int>(intervalUnit), static_cast<unsigned>(intervalTime),
                  static_cast<unsigned>(frameRecNum), static_cast<unsigned>(variableFrameRate),
                  static_cast<int>(aeMode), static_cast<int>(wbMode), static_cast<int>(wbPreset),
                  static_cast<int>(accurateFlag), static_cast<unsigned>(colorTemperature),
                  static_cast<int>(irMode), static_cast<int>(logGammaFlag), static_cast<int>(gammaSetting));
    return CUStringMac::Create(text);
}

}  // namespace ComVantoVantoQZ64RADPlug
