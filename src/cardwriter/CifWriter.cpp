#include "CifWriter.h"

#include <string>

#include "CardBytes.h"
#include "CardWriter.h"

namespace ComVantoVantoQZ64RADPlug::CardWriter {

using namespace CardBytes;

namespace {

// Offsets inside the clip information block.
constexpr size_t kMagic = 0, kVersion = 2, kCoding = 4, kDuration = 12, kMemberCount = 56, kMembers = 60;
constexpr size_t kMetadataMagic = 852, kMetadataVersion = 854, kManufacturer = 856, kModelName = 888,
                 kSerialNumber = 920, kFirmware = 952, kRecordDate = 960, kStartTimecode = 968,
                 kEndTimecode = 972, kValue976 = 976, kRecordingMode = 980, kAttributes = 1004, kRelay = 1012,
                 kValue1140 = 1140, kValue1141 = 1141;
constexpr size_t kDeviceTextWidth = 32, kFirmwareWidth = 8;

uint8_t Bcd(uint32_t value, const char* what) {
    if (value > 99)
        throw CardWriterError(std::string("clip information: ") + what + " does not fit two BCD digits");
    return static_cast<uint8_t>(((value / 10) << 4) | (value % 10));
}

void PutSpacePadded(std::vector<uint8_t>& block, size_t offset, const std::string& text, const char* what) {
    if (text.size() > kDeviceTextWidth)
        throw CardWriterError(std::string("clip information: ") + what + " longer than 32 bytes");
    std::string padded = text;
    padded.resize(kDeviceTextWidth, ' ');
    PutBytes(block, offset, padded.data(), padded.size());
}

void PutRelayClipId(std::vector<uint8_t>& block, size_t offset, const std::string& clipId) {
    if (clipId.size() > 6) throw CardWriterError("clip information: relay clip ID longer than 6 characters");
    PutBytes(block, offset, clipId.data(), clipId.size());
}

uint32_t DaysInMonth(uint32_t year, uint32_t month) {
    static const uint32_t days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

// A camera never records at an impossible time: such a date is refused
// rather than written.
void CheckRecordDate(const RecordDateTime& date) {
    if (date.writeEvenIfImpossible) return;
    auto refuse = [](const std::string& what, uint32_t value) {
        throw CardWriterError("clip information: record " + what + " " + std::to_string(value) +
                              " is not a valid time");
    };
    if (date.month < 1 || date.month > 12) refuse("month", date.month);
    if (date.day < 1 || date.day > DaysInMonth(date.year, date.month)) refuse("day", date.day);
    if (date.hour > 23) refuse("hour", date.hour);
    if (date.minute > 59) refuse("minute", date.minute);
    if (date.second > 59) refuse("second", date.second);
}

void PutRecordDate(std::vector<uint8_t>& block, const RecordDateTime& date) {
    CheckRecordDate(date);
    const uint8_t flags =
        static_cast<uint8_t>((date.daylightSaving ? 0x40 : 0) | (date.timeZoneNegative ? 0x20 : 0) |
                             ((date.timeZoneHours & 0x0F) << 1) | (date.timeZoneHalfHour ? 1 : 0));
    const uint8_t bytes[8] = {flags,
                              Bcd(date.year / 100, "record century"),
                              Bcd(date.year % 100, "record year"),
                              Bcd(date.month, "record month"),
                              Bcd(date.day, "record day"),
                              Bcd(date.hour, "record hour"),
                              Bcd(date.minute, "record minute"),
                              Bcd(date.second, "record second")};
    PutBytes(block, kRecordDate, bytes, sizeof bytes);
}

void PutRecordingMode(std::vector<uint8_t>& block, const ClipDescription& clip) {
    const RecordingModeInfo& mode = clip.recordingMode;
    const uint8_t rate = clip.coding.recordingRate.value_or(static_cast<uint8_t>(clip.bitRate));
    size_t at = kRecordingMode;
    PutU8(block, at++, static_cast<uint8_t>((clip.constantBitRate ? 0x80 : 0) | (rate & 0x7F)));
    PutU16(block, at, mode.recordingMode);
    at += 2;
    PutU8(block, at++, mode.preRecordingTime);
    PutU8(block, at++, mode.intervalFrameNumber);
    PutU8(block, at++, mode.intervalUnit & 0x03);
    PutU8(block, at++, mode.intervalTime);
    PutU8(block, at++, mode.frameRecordingNumber);
    PutU16(block, at, mode.variableFrameRate);
    at += 2;
    PutU8(block, at++, mode.aeMode);
    PutU8(block, at++,
          static_cast<uint8_t>(((mode.whiteBalanceMode & 0x07) << 5) | (mode.whiteBalancePreset & 0x1F)));
    PutU16(block, at,
           static_cast<uint16_t>((mode.accurateFlag ? 0x8000 : 0) | (mode.colorTemperature & 0x7FFF)));
    at += 2;
    PutU8(block, at++,
          static_cast<uint8_t>((mode.infraredMode ? 0x80 : 0) | (mode.logGamma ? 0x40 : 0) |
                               (mode.gammaSetting & 0x0F)));
}

void PutRelay(std::vector<uint8_t>& block, const CardDescription& card, const ClipDescription& clip) {
    const Uuid medium = clip.relay.mediumId.value_or(card.mediaUuid);
    PutBytes(block, kRelay + 0, medium.data(), medium.size());
    PutBytes(block, kRelay + 16, clip.relay.previous.mediumId.data(), 16);
    PutRelayClipId(block, kRelay + 32, clip.relay.previous.clipId);
    PutBytes(block, kRelay + 40, clip.relay.previous.umid.data(), 32);
    PutBytes(block, kRelay + 72, clip.relay.next.mediumId.data(), 16);
    PutRelayClipId(block, kRelay + 88, clip.relay.next.clipId);
    PutBytes(block, kRelay + 96, clip.relay.next.umid.data(), 32);
}

}  // namespace

std::array<uint8_t, 4> TimecodeBcd(const Timecode& tc) {
    return {Bcd(tc.frames, "timecode frames"), Bcd(tc.seconds, "timecode seconds"),
            Bcd(tc.minutes, "timecode minutes"), Bcd(tc.hours, "timecode hours")};
}

Timecode LastFrameTimecode(const ClipDescription& clip) {
    const FrameRateTraits traits = TraitsOf(clip.frameRate);
    if (!traits.known || traits.recordedBase == 0) return clip.startTimecode;
    const uint32_t picturesPerLabel = traits.roundedBase / traits.recordedBase;  // 2 at 59.94P and 50P
    const uint64_t start = TimecodeToFrameCount(clip.startTimecode, traits.recordedBase, clip.dropFrame);
    const uint64_t last = clip.durationFrames == 0 ? 0 : (clip.durationFrames - 1) / picturesPerLabel;
    return FrameCountToTimecode(start + last, traits.recordedBase, clip.dropFrame);
}

std::vector<uint8_t> BuildClipInformation(const CardDescription& card, size_t clipIndex) {
    const ClipDescription& clip = card.clips.at(clipIndex);
    const ClipInformationCoding& coding = clip.coding;
    const std::vector<MemberFile> members = EffectiveMembers(clip);
    if (members.size() > kClipInformationMaxMembers)
        throw CardWriterError("clip information: more than 99 member files in clip " + ClipIdText(clip.id));

    std::vector<uint8_t> block(kClipInformationSize, 0);
    PutU16(block, kMagic, coding.magic);
    PutU16(block, kVersion, coding.version);

    const uint8_t videoFormat = coding.videoFormat.value_or(static_cast<uint8_t>(clip.pictureSize));
    const uint8_t frameRate = coding.frameRate.value_or(static_cast<uint8_t>(clip.frameRate));
    const uint8_t audioChannel = coding.audioChannel.value_or(clip.audioChannels == 4 ? 2 : 1);
    const uint8_t codingBytes[4] = {
        static_cast<uint8_t>((coding.videoType << 4) | (coding.aspectRatio & 0x0F)),
        static_cast<uint8_t>((videoFormat << 4) | (frameRate & 0x0F)),
        static_cast<uint8_t>((coding.audioType << 4) | (coding.samplingFrequency & 0x0F)),
        static_cast<uint8_t>(audioChannel << 4),
    };
    PutBytes(block, kCoding, codingBytes, sizeof codingBytes);
    PutU32(block, kDuration, coding.duration.value_or(clip.durationFrames));
    PutU32(block, kMemberCount, coding.memberCount.value_or(static_cast<uint32_t>(members.size())));
    for (size_t i = 0; i < members.size(); ++i) {
        PutU8(block, kMembers + 8 * i, members[i].number);
        PutU32(block, kMembers + 8 * i + 4, members[i].frameCount);
    }

    PutU16(block, kMetadataMagic, coding.metadataMagic);
    PutU16(block, kMetadataVersion, coding.metadataVersion);
    PutSpacePadded(block, kManufacturer, clip.device.manufacturer, "device manufacturer");
    PutSpacePadded(block, kModelName, clip.device.modelName, "device model name");
    PutSpacePadded(block, kSerialNumber, clip.device.serialNumber, "device serial number");
    if (clip.device.firmware.size() > kFirmwareWidth)
        throw CardWriterError("clip information: more than 8 firmware version components");
    for (size_t i = 0; i < kFirmwareWidth; ++i)
        PutU8(block, kFirmware + i, i < clip.device.firmware.size() ? clip.device.firmware[i] : 0xFF);
    PutRecordDate(block, clip.recorded);

    const auto start = TimecodeBcd(clip.startTimecode);
    PutBytes(block, kStartTimecode, start.data(), start.size());
    const auto end = TimecodeBcd(coding.endTimecode.value_or(LastFrameTimecode(clip)));
    PutBytes(block, kEndTimecode, end.data(), end.size());
    PutU32(block, kValue976, coding.value976);
    PutRecordingMode(block, clip);

    const ClipAttributes& attributes = clip.attributes;
    const bool metadataFile = attributes.clipMetadataFile.value_or(clip.xml.write);
    const bool dropFrame = attributes.dropFrame.value_or(clip.dropFrame);
    PutU8(block, kAttributes,
          static_cast<uint8_t>(((attributes.okMark & 0x03) << 6) | (attributes.customPresetFile ? 0x10 : 0) |
                               (attributes.thumbnailFile ? 0x08 : 0) | (metadataFile ? 0x04 : 0) |
                               (dropFrame ? 0x02 : 0)));
    PutRelay(block, card, clip);
    PutU8(block, kValue1140, coding.value1140);
    PutU8(block, kValue1141, coding.value1141);
    return block;
}

}  // namespace ComVantoVantoQZ64RADPlug::CardWriter
