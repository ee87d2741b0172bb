// Clip information blocks written by the card writer, read back field by
// field against the description they were written from; broken blocks
// (magic, versions, member counts, short data, non-BCD bytes) read as null
// values instead of failing or crashing.
#include "CIFStream.h"

#include "CUFailure.h"
#include "CUMutableArray.h"
#include "CUVector.h"
#include "ClipAttributes.h"
#include "CodingInfo.h"
#include "MemberStreamInfo.h"
#include "MetaDataManager.h"
#include "RecordTimeandDate.h"
#include "RecordingModeInformation.h"
#include "RelayInformation.h"

#include "CardTestSupport.h"
#include "ConcurrentReads.h"

#include <limits>

using namespace ComVantoVantoQZ64RADPlug;
using namespace card_test;
namespace CW = ComVantoVantoQZ64RADPlug::CardWriter;

namespace {

using Bytes = std::vector<uint8_t>;

CUSharedPtr<CIFStream> Read(const Bytes& bytes, uint64_t offset = 0, uint32_t* result = nullptr) {
    return CifFromBytes(bytes, offset, result);
}

Bytes Block(const CW::ClipDescription& clip) {
    return CW::BuildClipInformation(OneClipCard(clip), 0);
}

template <class T>
CUSharedPtr<T> Value(const CUSharedPtr<CIFStream>& cif, _CIFValueTag tag) {
    return CUDynamicCast<T>(cif->ValueForTag(tag));
}

std::string Padded(const std::string& text) {
    return text + std::string(32 - text.size(), ' ');
}

// The text of the timecode `tag` (h:m:s:f, " DF" when marked drop-frame).
std::string TimecodeText(const CUSharedPtr<CIFStream>& cif, _CIFValueTag tag) {
    return Describe(Value<TimecodeInfo>(cif, tag));
}

CW::Umid SomeUmid(uint8_t seed) {
    CW::Umid umid{};
    for (size_t i = 0; i < umid.size(); ++i) umid[i] = static_cast<uint8_t>(seed + i);
    umid[12] = 0x13;
    return umid;
}

CW::Uuid SomeUuid(uint8_t seed) {
    CW::Uuid id{};
    for (size_t i = 0; i < id.size(); ++i) id[i] = static_cast<uint8_t>(seed * 3 + i);
    return id;
}

// A clip that sets every field of the block to something other than its
// default.
CW::ClipDescription RichClip() {
    CW::ClipDescription clip;
    clip.id = {"AB", 12};
    clip.frameRate = CW::FrameRate::k29_97p;
    clip.pictureSize = CW::PictureSize::k1440x1080;
    clip.bitRate = CW::BitRate::k35Mbps;
    clip.constantBitRate = false;
    clip.durationFrames = 450;
    clip.members = {{100, 1, {}}, {200, 2, {}}, {150, 7, {}}};
    clip.audioChannels = 2;
    clip.startTimecode = {12, 34, 56, 7};
    clip.dropFrame = true;
    clip.device.manufacturer = "Maker";
    clip.device.modelName = "Model 9";
    clip.device.serialNumber = std::string(32, 'S');  // no padding at all
    clip.device.firmware = {2, 5, 13, 1};
    clip.recorded = {1999, 12, 31, 23, 59, 58, true, true, 9, true};
    // In field order; the expected record text below names each one.
    clip.recordingMode = {
        (1 << 10) | (1 << 13) | 1, 3, 4, 2, 5, 6, 0x1234, 0xA5, 5, 0x13, true, 3200, true, true, 0x0B};
    clip.attributes = {2, true, true, false, {}};  // OK mark 2, preset, thumbnail, no XML
    clip.coding.value976 = 0xDEADBEEF;
    clip.coding.value1140 = 0x11;
    clip.coding.value1141 = 0xFE;
    clip.relay.mediumId = SomeUuid(1);
    clip.relay.previous = {SomeUuid(2), "XY0003", SomeUmid(0x40)};
    clip.relay.next = {SomeUuid(3), "XY0005", SomeUmid(0x80)};
    return clip;
}

// A stream that claims a whole block but cannot deliver it: its reads come
// back short, or throw as the stream layer does.
class FailingStream : public CUStream {
public:
    explicit FailingStream(bool throwOnRead) : m_Throw(throwOnRead) {
        m_Length = CIFStream::kBlockSize;
        m_ReadableRange = {0, CIFStream::kBlockSize};
    }
    bool CanRead() const override { return true; }
    uint64_t Read(unsigned char* buffer, uint64_t size, int64_t, CUStream_Seek_Origin) override {
        if (m_Throw) throw CUError(CUFailure(kCUErrPlatform, "read refused"));
        if (size > 0) buffer[0] = 0x43;
        return size > 0 ? 1 : 0;
    }

private:
    bool m_Throw;
};

}  // namespace

