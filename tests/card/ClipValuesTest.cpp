// Clip values by tag, checked against the card-writer descriptions the
// cards were written from; duration and frame timecodes against the
// writer's own (independent) timecode arithmetic.
#include "CFBCAnalyzeClipMetaData.h"
#include "CUDateTime.h"
#include "CUVector.h"
#include "FBC_Utl_Timecode.h"
#include "RecordTimeandDate.h"
#include "RecordingModeInformation.h"

#include "CardTestSupport.h"

#include <ctime>
#include <set>

using namespace card_test;
using namespace ComVantoVantoQZ64RADPlug;
namespace cwn = ComVantoVantoQZ64RADPlug::CardWriter;

namespace {

uint64_t FileBytes(const std::string& path) {
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    return error ? 0 : size;
}

std::string FirmwareText(const std::vector<uint8_t>& components) {
    std::string text;
    char part[8];
    for (size_t i = 0; i < components.size() && components[i] != 255; ++i) {
        std::snprintf(part, sizeof part, i == 0 ? "%d" : ".%02d", components[i]);
        text += part;
    }
    return text;
}

// Seconds since 2001-01-01 GMT of a wall-clock time at a fixed offset.
double AbsoluteAt(const cwn::RecordDateTime& d, int offsetSeconds) {
    std::tm tm{};
    tm.tm_year = static_cast<int>(d.year) - 1900;
    tm.tm_mon = static_cast<int>(d.month) - 1;
    tm.tm_mday = static_cast<int>(d.day);
    tm.tm_hour = static_cast<int>(d.hour);
    tm.tm_min = static_cast<int>(d.minute);
    tm.tm_sec = static_cast<int>(d.second);
    return static_cast<double>(timegm(&tm)) - offsetSeconds - 978307200.0;
}

// A clip description with every stored field away from its default.
cwn::ClipDescription RichClip(cwn::FrameRate rate, bool dropFrame, uint32_t number) {
    cwn::ClipDescription clip;
    clip.id = {"QZ", number};
    clip.frameRate = rate;
    clip.dropFrame = dropFrame;
    clip.durationFrames = 8;
    clip.audioChannels = number % 2 ? 4 : 2;
    clip.pictureSize = number % 3 == 0 ? cwn::PictureSize::k1280x720 : cwn::PictureSize::k1920x1080;
    clip.bitRate = number % 2 ? cwn::BitRate::k50Mbps : cwn::BitRate::k35Mbps;
    clip.constantBitRate = number % 2 == 1;
    clip.startTimecode = dropFrame ? cwn::Timecode{0, 0, 59, 28} : cwn::Timecode{10, 59, 59, 0};
    clip.device.manufacturer = "Vanto";
    clip.device.modelName = "QZ64 Mk" + std::to_string(number);
    clip.device.serialNumber = "SN-" + std::to_string(1000 + number);
    clip.device.firmware = {2, 7, static_cast<uint8_t>(number)};
    const auto zoneHours = static_cast<uint8_t>(number % 12);
    clip.recorded = {2024, 2, 29, 23, 59, 58, number % 2 == 0, number % 3 == 0, zoneHours, number % 2 == 1};
    const bool odd = number % 2 == 1;
    const auto bits = static_cast<uint16_t>(odd ? 0x0400 : 0x2000);
    const auto gamma = static_cast<uint8_t>(number % 16);
    clip.recordingMode = {bits, 3, 4, 2, 5, 6, 2997, 7, 5, 17, true, 3200, !odd, odd, gamma};  // field order
    clip.attributes = {static_cast<uint8_t>(number % 4), true, !odd, {}, {}};  // OK mark, preset, thumbnail
    clip.coding.value976 = 0xA0B0C0D0u + number;
    clip.coding.value1140 = 11;
    clip.xml.title = "Take " + std::to_string(number);
    clip.xml.creator = "Camera Operator";
    clip.xml.description = "Rate test & <check>";
    clip.xml.lens = "Zoom " + std::to_string(number);
    clip.xml.location = cwn::ClipLocation{"+123", "E139.69170", "N35.68950", "CAPTURED", "Tokyo"};
    return clip;
}

// Every clip value of clip `index` against its description.
void ExpectValuesMatch(const CUSharedPtr<CFBCClip>& clip, const cwn::CardDescription& card, size_t index,
                       const std::string& root) {
    const cwn::ClipDescription& d = card.clips.at(index);
    const cwn::FrameRateTraits traits = cwn::TraitsOf(d.frameRate);
    SCOPED_TRACE(cwn::ClipIdText(d.id) + " " + cwn::FrameRateName(d.frameRate) + (d.dropFrame ? " DF" : ""));
    ASSERT_TRUE(clip);
    EXPECT_EQ(clip->GatClipState(), 0u);

    EXPECT_EQ(Text(clip, kClipValueClipID), cwn::ClipIdText(d.id));
    const uint32_t perLabel = traits.roundedBase / traits.recordedBase;
    EXPECT_EQ(Describe(clip->ValueForTag(kClipValueDuration)),
              TcText(cwn::FrameCountToTimecode(d.durationFrames / perLabel, traits.recordedBase, d.dropFrame),
                     d.dropFrame));

    uint64_t mxfBytes = 0;
    for (const auto& member : cwn::EffectiveMembers(d))
        mxfBytes += FileBytes(cwn::MemberMxfPath(root, d.id, member.number));
    uint64_t allBytes = mxfBytes;
    for (const char* extension : {".CIF", ".XML", ".THM", ".CPF"})
        allBytes += FileBytes(cwn::ClipFilePath(root, d.id, extension));
    EXPECT_GT(mxfBytes, 0u);
    EXPECT_EQ(Int(clip, kClipValueClipFileSize), static_cast<int64_t>(allBytes));
    EXPECT_EQ(Int(clip, kClipValueMxfFileSize), static_cast<int64_t>(mxfBytes));

    const cwn::RecordingModeInfo& m = d.recordingMode;
    const std::pair<_ClipValueTag, int64_t> numbers[] = {
        {kClipValueDurationFrames, d.durationFrames},
        {kClipValueVideoType, d.coding.videoType},
        {kClipValueVideoType2, d.coding.videoType},
        {kClipValueVideoFormat, int(d.pictureSize)},
        {kClipValueFrameRate, int(d.frameRate)},
        {kClipValueAudioType, d.coding.audioType},
        {kClipValueAudioChannel, d.audioChannels == 4 ? 2 : 1},
        {kClipValueSamplingFrequency, d.coding.samplingFrequency},
        {kClipValueOKMark, d.attributes.okMark},
        {kClipValueBackupFlag, 0},
        {kClipValueCustomPresetFileFlag, d.attributes.customPresetFile},
        {kClipValueThumbnailFileFlag, d.attributes.thumbnailFile},
        {kClipValueClipMetadataFileFlag, d.xml.write},
        {kClipValueDropFrameFlag, d.dropFrame},
        {kClipValueCBRFlag, d.constantBitRate},
        {kClipValueRecordingRate, int(d.bitRate)},
        {kClipValueRecordingMode, m.recordingMode},
        {kClipValuePreRecTime, m.preRecordingTime},
        {kClipValueIntervalFrameNum, m.intervalFrameNumber},
        {kClipValueIntervalUnit, m.intervalUnit},
        {kClipValueIntervalTime, m.intervalTime},
        {kClipValueFrameRecNum, m.frameRecordingNumber},
        {kClipValueVariableFrameRate, m.variableFrameRate},
        {kClipValueAEMode, m.aeMode},
        {kClipValueWBMode, m.whiteBalanceMode},
        {kClipValueWBPreset, m.whiteBalancePreset},
        {kClipValueAccurateFlag, m.accurateFlag},
        {kClipValueColorTemperature, m.colorTemperature},
        {kClipValueIRMode, m.infraredMode},
        {kClipValueDoubleRecord, (m.recordingMode & 0x0400) ? 1 : 0},
        {kClipValueLogGammaFlag, m.logGamma},
        {kClipValueGammaSetting, m.gammaSetting}};
    for (const auto& [tag, expected] : numbers) EXPECT_EQ(Int(clip, tag), expected) << "tag " << tag;
    EXPECT_EQ(Text(clip, kClipValueDeviceManufacturer), d.device.manufacturer);
    EXPECT_EQ(Text(clip, kClipValueDeviceModelName), d.device.modelName);
    EXPECT_EQ(Text(clip, kClipValueDeviceSerialNumber), d.device.serialNumber);
    EXPECT_EQ(Text(clip, kClipValueDeviceFirmVersion), FirmwareText(d.device.firmware));
    EXPECT_EQ(Describe(clip->ValueForTag(kClipValueStartTimecode)), TcText(d.startTimecode, d.dropFrame));
    EXPECT_EQ(Describe(clip->ValueForTag(kClipValueEndTimecode)),
              TcText(cwn::LastFrameTimecode(d), d.dropFrame));
    EXPECT_EQ(static_cast<uint32_t>(Int(clip, kClipValueCIF976)), d.coding.value976);

    EXPECT_EQ(clip->isDropFrame(), d.dropFrame);

    const cwn::RecordDateTime& r = d.recorded;
    auto date = Value<CUDateTime>(clip, kClipValueShootingDateTime);
    ASSERT_TRUE(date);
    const int offset =
        (r.timeZoneNegative ? -1 : 1) * (r.timeZoneHours * 3600 + (r.timeZoneHalfHour ? 1800 : 0)) +
        (r.daylightSaving ? 3600 : 0);
    EXPECT_DOUBLE_EQ(date->GetAbsoluteTime(), AbsoluteAt(r, offset));
    auto record = Value<RecordTimeandDate>(clip, kClipValueRecordTimeAndDate);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->year, r.year);
    EXPECT_EQ(record->month, r.month);
    EXPECT_EQ(record->second, r.second);
    EXPECT_EQ(record->timeZoneHours, r.timeZoneHours);

