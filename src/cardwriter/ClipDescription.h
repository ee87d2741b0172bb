#pragma once
// Description of one clip that the card writer turns into a clip folder
// (clip information file, clip metadata XML, member MXF files) and into the
// clip's entry of the media index. Plain aggregates with defaults that make
// a valid 59.94i HD clip; every stored version, magic and code can be
// overridden so tests can write unsupported or broken clips on purpose.
// No internal state: copy freely, not thread-safe to mutate while in use.
#include "ClipFrameRate.h"
#include "ClipTimecode.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ComVantoVantoQZ64RADPlug::CardWriter {

class Mpeg2EssenceStream;

using Uuid = std::array<uint8_t, 16>;
using Umid = std::array<uint8_t, 32>;  // basic UMID (SMPTE 330M); all zero = absent

// Clip identifier: two user-ID characters and a number; the clip ID text is
// "%s%04d" of both (e.g. "QZ0001"), which names the clip folder and files.
struct ClipId {
    std::string userId = "QZ";  // written as its first two bytes (padded with NUL)
    uint32_t number = 1;        // 1..9999 for a valid clip
};
std::string ClipIdText(const ClipId& id);

// Picture sizes; the values are the stored video format codes.
enum class PictureSize : uint8_t {
    k1920x1080 = 1,
    k1280x720 = 2,
    k1440x1080 = 3,
};
uint32_t PictureWidth(PictureSize size);   // 0 for an unknown code
uint32_t PictureHeight(PictureSize size);  // 0 for an unknown code

// Recording bit rates; the values are the stored recording rate codes.
enum class BitRate : uint8_t {
    k25Mbps = 1,
    k35Mbps = 2,
    k50Mbps = 3,
};
uint64_t BitsPerSecond(BitRate rate);  // 0 for an unknown code

// One member MXF file of a clip (spanned clips have several).
struct MemberFile {
    uint32_t frameCount = 0;
    uint8_t number = 0;      // file number in "%s%02d.MXF"; 0 = its position + 1
    Umid filePackageUmid{};  // all zero = derived from the card, clip and member
};

struct DeviceInfo {
    std::string manufacturer = "Vanto";  // 32 bytes in the block, space padded
    std::string modelName = "QZ64";
    std::string serialNumber = "QZ64-000417";
    std::vector<uint8_t> firmware = {1, 2, 3};  // components; up to 8, 255 ends the list
    std::string lens = "Vanto Zoom 4.3-86mm";   // XML only
};

// Record date and time with its time-zone flags.
struct RecordDateTime {
    uint32_t year = 2026;  // century and year are stored as two BCD bytes
    uint32_t month = 12;
    uint32_t day = 6;
    uint32_t hour = 9;
    uint32_t minute = 30;
    uint32_t second = 0;
    bool daylightSaving = false;
    bool timeZoneNegative = false;
    uint8_t timeZoneHours = 1;  // 0..14; 15 = no time zone
    bool timeZoneHalfHour = false;
    // The writer refuses a date and time that cannot be (hour 24, February
    // 30, ...) unless this is set: reader tests write such blocks on purpose.
    bool writeEvenIfImpossible = false;
};

struct RecordingModeInfo {
    uint16_t recordingMode = 0;  // bit 10 double recording, bit 13 variable frame rate
    uint8_t preRecordingTime = 0;
    uint8_t intervalFrameNumber = 0;
    uint8_t intervalUnit = 0;  // 1 s, 2 min, 3 h (2 bits)
    uint8_t intervalTime = 0;
    uint8_t frameRecordingNumber = 0;
    uint16_t variableFrameRate = 0;
    uint8_t aeMode = 0;
    uint8_t whiteBalanceMode = 0;    // 3 bits
    uint8_t whiteBalancePreset = 0;  // 5 bits
    bool accurateFlag = false;
    uint16_t colorTemperature = 5600;  // 15 bits, kelvin
    bool infraredMode = false;
    bool logGamma = false;
    uint8_t gammaSetting = 0;  // 4 bits
};

struct ClipAttributes {
    uint8_t okMark = 0;  // 2 bits
    bool customPresetFile = false;
    bool thumbnailFile = false;
    std::optional<bool> clipMetadataFile;  // default: whether the clip's XML is written
    std::optional<bool> dropFrame;         // default: the clip's start timecode mode
};

// The link of this clip to the clips before and after it in one recording,
// possibly on another card (its medium identifier differs then).
struct RelayLink {
    Uuid mediumId{};     // all zero = absent
    std::string clipId;  // clip ID text, 6 characters; empty = absent
    Umid umid{};         // the linked clip's relay package UMID; all zero = absent
};
struct RelayInfo {
    std::optional<Uuid> mediumId;  // default: the card's media UUID
    RelayLink previous;
    RelayLink next;
};