TEST(CIFStreamTest, EveryFrameRateDropAndNonDropReadsBack) {
    for (CW::FrameRate rate : CW::kAllFrameRates) {
        const CW::FrameRateTraits traits = CW::TraitsOf(rate);
        for (bool drop : {false, true}) {
            if (drop && !traits.dropFrameAllowed) continue;
            SCOPED_TRACE(CW::FrameRateName(rate) + (drop ? " DF" : " NDF"));
            CW::ClipDescription clip;
            clip.frameRate = rate;
            clip.dropFrame = drop;
            clip.durationFrames = 1801;
            clip.startTimecode = {23, 59, 59, traits.recordedBase - 1};
            // Versions and stored codes of the default block: VersionsAndMagicsDecideTheState
            // and the clip value tests.
            CUSharedPtr<CIFStream> cif = Read(Block(clip));
            ASSERT_TRUE(cif);
            CUSharedPtr<CodingInfo> coding = Value<CodingInfo>(cif, kCIFValueCodingInfo);
            ASSERT_TRUE(coding);
            EXPECT_EQ(static_cast<int>(coding->FrameRate()), static_cast<int>(rate));
            EXPECT_EQ(NumberOf(cif->ValueForTag(kCIFValueDuration)), 1801u);
            EXPECT_EQ(TimecodeText(cif, kCIFValueStartTimecode), TcText(clip.startTimecode, drop));
            EXPECT_EQ(TimecodeText(cif, kCIFValueEndTimecode), TcText(CW::LastFrameTimecode(clip), drop));
            CUSharedPtr<ClipAttributes> attributes = Value<ClipAttributes>(cif, kCIFValueClipAttributes);
            ASSERT_TRUE(attributes);
            EXPECT_EQ(attributes->dropFrameFlag, drop ? kDropFrameFlagOn : kDropFrameFlagOff);
        }
    }
}