    EXPECT_TRUE(Value<RecordingModeInformation>(clip, kClipValueRecordingModeInfo));
    EXPECT_FALSE(Text(clip, kClipValueLogGammaType).empty());

    const bool hasPrevious = !d.relay.previous.clipId.empty();
    const bool hasNext = !d.relay.next.clipId.empty();
    EXPECT_EQ(Int(clip, kClipValueRelayRecordType), hasPrevious ? (hasNext ? 2 : 3) : (hasNext ? 1 : 0));
    auto previous = Value<UMID>(clip, kClipValueRelayPreviousUMID);
    auto next = Value<UMID>(clip, kClipValueRelayNextUMID);
    EXPECT_EQ(bool(previous), hasPrevious);
    EXPECT_EQ(bool(next), hasNext);
    if (hasPrevious) {
        EXPECT_TRUE(SameUmid(previous, d.relay.previous.umid));
    }
    if (hasNext) {
        EXPECT_TRUE(SameUmid(next, d.relay.next.umid));
    }

    EXPECT_EQ(Text(clip, kClipValueTitle), d.xml.title.value());
    EXPECT_EQ(Text(clip, kClipValueCreator), d.xml.creator.value());
    EXPECT_EQ(Text(clip, kClipValueDescription), d.xml.description.value());
    EXPECT_EQ(Text(clip, kClipValueDeviceLens), d.xml.lens.value_or(d.device.lens));

