// MxfFileWriter: writes one member MXF file of a QZ clip the way the camera
// records it: OP1a, frame-wrapped MPEG-2 4:2:2 long-GOP video, one mono PCM
// track per audio channel, a timecode track, essence in body partitions with
// the index of each body partition in the partition that follows it.
// Reentrant: concurrent calls writing different paths are independent.
#pragma once

#include "Mpeg2Encoder.h"
#include "Mpeg2EssenceStream.h"

#include <array>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace ComVantoVantoQZ64RADPlug::CardWriter {

// Basic UMID (SMPTE 330M, 32 bytes); the same type as the card description's Umid.
using MxfUmid = std::array<uint8_t, 32>;

// Date of the preface, identification and packages (SMPTE 377M timestamp).
struct MxfTimestamp {
    uint16_t year = 2026;
    uint8_t month = 12;
    uint8_t day = 6;
    uint8_t hour = 9;
    uint8_t minute = 30;
    uint8_t second = 0;
    uint8_t quarterMilliseconds = 0;
};

enum class MxfSoundWrapping : uint8_t {
    kAes3,  // AES3 audio descriptor, AES3 frame-wrapped container (the camera's choice)
    kWave,  // wave audio descriptor, BWF frame-wrapped container
};

// Ways to break a file on purpose for negative tests. The defaults write a
// sound file.
struct MxfFaults {
    bool omitRandomIndexPack = false;
    bool omitSequenceInfo = false;
    // Added to the fixed sequence information offset (bytes, may be negative;
    // the element is still written whole inside the header metadata).
    int32_t sequenceInfoOffsetShift = 0;
    bool omitIndexTables = false;      // no index segments anywhere (IndexByteCount 0)
    uint32_t bodySid = 2;              // BodySID of the essence partitions and index segments
    bool omitPrimerMpegItems = false;  // MPEG descriptor items written, their labels missing from the primer
    bool omitTimecodeTrack = false;    // no timecode track in either package
    // Index entry length written one byte too long (the segment stays
    // self-consistent in size, but not with 11 + 4 * slice count).
    bool badIndexEntryLength = false;
    uint64_t truncateToBytes = 0;  // 0 = whole file; else the file is cut to this size
    // Key-frame offsets written instead of the true ones for the first
    // edit units (element k for edit unit k), e.g. to make the file's
    // leading pictures name a key frame before its first edit unit.
    std::vector<int8_t> keyFrameOffsets;
};

struct MxfFileDescription {
    // Picture size, picture rate (frames per second, 30000/1001 for 59.94i),
    // scan, bit rate, CBR/VBR and GOP structure of the essence.
    Mpeg2Settings video;
    uint32_t frameCount = 60;  // edit units (frames) in this file, >= 1

    // Real essence instead of the encoder's pictures: edit unit i carries
    // clip picture firstFrame + i of the (looped) stream, and its index
    // entry the stream's values. The video settings then only describe it.
    std::shared_ptr<const Mpeg2EssenceStream> essence;

    // Clip frame index of this file's first frame (non-zero for the second and
    // later files of a spanned clip). The picture displayed at file display
    // position d draws firstFrame + d; audio sample counts per frame and tone
    // sample indices continue the clip's 48 kHz pattern from this frame.
    int64_t firstFrame = 0;

    uint32_t audioChannels = 4;        // mono tracks, 0..16
    uint32_t audioBitsPerSample = 16;  // 16, or 24 for negative tests
    MxfSoundWrapping soundWrapping = MxfSoundWrapping::kAes3;

    // Timecode component: counts at the picture rate. startTimecode is the
    // frame count of the file's first frame in roundedTimecodeBase (so a
    // 59.94P file counts at 60); 0 for the base means "the picture rate
    // rounded" (24, 25, 30, 50 or 60). Drop frame only at bases 30 and 60.
    // The system item of each frame carries the same timecode as SMPTE 12M
    // (counted at 30/25 with the field flag for 60/50-based files).
    int64_t startTimecode = 0;
    uint16_t roundedTimecodeBase = 0;
    bool dropFrame = false;

    // Package identities; all zero = a deterministic value derived from the
    // description. The relay package UMID is what the sequence information
    // element carries (all zero = the material package UMID).
    MxfUmid materialPackageUmid{};
    MxfUmid filePackageUmid{};
    MxfUmid relayPackageUmid{};

    // Identification set.
    std::string companyName = "Vanto";
    std::string productName = "QZ64";
    std::string versionString = "1.02";
    std::array<uint8_t, 16> productUid = {0x51, 0x5A, 0x36, 0x34, 0x56, 0x41, 0x4E, 0x54,
                                          0x4F, 0x00, 0x40, 0x00, 0x80, 0x00, 0x00, 0x01};
    std::array<uint16_t, 5> productVersion = {1, 2, 0, 0, 1};  // major, minor, patch, build, release
    MxfTimestamp creationDate;

    // Frames per body partition; 0 = four GOPs. The last partition holds the rest.
    uint32_t framesPerBodyPartition = 0;

    MxfFaults faults;
};

// What was written for one edit unit, in stored order.
struct MxfFrameRecord {
    char type = 'I';             // picture type 'I', 'P' or 'B'
    uint8_t flags = 0;           // index entry flags
    int8_t temporalOffset = 0;   // index entry values (CodedPicture)
    int8_t keyFrameOffset = 0;   // as written (after any fault override)
    int8_t displayOffset = 0;    // display index - decode index of this picture
    uint64_t pictureOffset = 0;  // file offset of the picture element's value
    uint64_t pictureSize = 0;    // bytes of the picture element's value
};

// Byte layout of a written file, for tests and diagnostics.
struct MxfFileLayout {
    uint64_t fileSize = 0;
    uint64_t headerPartition = 0;           // always 0
    std::vector<uint64_t> bodyPartitions;   // essence partitions, file order
    std::vector<uint64_t> bodyFirstFrames;  // first edit unit of each body partition
    uint64_t footerPartition = 0;
    uint64_t randomIndexPack = 0;  // 0 when omitted
    uint64_t sequenceInfo = 0;     // offset of the sequence information key; 0 when omitted
    uint64_t headerByteCount = 0;
    std::vector<MxfFrameRecord> frames;  // one per edit unit, stored order
};

// Thrown for a description that cannot be written or a file-system error.
class MxfWriterError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Writes the file at path (replaced if present). Throws MxfWriterError, and
// passes on std::invalid_argument from the picture encoder for settings it
// cannot code.
MxfFileLayout WriteMxfFile(const MxfFileDescription& description, const std::string& path);

// File offset at which the sequence information element starts for a
// picture height: 6719 for 720-line files, 6724 for 1080-line files.
uint64_t MxfSequenceInfoOffset(int pictureHeight);

// The picture rate rounded to an integer (24, 25, 30, 50, 60; 0 when the rate
// is not one of the card's).
uint16_t MxfRoundedTimecodeBase(int rateNumerator, int rateDenominator);

// Element numbers within a content package, as the index delta entries count
// them: 0 the system item, 1 the picture, 2.. the sound elements of channels 1...
inline constexpr int kMxfSystemElement = 0;
inline constexpr int kMxfPictureElement = 1;
inline constexpr int kMxfFirstSoundElement = 2;

}  // namespace ComVantoVantoQZ64RADPlug::CardWriter