// Each record's text names every field, so one comparison per record checks
// all of them against RichClip.
TEST(CIFStreamTest, EveryRecordFieldReadsBack) {
    const CW::ClipDescription clip = RichClip();
    CUSharedPtr<CIFStream> cif = Read(Block(clip));
    ASSERT_TRUE(cif);
    auto text = [&](_CIFValueTag tag) { return Describe(cif->ValueForTag(tag)); };
    // The codes: MPEG-2 4:2:2 long GOP, 1440x1080, 29.97P, linear PCM, 48 kHz, 2 channels.
    EXPECT_EQ(text(kCIFValueCodingInfo),
              "videoType=1 aspectRatio=3 videoFormat=3 frameRate=3 audioType=1 "
              "samplingFrequency=1 audioChannel=1");
    EXPECT_EQ(NumberOf(cif->ValueForTag(kCIFValueMemberStreamCount)), 3u);
    CUSharedPtr<CUArray> members = Value<CUArray>(cif, kCIFValueMemberStreams);
    ASSERT_TRUE(members);
    ASSERT_EQ(members->Count(), 3u);
    std::string memberText;
    for (size_t i = 0; i < members->Count(); ++i)
        memberText += Text(members->ObjectAtIndex(i)->Description()) + " ";
    EXPECT_EQ(memberText, "01:100 02:200 07:150 ");

    // Device texts come back with their padding; the clip values strip it.
    EXPECT_EQ(text(kCIFValueDeviceManufacturer), Padded("Maker"));
    EXPECT_EQ(text(kCIFValueDeviceModelName), Padded("Model 9"));
    EXPECT_EQ(text(kCIFValueDeviceSerialNumber), std::string(32, 'S'));
    EXPECT_EQ(text(kCIFValueDeviceFirmVersion), "2.05.13.01");

    // The text carries the zone only when there is one, from its offset.
    EXPECT_EQ(text(kCIFValueRecordTimeAndDate), "1999-12-31 23:59:58 -09:30 DST");

    EXPECT_EQ(TimecodeText(cif, kCIFValueStartTimecode), TcText(clip.startTimecode, true));
    EXPECT_EQ(NumberOf(cif->ValueForTag(kCIFValue976)), 0xDEADBEEFu);

    CUSharedPtr<RecordingModeInformation> mode =
        Value<RecordingModeInformation>(cif, kCIFValueRecordingModeInfo);
    ASSERT_TRUE(mode);
    EXPECT_TRUE(mode->IsDoubleRecord());
    EXPECT_TRUE(mode->IsVariableFrameRateRecord());
    // VBR at 35 Mbps, recording mode bits 10, 13 and 0, intervals in minutes.
    EXPECT_EQ(text(kCIFValueRecordingModeInfo),
              "cbrFlag=0 recordingRate=2 recordingMode=9217 preRecTime=3 intervalFrameNum=4 intervalUnit=2 "
              "intervalTime=5 frameRecNum=6 variableFrameRate=4660 aeMode=165 wbMode=5 wbPreset=19 "
              "accurateFlag=1 colorTemperature=3200 irMode=1 logGammaFlag=1 gammaSetting=11");
    EXPECT_EQ(text(kCIFValueClipAttributes),
              "okMark=2 customPresetFile=1 thumbnailFile=1 clipMetadataFile=0 dropFrame=1 backup=0");

    // SomeUuid(1), (2), (3) and SomeUmid(0x40), (0x80).
    EXPECT_EQ(
        text(kCIFValueRelayInformation),
        "medium=03040506-0708-090A-0B0C-0D0E0F101112 previous=(06070809-0A0B-0C0D-0E0F-101112131415 XY0003 "
        "40.41.42.43.44.45.46.47.48.49.4A.4B.13.4D.4E.4F.50.51.52.53.54.55.56.57.58.59.5A.5B.5C.5D.5E.5F) "
        "next=(090A0B0C-0D0E-0F10-1112-131415161718 XY0005 "
        "80.81.82.83.84.85.86.87.88.89.8A.8B.13.8D.8E.8F.90.91.92.93.94.95.96.97.98.99.9A.9B.9C.9D.9E.9F)");
    EXPECT_EQ(Value<RelayInformation>(cif, kCIFValueRelayInformation)->RelayRecordType(),
              kRelayRecordTypeMiddle);

    EXPECT_EQ(Value<CUNumber>(cif, kCIFValue1140)->UInt8Value(), 0x11);
    EXPECT_EQ(Value<CUNumber>(cif, kCIFValue1141)->UInt8Value(), 0xFE);
    // The writer leaves the mark tables empty.
    EXPECT_EQ(Value<CUArray>(cif, kCIFValueShotMarks)->Count(), 0u);
    EXPECT_EQ(Value<CUArray>(cif, kCIFValueEventMarks)->Count(), 0u);
}

TEST(CIFStreamTest, RelayPlacesAndAbsentLinks) {
    struct Case {
        bool previous, next;
        _RelayRecordType type;
    } cases[] = {{false, false, kRelayRecordTypeSingle},
                 {false, true, kRelayRecordTypeFirst},
                 {true, true, kRelayRecordTypeMiddle},
                 {true, false, kRelayRecordTypeLast}};
    for (const Case& c : cases) {
        CW::ClipDescription clip;
        if (c.previous) clip.relay.previous = {{}, "", SomeUmid(1)};  // UMID only
        if (c.next) clip.relay.next = {{}, "QZ0002", {}};             // clip ID only
        CUSharedPtr<RelayInformation> relay =
            Value<RelayInformation>(Read(Block(clip)), kCIFValueRelayInformation);
        ASSERT_TRUE(relay);
        EXPECT_EQ(relay->RelayRecordType(), c.type);
        EXPECT_FALSE(relay->previousMediumID);
        EXPECT_FALSE(relay->previousClipID);
        EXPECT_EQ(static_cast<bool>(relay->previousUMID), c.previous);
        EXPECT_FALSE(relay->nextUMID);
        EXPECT_EQ(static_cast<bool>(relay->nextClipID), c.next);
        EXPECT_TRUE(IsUUID(relay->mediumID, CW::CardDescription().mediaUuid));
    }
}