    EXPECT_FALSE(clip->ValueForTag(kClipValueCustomPictureData));
    EXPECT_TRUE(SameUmid(Value<UMID>(clip, kClipValueRelayPackageUID), cwn::RelayPackageUmidOf(card, index)));
    EXPECT_TRUE(SameUmid(clip->FirstMxfUMID(), cwn::FilePackageUmidOf(card, index, 0)));
    const size_t members = cwn::EffectiveMembers(d).size();
    EXPECT_TRUE(SameUmid(clip->LastMxfUMID(), cwn::FilePackageUmidOf(card, index, members - 1)));
    // No card behind a clip made on its own.
    EXPECT_FALSE(clip->ValueForTag(kClipValueMediaDisplayName));
    EXPECT_FALSE(clip->ValueForTag(kClipValueMediaRootPath));

    // The last picture's timecode is the block's second timecode.
    EXPECT_EQ(Describe(clip->CalculateTimcodeFromFrameNo(d.durationFrames - 1)),
              TcText(cwn::LastFrameTimecode(d), d.dropFrame));
    EXPECT_EQ(Describe(clip->CalculateTimcodeFromFrameNo(0)), TcText(d.startTimecode, d.dropFrame));
    EXPECT_EQ(clip->RoundedTimecodeBase(), traits.roundedBase);
}

