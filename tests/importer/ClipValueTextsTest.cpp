// What coded clip values mean, and the value texts every command shares:
// the shortest decimals of floats, ISO dates and one-line table cells.
#include "CUNumber.h"
#include "ValueTexts.h"
#include "ClipValueTexts.h"
#include "FBCClipTypes.h"
#include "RecordTimeandDate.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace ComVantoVantoQZ64RADPlug;

TEST(ClipValueTextsTest, CodedValuesHaveTheirMeaning) {
    const struct {
        _ClipValueTag tag;
        CUSharedPtr<CUObject> value;
        const char* meaning;
    } cases[] = {
        {kClipValueFrameRate, CUNumber::Create(kFrameRate5994i), "59.94i"},
        {kClipValueFrameRate, CUNumber::Create(kFrameRate2398PsF), "23.98p pull-down"},
        {kClipValueFrameRate, CUNumber::Create(static_cast<_Frame_Rate>(12)), "unknown code"},
        {kClipValueVideoFormat, CUNumber::Create(kVideoFormat1440x1080), "1440x1080"},
        {kClipValueVideoFormat, CUNumber::Create(kVideoFormatNotRead), "not recorded"},
        {kClipValueAudioChannel, CUNumber::Create(kAudioChannel4ch), "4 channels"},
        {kClipValueSamplingFrequency, CUNumber::Create(kSamplingFrequency48kHz), "48 kHz"},
        {kClipValueVideoType2, CUNumber::Create(kVideoTypeMPEG2LongGOP422), "MPEG-2 long GOP 4:2:2"},
        {kClipValueCBRFlag, CUNumber::Create(kCBRFlagVBR), "variable bit rate"},
        {kClipValueRecordingRate, CUNumber::Create(kRecordingRate35Mbps), "35 Mbps"},
        {kClipValueRecordingMode, CUNumber::Create(static_cast<_Recording_Mode>(0x2401)),
         "double recording, variable frame rate, unknown bits 0x1"},
        {kClipValueIntervalUnit, CUNumber::Create(kIntervalUnitMinutes), "minutes"},
        {kClipValueDropFrameFlag, CUNumber::Create(kDropFrameFlagOn), "drop-frame"},
        {kClipValueRelayRecordType, CUNumber::Create(kRelayRecordTypeMiddle), "middle piece of a recording"},
        {kClipValueLongitudeType, CUNumber::Create(2u), "E"},
        {kClipValueLatitudeType, CUNumber::Create(1u), "N"},
        {kClipValueLogGammaFlag, CUNumber::Create(kLogGammaFlagOn), "log gamma"},
        // The camera's own codes have no name; numbers and texts are no codes.
        {kClipValueAEMode, CUNumber::Create(static_cast<_AE_Mode>(1)), ""},
        {kClipValueWBMode, CUNumber::Create(kWBModeNotRead), "not recorded"},
        {kClipValueDurationFrames, CUNumber::Create(60u), ""},
        {kClipValueFrameRate, CUSharedPtr<CUObject>(), ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(qzimport::ClipValueMeaning(c.tag, c.value), c.meaning) << qzimport::ClipValueTagName(c.tag);
}

TEST(ClipValueTextsTest, NumbersDatesAndCellsReadBack) {
    EXPECT_EQ(qzimport::NumberText(*CUNumber::Create(30.1f)), "30.1");
    EXPECT_EQ(qzimport::NumberText(*CUNumber::Create(139.6917)), "139.6917");
    EXPECT_EQ(qzimport::NumberText(*CUNumber::Create(int64_t{-12})), "-12");
    EXPECT_EQ(qzimport::ValueJson(CUNumber::Create(22.2f)).dump(), "22.2");

    CUSharedPtr<RecordTimeandDate> record = RecordTimeandDate::Create();
    record->year = 2026, record->month = 12, record->day = 6, record->hour = 9, record->minute = 10;
    record->timeZoneHours = RecordTimeandDate::kNoTimeZone;
    EXPECT_EQ(qzimport::RecordTimeText(*record), "2026-12-06T09:10:00");  // no zone recorded
    record->timeZoneSign = 1, record->timeZoneHours = 5, record->timeZoneHalfHour = 1;
    record->daylightSavingTime = 1;
    EXPECT_EQ(qzimport::RecordTimeText(*record), "2026-12-06T09:10:00-04:30");
    record->month = 13;
    EXPECT_NE(qzimport::RecordTimeText(*record).find("(invalid)"), std::string::npos);

    EXPECT_EQ(qzimport::HostDateText(1796548200.0), "2026-12-06T09:10:00Z");
    EXPECT_EQ(qzimport::HostDateText(1796548200.4004), "2026-12-06T09:10:00.400Z");
    EXPECT_EQ(qzimport::HostDateText(1e300), "");
    EXPECT_EQ(qzimport::TableCell("a\\b\nc\td\x01"), "a\\\\b\\nc\\td\\x01");
}

}  // namespace