TEST(CIFStreamTest, InfraredModeOnlyAboveMetadataVersion0100) {
    CW::ClipDescription clip;
    clip.recordingMode.infraredMode = true;
    for (uint16_t version : {0x0100, 0x0101, 0x01FF}) {
        clip.coding.metadataVersion = version;
        CUSharedPtr<RecordingModeInformation> mode =
            Value<RecordingModeInformation>(Read(Block(clip)), kCIFValueRecordingModeInfo);
        ASSERT_TRUE(mode);
        EXPECT_EQ(mode->irMode, version > 0x0100 ? 1 : -1) << std::hex << version;
    }
}

TEST(CIFStreamTest, VersionsAndMagicsDecideTheState) {
    struct Case {
        uint16_t magic, version, metadataMagic, metadataVersion;
        uint16_t cifVersion, mdVersion;
        uint32_t state;
        bool codingTags, metadataTags;
    } cases[] = {
        {0x4349, 0x0100, 0x434D, 0x0100, 0x0100, 0x0100, 0, true, true},
        {0x4349, 0x01FF, 0x434D, 0x01FF, 0x01FF, 0x01FF, 0, true, true},
        {0x4348, 0x0100, 0x434D, 0x0101, 0, 0x0101, 2, false, true},       // wrong magic
        {0x4349, 0x0200, 0x434D, 0x0101, 0x0200, 0x0101, 2, false, true},  // major 2
        {0x4349, 0x0000, 0x434D, 0x0101, 0x0000, 0x0101, 2, false, true},  // major 0
        {0x4349, 0x0100, 0x0000, 0x0101, 0x0100, 0, 2, true, false},       // no clip metadata area
        {0x4349, 0x0100, 0x434D, 0x0201, 0x0100, 0x0201, 2, true, false},
        {0x0000, 0x0100, 0x0000, 0x0100, 0, 0, 2, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.magic << " " << c.version << " " << c.metadataMagic
                                        << " " << c.metadataVersion);
        CW::ClipDescription clip;
        clip.coding.magic = c.magic;
        clip.coding.version = c.version;
        clip.coding.metadataMagic = c.metadataMagic;
        clip.coding.metadataVersion = c.metadataVersion;
        uint32_t result = 1;
        CUSharedPtr<CIFStream> cif = Read(Block(clip), 0, &result);
        ASSERT_TRUE(cif);  // reading succeeds whatever the versions say
        EXPECT_EQ(result, 0u);
        EXPECT_EQ(cif->CIFVersion(), c.cifVersion);
        EXPECT_EQ(cif->MetadataVersion(), c.mdVersion);
        EXPECT_EQ(cif->GatState(), c.state);
        for (uint32_t tag = 0; tag < kCIFValueTagCount; ++tag) {
            const bool expected = tag <= kCIFValueMemberStreams ? c.codingTags : c.metadataTags;
            EXPECT_EQ(static_cast<bool>(cif->ValueForTag(static_cast<_CIFValueTag>(tag))), expected) << tag;
        }
    }
}

TEST(CIFStreamTest, TagsOutsideTheTableAreNull) {
    CUSharedPtr<CIFStream> cif = Read(Block(CW::ClipDescription()));
    ASSERT_TRUE(cif);
    for (uint32_t tag : {19u, 76u, 0x7FFFFFFFu, 0xFFFFFFFFu})
        EXPECT_FALSE(cif->ValueForTag(static_cast<_CIFValueTag>(tag))) << tag;
    // A reader that was never initialised answers nothing.
    CIFStream empty;
    EXPECT_FALSE(empty.ValueForTag(kCIFValueDuration));
    EXPECT_EQ(empty.GatState(), 2u);
    EXPECT_FALSE(empty.Copy());
}