class WrittenRatesCard : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder = new ScratchFolder();
        card = new cwn::CardDescription();
        uint32_t number = 1;
        for (cwn::FrameRate rate : cwn::kAllFrameRates) {
            card->clips.push_back(RichClip(rate, false, number++));
            if (cwn::TraitsOf(rate).dropFrameAllowed) card->clips.push_back(RichClip(rate, true, number++));
        }
        // A clip spanned over three files that continues in the next clip.
        cwn::ClipDescription spanned = RichClip(cwn::FrameRate::k29_97p, true, 90);
        spanned.durationFrames = 9;
        spanned.members = {{3, 1, {}}, {4, 2, {}}, {2, 7, {}}};
        card->clips.push_back(spanned);
        card->clips.push_back(RichClip(cwn::FrameRate::k29_97p, true, 91));
        cwn::LinkRelayClips(*card, card->clips.size() - 2, *card, card->clips.size() - 1);
        cwn::WriteCard(*card, folder->Path());
    }
    static void TearDownTestSuite() {
        delete card;
        delete folder;
    }
    static inline ScratchFolder* folder = nullptr;
    static inline cwn::CardDescription* card = nullptr;
};

}  // namespace

TEST_F(WrittenRatesCard, EveryTagOfEveryClipMatchesItsDescription) {
    ASSERT_EQ(card->clips.size(), 14u);
    for (size_t i = 0; i < card->clips.size(); ++i)
        ExpectValuesMatch(OpenWrittenClip(folder->Path(), *card, i), *card, i, folder->Path());
}

TEST_F(WrittenRatesCard, SpannedAndRelayedClipsAnswerTheirLinks) {
    const size_t first = card->clips.size() - 2;
    auto spanned = OpenWrittenClip(folder->Path(), *card, first);
    auto next = OpenWrittenClip(folder->Path(), *card, first + 1);
    ASSERT_TRUE(spanned && next);
    EXPECT_EQ(Int(spanned, kClipValueRelayRecordType), kRelayRecordTypeFirst);
    EXPECT_EQ(Int(next, kClipValueRelayRecordType), kRelayRecordTypeLast);
    // The link names the other clip's relay package UID, which its own file carries.
    EXPECT_TRUE(Value<UMID>(spanned, kClipValueRelayNextUMID)
                    ->isEqualToUMID(Value<UMID>(next, kClipValueRelayPackageUID)));
    EXPECT_TRUE(Value<UMID>(next, kClipValueRelayPreviousUMID)
                    ->isEqualToUMID(Value<UMID>(spanned, kClipValueRelayPackageUID)));
    auto paths = spanned->AllMXFFilePath();
    ASSERT_TRUE(paths);
    ASSERT_EQ(paths->Count(), 3u);
    EXPECT_EQ(Describe(paths->ObjectAtIndex(2)),
              cwn::MemberMxfPath(folder->Path(), card->clips[first].id, 7));
    EXPECT_TRUE(spanned->ExistsPlayableFiles());
    EXPECT_FALSE(spanned->FirstMxfUMID()->isEqualToUMID(spanned->LastMxfUMID()));
}

TEST_F(WrittenRatesCard, MetadataDocumentValuesAndTheirDisplayForms) {
    auto clip = OpenWrittenClip(folder->Path(), *card, 0);
    ASSERT_TRUE(clip);
    const std::pair<_ClipValueTag, int64_t> numbers[] = {
        {kClipValueAltitude, 123},        {kClipValueLongitudeType, 2}, {kClipValueLongitudeDegrees, 139},
        {kClipValueLongitudeMinutes, 41}, {kClipValueLatitudeType, 1},  {kClipValueLatitudeDegrees, 35},
        {kClipValueLatitudeMinutes, 41}};
    for (const auto& [tag, expected] : numbers) EXPECT_EQ(Int(clip, tag), expected) << "tag " << tag;
    EXPECT_NEAR(Value<CUNumber>(clip, kClipValueLongitudeSeconds)->doubleValue(), 30.1, 1e-4);
    EXPECT_DOUBLE_EQ(Value<CUNumber>(clip, kClipValueLongitudeValue)->doubleValue(), 139.6917);
    EXPECT_NEAR(Value<CUNumber>(clip, kClipValueLatitudeSeconds)->doubleValue(), 22.2, 1e-4);
    EXPECT_DOUBLE_EQ(Value<CUNumber>(clip, kClipValueLatitudeValue)->doubleValue(), 35.6895);
    EXPECT_EQ(Text(clip, kClipValuePlaceName), "Tokyo");

    clip->Lock();
    auto document = clip->GetClipMetaData();
    ASSERT_TRUE(document);
    EXPECT_EQ(Describe(document->ObjectForKeyDefault(key_ALTITUDE)), "+123");
    EXPECT_EQ(Describe(document->ObjectForKeyDefault(Str("Longitude"))), "E139.69170");
    EXPECT_EQ(Describe(document->ObjectForKeyDefault(Str("Latitude"))), "N35.68950");
    clip->Unlock();
}