// Location of the clip metadata document; absent elements are not written.
struct ClipLocation {
    std::optional<std::string> altitude;   // signed metres with a sign, e.g. "+123"
    std::optional<std::string> longitude;  // "E"/"W" and decimal degrees, e.g. "E139.69170"
    std::optional<std::string> latitude;   // "N"/"S" and decimal degrees
    std::optional<std::string> source;     // "CAPTURED", "CREATED" or "DIVERSED"
    std::optional<std::string> placeName;
};

// The clip metadata XML document. Device texts default to the clip's
// DeviceInfo; set any field to override what the XML says.
struct ClipXmlMetadata {
    bool write = true;
    std::string rootElement = "VideoClip";
    std::string namespaceUri = "urn:vanto:qz:videoclip:1.0";
    std::optional<std::string> title;
    std::optional<std::string> creator;
    std::optional<std::string> description;
    bool writeDevice = true;
    std::optional<std::string> manufacturer;  // default DeviceInfo::manufacturer
    std::optional<std::string> serialNumber;  // default DeviceInfo::serialNumber
    std::optional<std::string> modelName;     // default DeviceInfo::modelName
    std::optional<std::string> firmVersion;   // default DeviceInfo::firmware as text
    std::optional<std::string> lens;          // default DeviceInfo::lens
    std::optional<ClipLocation> location;
    // Written as it stands instead of the document (malformed-file tests).
    std::optional<std::string> rawDocument;
};

// Stored codes, versions and magics of the clip information block. Each
// optional left empty takes the value the clip's other fields imply.
struct ClipInformationCoding {
    uint16_t magic = 0x4349;  // "CI"
    uint16_t version = 0x0100;
    uint16_t metadataMagic = 0x434D;  // "CM"
    uint16_t metadataVersion = 0x0101;
    uint8_t videoType = 1;                 // 4 bits
    uint8_t aspectRatio = 3;               // 4 bits (16:9)
    uint8_t audioType = 1;                 // 4 bits (linear PCM)
    uint8_t samplingFrequency = 1;         // 4 bits (48 kHz)
    std::optional<uint8_t> videoFormat;    // default from PictureSize
    std::optional<uint8_t> frameRate;      // default from FrameRate
    std::optional<uint8_t> audioChannel;   // default 1 for 2 channels, 2 for 4
    std::optional<uint8_t> recordingRate;  // default from BitRate
    std::optional<uint32_t> duration;      // default the clip's duration
    std::optional<uint32_t> memberCount;   // default the number of members
    std::optional<Timecode> endTimecode;   // default the timecode of the last frame
    uint32_t value976 = 0;
    uint8_t value1140 = 0;
    uint8_t value1141 = 0;
    bool write = true;  // false: no .CIF file (the index copy is still written)
};

struct ClipDescription {
    ClipId id;
    FrameRate frameRate = FrameRate::k59_94i;
    PictureSize pictureSize = PictureSize::k1920x1080;
    BitRate bitRate = BitRate::k50Mbps;
    bool constantBitRate = true;
    uint32_t durationFrames = 60;  // pictures (frames, not fields)
    // Member files in recording order; empty = one file holding every frame.
    // Their frame counts must add up to durationFrames.
    std::vector<MemberFile> members;
    uint32_t audioChannels = 4;        // 2 or 4 mono 48 kHz tracks
    uint32_t audioBitsPerSample = 16;  // 24 only for negative tests

    // Start timecode, counted at the recorded base (30 or 25 for 59.94P/50P).
    Timecode startTimecode{1, 0, 0, 0};
    bool dropFrame = false;  // allowed at recorded base 30 only

    uint32_t gopLength = 15;  // pictures per GOP (stored order)
    uint32_t bPictures = 2;   // B pictures between anchors
    bool closedGop = false;
    // Pictures from this MPEG-2 4:2:2 stream (Mpeg2EssenceStream::Load)
    // instead of the built-in encoder; the GOP fields above are then unused.
    // Its frame rate and picture size must be the clip's, and the clip and
    // each member file must end where no B picture is cut off from the
    // picture after which it displays (Mpeg2EssenceStream::IsCleanCut).
    std::shared_ptr<const Mpeg2EssenceStream> essence;

    DeviceInfo device;
    RecordDateTime recorded;
    RecordingModeInfo recordingMode;
    ClipAttributes attributes;
    RelayInfo relay;
    ClipXmlMetadata xml;
    ClipInformationCoding coding;

    Umid materialPackageUmid{};  // all zero = derived from the card and clip
    Umid relayPackageUmid{};     // all zero = derived; carried by each member file
    bool writeMxfFiles = true;   // false: folder without essence (broken-card tests)
};

// The member list WriteCard uses: members as given, or one file of the whole
// duration, each with its number filled in.
std::vector<MemberFile> EffectiveMembers(const ClipDescription& clip);

}  // namespace ComVantoVantoQZ64RADPlug::CardWriter