TEST(CIFStreamTest, MemberCountsAreBounded) {
    CW::ClipDescription clip;
    clip.durationFrames = 99;
    clip.members.assign(99, CW::MemberFile{1, 0, {}});
    for (size_t i = 0; i < clip.members.size(); ++i) clip.members[i].number = static_cast<uint8_t>(i + 1);
    Bytes block = Block(clip);
    CUSharedPtr<CUArray> members = Value<CUArray>(Read(block), kCIFValueMemberStreams);
    ASSERT_TRUE(members);
    ASSERT_EQ(members->Count(), 99u);
    EXPECT_EQ(CUDynamicCast<MemberStreamInfo>(members->ObjectAtIndex(98))->streamNumber, 99);

    for (uint32_t count : {100u, 0x80000000u, 0xFFFFFFFFu}) {
        clip.coding.memberCount = count;
        CUSharedPtr<CIFStream> cif = Read(Block(clip));
        ASSERT_TRUE(cif);
        EXPECT_FALSE(cif->ValueForTag(kCIFValueMemberStreams)) << count;
        // The stored count itself is still answered.
        EXPECT_EQ(NumberOf(cif->ValueForTag(kCIFValueMemberStreamCount)), count);
        EXPECT_EQ(cif->GatState(), 0u);
    }

    clip.coding.memberCount = 0;
    CUSharedPtr<CUArray> none = Value<CUArray>(Read(Block(clip)), kCIFValueMemberStreams);
    ASSERT_TRUE(none);
    EXPECT_EQ(none->Count(), 0u);
}

TEST(CIFStreamTest, ShortOrMissingDataIsNotRead) {
    const Bytes block = Block(CW::ClipDescription());
    uint32_t result = 0;
    const std::pair<Bytes, uint64_t> refused[] = {{Bytes(block.begin(), block.end() - 1), 0},
                                                  {Bytes(), 0},
                                                  {block, 1},
                                                  {block, 2561},
                                                  {block, std::numeric_limits<uint64_t>::max()},
                                                  {block, std::numeric_limits<uint64_t>::max() - 2559}};
    for (const auto& [bytes, offset] : refused) {
        result = 0;
        EXPECT_FALSE(Read(bytes, offset, &result)) << bytes.size() << " at " << offset;
        EXPECT_EQ(result, kResultCIFNoStream);
    }
    EXPECT_FALSE(CIFStream::Create(CUSharedPtr<CUStream>(), 0, &result));
    EXPECT_EQ(result, kResultCIFNoStream);

    // Only a whole block is accepted by Init.
    CIFStream cif;
    EXPECT_EQ(cif.Init(Memory(block), _CURange{0, 100}), kResultCIFNoStream);
    EXPECT_EQ(cif.Init(Memory(block), _CURange{0, CIFStream::kBlockSize}), 0u);

    // The last block of a longer stream is read.
    Bytes two = block;
    two.insert(two.end(), block.begin(), block.end());
    EXPECT_TRUE(Read(two, 2560, &result));
    EXPECT_EQ(result, 0u);
}

TEST(CIFStreamTest, ReadsFilesAndRejectsShortOnes) {
    qztest::ScratchFolder scratch("cif");
    const std::filesystem::path folder = scratch.Path();

    const CW::ClipDescription clip = RichClip();
    Bytes block = Block(clip);
    block.resize(4000, 0xEE);  // bytes past the block are ignored
    const std::string good = (folder / "AB0012.CIF").string();
    ASSERT_TRUE(WriteFile(good, block));
    const std::string shortFile = (folder / "SHORT.CIF").string();
    ASSERT_TRUE(WriteFile(shortFile, Bytes(block.begin(), block.begin() + 2559)));

    uint32_t result = 1;
    CUSharedPtr<CIFStream> cif = CIFStream::Create(Str(good), &result);
    ASSERT_TRUE(cif);
    EXPECT_EQ(result, 0u);
    EXPECT_EQ(NumberOf(cif->ValueForTag(kCIFValueDuration)), 450u);

    EXPECT_FALSE(CIFStream::Create(Str(shortFile), &result));
    EXPECT_EQ(result, kResultCIFNoStream);
    EXPECT_FALSE(CIFStream::Create(Str((folder / "MISSING.CIF").string()), &result));
    EXPECT_EQ(result, kResultCIFNoStream);
    EXPECT_FALSE(CIFStream::Create(Str(folder.string()), &result));  // a folder
    EXPECT_FALSE(CIFStream::Create(CUSharedPtr<CUStringMac>(), &result));
    EXPECT_EQ(result, kResultCIFNoStream);

    // The block was copied: the reader keeps answering without its file.
    EXPECT_EQ(NumberOf(cif->ValueForTag(kCIFValueDuration)), 450u);
}