TEST(ClipValues, ShootingDateWithoutTimeZoneIsLocalWallClock) {
    cwn::CardDescription card = OneClipCard(RichClip(cwn::FrameRate::k25p, false, 2));
    card.clips[0].recorded = {2026, 7, 1, 12, 0, 0, false, false, 15, false};
    auto clip = ClipInMemory(card);
    auto date = Value<CUDateTime>(clip, kClipValueShootingDateTime);
    ASSERT_TRUE(date);
    std::tm tm{};
    tm.tm_year = 126;
    tm.tm_mon = 6;
    tm.tm_mday = 1;
    tm.tm_hour = 12;
    tm.tm_isdst = -1;
    EXPECT_DOUBLE_EQ(date->GetAbsoluteTime(), static_cast<double>(mktime(&tm)) - 978307200.0);

    // A date the calendar does not have gives no value.
    card.clips[0].recorded = {2026, 2, 30, 12, 0, 0, false, false, 1, false, true};
    EXPECT_FALSE(ClipInMemory(card)->ValueForTag(kClipValueShootingDateTime));
    EXPECT_TRUE(ClipInMemory(card)->ValueForTag(kClipValueRecordTimeAndDate));
}

TEST(ClipValues, PaddedDeviceTextsAndStableLogGammaTexts) {
    cwn::CardDescription card = OneClipCard(RichClip(cwn::FrameRate::k50i, false, 4));
    card.clips[0].device.manufacturer = "Vanto   ";
    card.clips[0].device.serialNumber = "";
    EXPECT_EQ(Text(ClipInMemory(card), kClipValueDeviceManufacturer), "Vanto");
    EXPECT_EQ(Text(ClipInMemory(card), kClipValueDeviceSerialNumber), "");

    std::set<std::string> texts;
    for (bool log : {false, true})
        for (uint8_t gamma = 0; gamma < 16; ++gamma) {
            card.clips[0].recordingMode.logGamma = log;
            card.clips[0].recordingMode.gammaSetting = gamma;
            const std::string text = Text(ClipInMemory(card), kClipValueLogGammaType);
            EXPECT_EQ(text, Text(ClipInMemory(card), kClipValueLogGammaType));
            texts.insert(text);
        }
    EXPECT_EQ(texts.size(), 32u);
}

TEST(ClipValues, NoValueForReservedAndUnknownTagsOrUnsupportedSources) {
    cwn::CardDescription card = OneClipCard(RichClip(cwn::FrameRate::k24p, false, 5));
    auto clip = ClipInMemory(card);
    for (uint32_t tag : {0u, 39u, 40u, 41u, 42u, 43u, 76u, 77u, 1000u, 0xFFFFFFFFu})
        EXPECT_FALSE(clip->ValueForTag(static_cast<_ClipValueTag>(tag))) << tag;
    // Never checked: no metadata document, no custom picture data.
    for (uint32_t tag = kClipValueTitle; tag <= kClipValueDeviceLens; ++tag)
        EXPECT_FALSE(clip->ValueForTag(static_cast<_ClipValueTag>(tag))) << tag;

    // Clip metadata 1.0 has no infrared bit.
    card.clips[0].coding.metadataVersion = 0x0100;
    EXPECT_FALSE(ClipInMemory(card)->ValueForTag(kClipValueIRMode));
    EXPECT_TRUE(ClipInMemory(card)->ValueForTag(kClipValueWBMode));

    // Unsupported versions: the values of that part of the block are absent,
    // the clip is not offered, its identity stays.
    card.clips[0].coding.version = 0x0200;
    card.clips[0].coding.metadataVersion = 0x0101;
    auto badBlock = ClipInMemory(card);
    ASSERT_TRUE(badBlock);
    EXPECT_EQ(badBlock->GatClipState(), 2u);
    EXPECT_EQ(Text(badBlock, kClipValueClipID), "QZ0005");
    for (uint32_t tag = kClipValueDurationFrames; tag <= kClipValueVideoType2; ++tag)
        EXPECT_FALSE(badBlock->ValueForTag(static_cast<_ClipValueTag>(tag))) << tag;
    EXPECT_FALSE(badBlock->ValueForTag(kClipValueDuration));
    EXPECT_EQ(badBlock->TVSystemType(), 0u);
    EXPECT_FALSE(badBlock->CalculateTimcodeFromFrameNo(0));  // no frame rate
    EXPECT_TRUE(badBlock->ValueForTag(kClipValueStartTimecode));

    card.clips[0].coding.version = 0x0100;
    card.clips[0].coding.metadataVersion = 0x0201;
    auto badMetadata = ClipInMemory(card);
    ASSERT_TRUE(badMetadata);
    EXPECT_EQ(badMetadata->GatClipState(), 2u);
    for (uint32_t tag = kClipValueDeviceManufacturer; tag < kClipValueTitle; ++tag)
        EXPECT_FALSE(badMetadata->ValueForTag(static_cast<_ClipValueTag>(tag))) << tag;
    EXPECT_FALSE(badMetadata->ValueForTag(kClipValueDuration));  // no drop-frame flag
    EXPECT_FALSE(badMetadata->CalculateTimcodeFromFrameNo(0));   // no start timecode
    EXPECT_FALSE(badMetadata->isDropFrame());
    EXPECT_EQ(Int(badMetadata, kClipValueDurationFrames), 8);
}