// Bytes of the default block replaced, one change per row, and what their
// field then reads as ("<null>": no value).
TEST(CIFStreamTest, StoredBytesReadAsTheirField) {
    using C = CIFStream;
    const struct Case {
        uint32_t at;
        Bytes stored;
        _CIFValueTag tag;
        const char* text;
    } cases[] = {
        // Timecodes are BCD, frames first, and all nines are read as they are.
        {C::kOffsetStartTimecode, {0x12, 0x34, 0x56, 0x01}, kCIFValueStartTimecode, "1:56:34:12"},
        {C::kOffsetEndTimecode, {0x99, 0x99, 0x99, 0x99}, kCIFValueEndTimecode, "99:99:99:99"},
        // Attribute bits 5 and 0 are not read.
        {C::kOffsetClipAttributes,
         {0xC2},
         kCIFValueClipAttributes,
         "okMark=3 customPresetFile=0 thumbnailFile=0 clipMetadataFile=0 dropFrame=1 backup=0"},
        {C::kOffsetClipAttributes,
         {0x21},
         kCIFValueClipAttributes,
         "okMark=0 customPresetFile=0 thumbnailFile=0 clipMetadataFile=0 dropFrame=0 backup=0"},
        // Firmware components up to the first 255; none when it is the first.
        {C::kOffsetFirmVersion, {1, 2, 3, 255, 7, 7, 7, 7}, kCIFValueDeviceFirmVersion, "1.02.03"},
        {C::kOffsetFirmVersion, Bytes(8, 0), kCIFValueDeviceFirmVersion, "0.00.00.00.00.00.00.00"},
        {C::kOffsetFirmVersion,
         {254, 100, 9, 255, 255, 255, 255, 255},
         kCIFValueDeviceFirmVersion,
         "254.100.09"},
        {C::kOffsetFirmVersion, {7, 255, 1, 1, 1, 1, 1, 1}, kCIFValueDeviceFirmVersion, "7"},
        {C::kOffsetFirmVersion, {255, 1, 2, 3, 4, 5, 6, 7}, kCIFValueDeviceFirmVersion, "<null>"},
        // Device texts end at a NUL and refuse bytes above 0x7F.
        {C::kOffsetManufacturer + 3, {0}, kCIFValueDeviceManufacturer, "Van"},
        {C::kOffsetModelName, {0xC3}, kCIFValueDeviceModelName, "<null>"},
        {C::kOffsetSerialNumber, Bytes(32, 0), kCIFValueDeviceSerialNumber, ""},
    };
    const Bytes block = Block(CW::ClipDescription());
    for (const Case& c : cases) {
        Bytes b = block;
        std::copy(c.stored.begin(), c.stored.end(), b.begin() + c.at);
        EXPECT_EQ(Describe(Read(b)->ValueForTag(c.tag)), c.text) << "at " << c.at;
    }

    // Any nibble above 9, in any of the four bytes, drops that timecode only.
    Bytes timecode = block;
    std::copy(cases[0].stored.begin(), cases[0].stored.end(), timecode.begin() + C::kOffsetStartTimecode);
    for (size_t at = 0; at < 4; ++at) {
        for (uint8_t bad : {0x3A, 0xA0, 0xFF, 0x9A}) {
            Bytes broken = timecode;
            broken[C::kOffsetStartTimecode + at] = bad;
            CUSharedPtr<CIFStream> cif = Read(broken);
            ASSERT_TRUE(cif);
            EXPECT_FALSE(cif->ValueForTag(kCIFValueStartTimecode)) << at << " " << int(bad);
            EXPECT_TRUE(cif->ValueForTag(kCIFValueEndTimecode));
            EXPECT_EQ(cif->GatState(), 0u);
        }
    }
}

// A zone hours of 15 is no time zone; a digit above 9 drops the record.
TEST(CIFStreamTest, RecordDateFlagsAndBadDigits) {
    Bytes block = Block(CW::ClipDescription());
    block[CIFStream::kOffsetRecordTimeandDate] = 0x1E;
    CUSharedPtr<RecordTimeandDate> date = Value<RecordTimeandDate>(Read(block), kCIFValueRecordTimeAndDate);
    ASSERT_TRUE(date);
    EXPECT_EQ(date->timeZoneHours, 15);
    EXPECT_FALSE(date->HasTimeZone());
    EXPECT_EQ(date->TimeZoneOffsetMinutes(), 0);
    EXPECT_EQ(date->daylightSavingTime, 0);
    EXPECT_EQ(date->timeZoneSign, 0);
    EXPECT_EQ(date->timeZoneHalfHour, 0);
    EXPECT_EQ(date->year, 2026);
    EXPECT_EQ(Text(date->Description()), "2026-12-06 09:30:00");

    for (size_t at = 1; at < 8; ++at) {
        Bytes broken = block;
        broken[CIFStream::kOffsetRecordTimeandDate + at] = 0x1F;
        EXPECT_FALSE(Read(broken)->ValueForTag(kCIFValueRecordTimeAndDate)) << at;
    }
}

TEST(CIFStreamTest, MarkTablesAreOpaque) {
    Bytes block = Block(CW::ClipDescription());
    block[CIFStream::kOffsetShotMarks + 399] = 0x42;
    CUSharedPtr<CIFStream> cif = Read(block);
    CUSharedPtr<CUArray> shots = Value<CUArray>(cif, kCIFValueShotMarks);
    ASSERT_TRUE(shots);
    ASSERT_EQ(shots->Count(), 1u);
    CUSharedPtr<CUVector<unsigned char>> table =
        CUDynamicCast<CUVector<unsigned char>>(shots->ObjectAtIndex(0));
    ASSERT_TRUE(table);
    ASSERT_EQ(table->size(), CIFStream::kShotMarksSize);
    EXPECT_EQ((*table)[399], 0x42);
    EXPECT_EQ(Value<CUArray>(cif, kCIFValueEventMarks)->Count(), 0u);
}

TEST(CIFStreamTest, CopiesAndIndexSlotsReadTheSame) {
    CW::CardDescription card;
    card.clips = {RichClip(), CW::ClipDescription(), CW::ClipDescription()};
    card.clips[1].id = {"QZ", 2};
    card.clips[1].durationFrames = 77;
    card.clips[2].id = {"QZ", 3};
    card.clips[2].frameRate = CW::FrameRate::k50p;
    card.clips[2].durationFrames = 900;
    const Bytes index = CW::BuildMediaIndex(card);

    for (size_t i = 0; i < card.clips.size(); ++i) {
        CUSharedPtr<CIFStream> slot = Read(index, 12288 + 2560 * i);
        CUSharedPtr<CIFStream> own = Read(CW::BuildClipInformation(card, i));
        ASSERT_TRUE(slot);
        ASSERT_TRUE(own);
        CUSharedPtr<CIFStream> copy = slot->Copy();
        ASSERT_TRUE(copy);
        EXPECT_NE(copy.get(), slot.get());
        EXPECT_EQ(copy->CIFVersion(), own->CIFVersion());
        EXPECT_EQ(copy->MetadataVersion(), own->MetadataVersion());
        for (uint32_t tag = 0; tag < kCIFValueTagCount; ++tag) {
            const _CIFValueTag t = static_cast<_CIFValueTag>(tag);
            CUSharedPtr<CUObject> a = own->ValueForTag(t);
            CUSharedPtr<CUObject> b = slot->ValueForTag(t);
            CUSharedPtr<CUObject> c = copy->ValueForTag(t);
            ASSERT_TRUE(a && b && c) << tag;
            EXPECT_NE(a.get(), own->ValueForTag(t).get());  // each request builds a new object
            EXPECT_EQ(Text(a->Description()), Text(b->Description())) << tag;
            EXPECT_EQ(Text(a->Description()), Text(c->Description())) << tag;
        }
    }

    // The index's table of blocks through the cursor: exactly 2560 bytes each.
    CUSharedPtr<MetaDataManager> cursor = MetaDataManager::Create(Memory(index));
    ASSERT_TRUE(cursor->SetOffset(12288, kCUStreamSeekBegin));
    CUSharedPtr<CUMutableArray> blocks = cursor->GetCIFStreamArray(3);
    ASSERT_TRUE(blocks);
    ASSERT_EQ(blocks->Count(), 3u);
    EXPECT_EQ(cursor->offset(), 12288u + 3 * 2560);
    CUSharedPtr<CIFStream> third = CUDynamicCast<CIFStream>(blocks->ObjectAtIndex(2));
    ASSERT_TRUE(third);
    EXPECT_EQ(NumberOf(third->ValueForTag(kCIFValueDuration)), 900u);
    // All 999 slots fit; a block that runs past the end does not, and the
    // cursor stays.
    ASSERT_TRUE(cursor->SetOffset(12288, kCUStreamSeekBegin));
    EXPECT_TRUE(cursor->GetCIFStreamArray(999));
    ASSERT_TRUE(cursor->SetOffset(12288, kCUStreamSeekBegin));
    EXPECT_FALSE(cursor->GetCIFStreamArray(1001));
    EXPECT_FALSE(cursor->GetCIFStreamArray(0xFFFFFFFFu));
    EXPECT_EQ(cursor->offset(), 12288u);
}