TEST(ClipValues, TVSystemTypeAndRoundedBasePerRate) {
    const std::map<cwn::FrameRate, std::pair<uint32_t, uint32_t>> expected = {
        {cwn::FrameRate::k59_94i, {1, 30}}, {cwn::FrameRate::k50i, {2, 25}},
        {cwn::FrameRate::k29_97p, {1, 30}}, {cwn::FrameRate::k25p, {2, 25}},
        {cwn::FrameRate::k23_98p, {1, 24}}, {cwn::FrameRate::k59_94p, {1, 60}},
        {cwn::FrameRate::k50p, {2, 50}},    {cwn::FrameRate::k23_98pPulldown, {1, 24}},
        {cwn::FrameRate::k24p, {3, 24}},
    };
    for (const auto& [rate, values] : expected) {
        auto clip = ClipInMemory(OneClipCard(RichClip(rate, false, 6)));
        EXPECT_EQ(clip->TVSystemType(), values.first) << cwn::FrameRateName(rate);
        EXPECT_EQ(clip->RoundedTimecodeBase(), values.second) << cwn::FrameRateName(rate);
    }
    cwn::CardDescription card = OneClipCard(RichClip(cwn::FrameRate::k24p, false, 6));
    card.clips[0].coding.frameRate = 12;  // a code without a name
    auto clip = ClipInMemory(card);
    EXPECT_EQ(clip->TVSystemType(), 0u);
    EXPECT_EQ(clip->RoundedTimecodeBase(), 0u);
    EXPECT_EQ(Int(clip, kClipValueFrameRate), 12);
    EXPECT_FALSE(clip->ValueForTag(kClipValueDuration));
}

// Duration of a clip of `frames` pictures, through the clip; `dropFlag`
// sets the block's drop-frame flag apart from the timecode mode.
class DurationClip {
public:
    DurationClip(cwn::FrameRate rate, bool dropFrame, std::optional<bool> dropFlag = {}) {
        cwn::CardDescription card = OneClipCard(RichClip(rate, dropFrame, 7));
        card.clips[0].attributes.dropFrame = dropFlag;
        m_block = cwn::BuildClipInformation(card, 0);
        m_id = card.clips[0].id;
    }
    std::string Duration(uint32_t frames) {
        PutU32(m_block, 12, frames);
        auto clip = ClipFromBlock(m_block, m_id);
        return clip ? Describe(clip->CalculateDuration()) : "<no clip>";
    }

private:
    std::vector<uint8_t> m_block;
    cwn::ClipId m_id;
};

TEST(ClipDuration, HoursBeyondTheFieldAndDropFrameFlagOutsideBase30) {
    // Labels around minutes and hours at every rate: the sweep below.
    DurationClip df(cwn::FrameRate::k29_97p, true);
    EXPECT_EQ(df.Duration(1800), "0:1:0:2 DF");
    // Hours beyond the 8-bit field give no duration rather than a wrapped one.
    DurationClip p24(cwn::FrameRate::k24p, false);
    EXPECT_EQ(p24.Duration(255u * 3600 * 24 + 3599 * 24 + 23), "255:59:59:23");
    EXPECT_EQ(p24.Duration(256u * 3600 * 24), "<null>");
    EXPECT_EQ(p24.Duration(0xFFFFFFFFu), "<null>");
    EXPECT_EQ(df.Duration(255u * 107892 + 107891), "255:59:59:29 DF");
    EXPECT_EQ(df.Duration(256u * 107892), "<null>");

    // A drop-frame flag at a 25-based rate skips no labels.
    EXPECT_EQ(DurationClip(cwn::FrameRate::k25p, false, true).Duration(1500), "0:1:0:0 DF");
}

TEST(ClipDuration, SweepAgreesWithBothConversionsAtEveryRate) {
    for (cwn::FrameRate rate : cwn::kAllFrameRates) {
        const cwn::FrameRateTraits traits = cwn::TraitsOf(rate);
        for (bool dropFrame : {false, true}) {
            if (dropFrame && !traits.dropFrameAllowed) continue;
            SCOPED_TRACE(cwn::FrameRateName(rate) + (dropFrame ? " DF" : ""));
            DurationClip clip(rate, dropFrame);
            const uint32_t perLabel = traits.roundedBase / traits.recordedBase;
            const uint32_t flags = dropFrame ? kTimecodeFlagDropFrame : 0;
            std::vector<uint32_t> counts;
            for (uint32_t n = 0; n < 4000; n += 7) counts.push_back(n);
            // Around every minute of the first hour and at hour ends.
            for (uint32_t minute = 1; minute <= 61; ++minute) {
                const uint64_t at =
                    cwn::TimecodeToFrameCount({0, minute, 0, 0}, traits.recordedBase, dropFrame);
                for (int64_t d = -3; d <= 3; ++d)
                    counts.push_back(static_cast<uint32_t>((at + d) * perLabel));
            }
            for (uint32_t hours : {1u, 2u, 23u, 24u, 100u}) {
                const uint64_t at =
                    cwn::TimecodeToFrameCount({hours, 0, 0, 0}, traits.recordedBase, dropFrame);
                counts.push_back(static_cast<uint32_t>((at - 1) * perLabel));
                counts.push_back(static_cast<uint32_t>(at * perLabel + perLabel - 1));
            }
            for (uint32_t n : counts) {
                const std::string duration = clip.Duration(n);
                EXPECT_EQ(duration,
                          Describe(FBC_Utl_FrameFromTimecode(n / perLabel, traits.recordedBase, flags)))
                    << n;
                EXPECT_EQ(duration,
                          TcText(cwn::FrameCountToTimecode(n / perLabel, traits.recordedBase, dropFrame),
                                 dropFrame))
                    << n;
            }
        }
    }
}

TEST(ClipFrameTimecode, ProgressivePairsShareALabelAndDropFrameSkips) {
    cwn::CardDescription card = OneClipCard(RichClip(cwn::FrameRate::k59_94p, true, 9));
    card.clips[0].startTimecode = {0, 0, 59, 28};
    auto clip = ClipInMemory(card);
    EXPECT_EQ(Describe(clip->CalculateTimcodeFromFrameNo(0)), "0:0:59:28 DF");
    EXPECT_EQ(Describe(clip->CalculateTimcodeFromFrameNo(1)), "0:0:59:28 DF");
    EXPECT_EQ(Describe(clip->CalculateTimcodeFromFrameNo(4)), "0:1:0:2 DF");
    EXPECT_FALSE(clip->CalculateTimcodeFromFrameNo(-1));

    card.clips[0].frameRate = cwn::FrameRate::k24p;
    card.clips[0].dropFrame = false;
    card.clips[0].startTimecode = {23, 59, 59, 23};
    EXPECT_EQ(Describe(ClipInMemory(card)->CalculateTimcodeFromFrameNo(1)), "24:0:0:0");
    card.clips[0].startTimecode = {99, 59, 59, 23};
    card.clips[0].coding.endTimecode = card.clips[0].startTimecode;
    EXPECT_EQ(Describe(ClipInMemory(card)->CalculateTimcodeFromFrameNo(156 * 3600 * 24)), "255:59:59:23");
    EXPECT_FALSE(ClipInMemory(card)->CalculateTimcodeFromFrameNo(156 * 3600 * 24 + 1));
    EXPECT_FALSE(ClipInMemory(card)->CalculateTimcodeFromFrameNo(INT64_MAX));
}