TEST(CIFStreamTest, ConcurrentRequestsAgree) {
    CUSharedPtr<CIFStream> cif = Read(Block(RichClip()));
    ASSERT_TRUE(cif);
    qztest::ExpectEightThreadsReadAsOne(
        kCIFValueTagCount,
        [&](uint32_t tag) { return Describe(cif->ValueForTag(static_cast<_CIFValueTag>(tag))); }, [] {}, 10);
}

TEST(CIFStreamTest, CursorRecordReadersLeaveTheCursorOnFailure) {
    const Bytes bytes = {0x12, 0x3A, 0x00, 0x00, 0x00, 0x01};
    CUSharedPtr<MetaDataManager> cursor = MetaDataManager::Create(Memory(bytes));
    ASSERT_TRUE(cursor);
    EXPECT_FALSE(MetaDataManager::Create(CUSharedPtr<CUStream>()));
    uint8_t value = 0;
    EXPECT_TRUE(cursor->GetBCD(value));
    EXPECT_EQ(value, 12);
    EXPECT_FALSE(cursor->GetBCD(value));
    EXPECT_EQ(cursor->offset(), 1u);
    ASSERT_TRUE(cursor->SetOffset(0, kCUStreamSeekBegin));
    EXPECT_FALSE(cursor->GetTimecode(false));
    EXPECT_EQ(cursor->offset(), 0u);
    ASSERT_TRUE(cursor->SetOffset(2, kCUStreamSeekBegin));
    // Count 1 but no entry bytes left.
    EXPECT_FALSE(cursor->GetMemberStreamArray());
    EXPECT_EQ(cursor->offset(), 2u);
    EXPECT_FALSE(cursor->GetRecordTimeandDate());
    EXPECT_FALSE(cursor->GetRecordingModeInformation(0x0101));
    EXPECT_FALSE(cursor->GetRelayInformation());
    EXPECT_FALSE(cursor->GetFixedASCIIString(5));
    EXPECT_FALSE(cursor->GetMarkTable(400));
    EXPECT_FALSE(cursor->GetFirmVersion());
    EXPECT_EQ(cursor->offset(), 2u);
    EXPECT_TRUE(cursor->GetFixedASCIIString(4));
}

TEST(CIFStreamTest, StreamFailuresAreReportedNotThrown) {
    for (bool throwOnRead : {false, true}) {
        uint32_t result = 0;
        EXPECT_FALSE(CIFStream::Create(CUSharedPtr<CUStream>(new FailingStream(throwOnRead)), 0, &result));
        EXPECT_EQ(result, kResultCIFCopyFailed) << throwOnRead;
    }
}

// A record time the camera could not have recorded is shown, but marked.
TEST(CIFStreamTest, RecordTimeTextMarksAnImpossibleTime) {
    struct Case {
        uint8_t month, day, hour, minute, second;
        const char* text;
    } const cases[] = {
        {12, 6, 9, 30, 0, "2026-12-06 09:30:00"},
        {12, 6, 23, 59, 59, "2026-12-06 23:59:59"},
        {12, 6, 59, 1, 0, "2026-12-06 59:01:00 (invalid)"},
        {12, 6, 24, 0, 0, "2026-12-06 24:00:00 (invalid)"},
        {12, 6, 9, 60, 0, "2026-12-06 09:60:00 (invalid)"},
        {13, 6, 9, 30, 0, "2026-13-06 09:30:00 (invalid)"},
        {12, 0, 9, 30, 0, "2026-12-00 09:30:00 (invalid)"},
    };
    for (const Case& c : cases) {
        CUSharedPtr<RecordTimeandDate> r = RecordTimeandDate::Create();
        r->year = 2026, r->month = c.month, r->day = c.day, r->hour = c.hour, r->minute = c.minute;
        r->second = c.second, r->timeZoneHours = RecordTimeandDate::kNoTimeZone;
        EXPECT_EQ(r->Description()->Utf8(), c.text);
        EXPECT_EQ(r->IsValidTime(), std::string(c.text).find("invalid") == std::string::npos) << c.text;
    }
}
