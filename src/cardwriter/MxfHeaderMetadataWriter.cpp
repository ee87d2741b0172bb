#include "MxfHeaderMetadataWriter.h"

#include "MxfWriterLabels.h"

namespace ComVantoVantoQZ64RADPlug::CardWriter {

namespace {

// Dynamic local tags the primer assigns to the MPEG descriptor items.
constexpr uint16_t kTagSingleSequence = 0x8001;
constexpr uint16_t kTagConstantBFrames = 0x8002;
constexpr uint16_t kTagCodedContentScanning = 0x8003;
constexpr uint16_t kTagLowDelay = 0x8004;
constexpr uint16_t kTagClosedGop = 0x8005;
constexpr uint16_t kTagIdenticalGop = 0x8006;
constexpr uint16_t kTagMaxGop = 0x8007;
constexpr uint16_t kTagBPictureCount = 0x8008;
constexpr uint16_t kTagProfileAndLevel = 0x8009;
constexpr uint16_t kTagBitRate = 0x800A;

// A static local tag and its metadata dictionary label
// 06.0E.2B.34.01.01.01.<version>.<suffix...>.
struct StaticTag {
    uint16_t tag;
    uint8_t version;
    uint8_t suffix[8];
};

constexpr StaticTag kStaticTags[] = {
    {0x3C0A, 0x01, {0x01, 0x01, 0x15, 0x02, 0x00, 0x00, 0x00, 0x00}},  // instance UID
    {0x3B02, 0x02, {0x07, 0x02, 0x01, 0x10, 0x02, 0x04, 0x00, 0x00}},  // last modified date
    {0x3B05, 0x02, {0x03, 0x01, 0x02, 0x01, 0x05, 0x00, 0x00, 0x00}},  // version
    {0x3B06, 0x02, {0x06, 0x01, 0x01, 0x04, 0x06, 0x04, 0x00, 0x00}},  // identifications
    {0x3B03, 0x02, {0x06, 0x01, 0x01, 0x04, 0x02, 0x01, 0x00, 0x00}},  // content storage
    {0x3B09, 0x05, {0x01, 0x02, 0x02, 0x03, 0x00, 0x00, 0x00, 0x00}},  // operational pattern
    {0x3B0A, 0x05, {0x01, 0x02, 0x02, 0x10, 0x02, 0x01, 0x00, 0x00}},  // essence containers
    {0x3B0B, 0x05, {0x01, 0x02, 0x02, 0x10, 0x02, 0x02, 0x00, 0x00}},  // DM schemes
    {0x3C09, 0x02, {0x05, 0x20, 0x07, 0x01, 0x01, 0x00, 0x00, 0x00}},  // this generation UID
    {0x3C01, 0x02, {0x05, 0x20, 0x07, 0x01, 0x02, 0x01, 0x00, 0x00}},  // company name
    {0x3C02, 0x02, {0x05, 0x20, 0x07, 0x01, 0x03, 0x01, 0x00, 0x00}},  // product name
    {0x3C03, 0x02, {0x05, 0x20, 0x07, 0x01, 0x04, 0x00, 0x00, 0x00}},  // product version
    {0x3C04, 0x02, {0x05, 0x20, 0x07, 0x01, 0x05, 0x01, 0x00, 0x00}},  // version string
    {0x3C05, 0x02, {0x05, 0x20, 0x07, 0x01, 0x07, 0x00, 0x00, 0x00}},  // product UID
    {0x3C06, 0x02, {0x07, 0x02, 0x01, 0x10, 0x02, 0x03, 0x00, 0x00}},  // modification date
    {0x1901, 0x02, {0x06, 0x01, 0x01, 0x04, 0x05, 0x01, 0x00, 0x00}},  // packages
    {0x1902, 0x02, {0x06, 0x01, 0x01, 0x04, 0x05, 0x02, 0x00, 0x00}},  // essence container data
    {0x2701, 0x02, {0x06, 0x01, 0x01, 0x06, 0x01, 0x00, 0x00, 0x00}},  // linked package UID
    {0x3F06, 0x04, {0x01, 0x03, 0x04, 0x05, 0x00, 0x00, 0x00, 0x00}},  // index SID
    {0x3F07, 0x04, {0x01, 0x03, 0x04, 0x04, 0x00, 0x00, 0x00, 0x00}},  // body SID
    {0x4401, 0x01, {0x01, 0x01, 0x15, 0x10, 0x00, 0x00, 0x00, 0x00}},  // package UID
    {0x4405, 0x02, {0x07, 0x02, 0x01, 0x10, 0x01, 0x03, 0x00, 0x00}},  // package creation date
    {0x4404, 0x02, {0x07, 0x02, 0x01, 0x10, 0x02, 0x05, 0x00, 0x00}},  // package modified date
    {0x4403, 0x02, {0x06, 0x01, 0x01, 0x04, 0x06, 0x05, 0x00, 0x00}},  // tracks
    {0x4701, 0x02, {0x06, 0x01, 0x01, 0x04, 0x02, 0x03, 0x00, 0x00}},  // descriptor
    {0x4801, 0x02, {0x01, 0x07, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00}},  // track ID
    {0x4804, 0x02, {0x01, 0x04, 0x01, 0x03, 0x00, 0x00, 0x00, 0x00}},  // track number
    {0x4B01, 0x02, {0x05, 0x30, 0x04, 0x05, 0x00, 0x00, 0x00, 0x00}},  // edit rate
    {0x4B02, 0x02, {0x07, 0x02, 0x01, 0x03, 0x01, 0x03, 0x00, 0x00}},  // origin
    {0x4803, 0x02, {0x06, 0x01, 0x01, 0x04, 0x02, 0x04, 0x00, 0x00}},  // sequence
    {0x0201, 0x02, {0x04, 0x07, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00}},  // data definition
    {0x0202, 0x02, {0x07, 0x02, 0x02, 0x01, 0x01, 0x03, 0x00, 0x00}},  // duration
    {0x1001, 0x02, {0x06, 0x01, 0x01, 0x04, 0x06, 0x09, 0x00, 0x00}},  // structural components
    {0x1201, 0x02, {0x07, 0x02, 0x01, 0x03, 0x01, 0x04, 0x00, 0x00}},  // start position
    {0x1101, 0x02, {0x06, 0x01, 0x01, 0x03, 0x01, 0x00, 0x00, 0x00}},  // source package ID
    {0x1102, 0x02, {0x06, 0x01, 0x01, 0x03, 0x02, 0x00, 0x00, 0x00}},  // source track ID
    {0x1501, 0x02, {0x07, 0x02, 0x01, 0x03, 0x01, 0x05, 0x00, 0x00}},  // start timecode
    {0x1502, 0x02, {0x04, 0x04, 0x01, 0x01, 0x02, 0x06, 0x00, 0x00}},  // rounded timecode base
    {0x1503, 0x01, {0x04, 0x04, 0x01, 0x01, 0x05, 0x00, 0x00, 0x00}},  // drop frame
    {0x3F01, 0x04, {0x06, 0x01, 0x01, 0x04, 0x06, 0x0B, 0x00, 0x00}},  // sub-descriptors
    {0x3006, 0x05, {0x06, 0x01, 0x01, 0x03, 0x05, 0x00, 0x00, 0x00}},  // linked track ID
    {0x3001, 0x01, {0x04, 0x06, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00}},  // sample rate
    {0x3002, 0x01, {0x04, 0x06, 0x01, 0x02, 0x00, 0x00, 0x00, 0x00}},  // container duration
    {0x3004, 0x02, {0x06, 0x01, 0x01, 0x04, 0x01, 0x02, 0x00, 0x00}},  // essence container
    {0x320C, 0x01, {0x04, 0x01, 0x03, 0x01, 0x04, 0x00, 0x00, 0x00}},  // frame layout
    {0x320D, 0x02, {0x04, 0x01, 0x03, 0x02, 0x05, 0x00, 0x00, 0x00}},  // video line map
    {0x3203, 0x01, {0x04, 0x01, 0x05, 0x02, 0x02, 0x00, 0x00, 0x00}},  // stored width
    {0x3202, 0x01, {0x04, 0x01, 0x05, 0x02, 0x01, 0x00, 0x00, 0x00}},  // stored height
    {0x3205, 0x01, {0x04, 0x01, 0x05, 0x01, 0x08, 0x00, 0x00, 0x00}},  // sampled width
    {0x3204, 0x01, {0x04, 0x01, 0x05, 0x01, 0x07, 0x00, 0x00, 0x00}},  // sampled height
    {0x3209, 0x01, {0x04, 0x01, 0x05, 0x01, 0x0C, 0x00, 0x00, 0x00}},  // display width
    {0x3208, 0x01, {0x04, 0x01, 0x05, 0x01, 0x0B, 0x00, 0x00, 0x00}},  // display height
    {0x320E, 0x01, {0x04, 0x01, 0x01, 0x01, 0x01, 0x00, 0x00, 0x00}},  // aspect ratio
    {0x3201, 0x02, {0x04, 0x01, 0x06, 0x01, 0x00, 0x00, 0x00, 0x00}},  // picture essence coding
    {0x3212, 0x02, {0x04, 0x01, 0x03, 0x01, 0x06, 0x00, 0x00, 0x00}},  // field dominance
    {0x3301, 0x02, {0x04, 0x01, 0x05, 0x03, 0x0A, 0x00, 0x00, 0x00}},  // component depth
    {0x3302, 0x01, {0x04, 0x01, 0x05, 0x01, 0x05, 0x00, 0x00, 0x00}},  // horizontal subsampling
    {0x3308, 0x02, {0x04, 0x01, 0x05, 0x01, 0x10, 0x00, 0x00, 0x00}},  // vertical subsampling
    {0x3303, 0x01, {0x04, 0x01, 0x05, 0x01, 0x06, 0x00, 0x00, 0x00}},  // color siting
    {0x3304, 0x01, {0x04, 0x01, 0x05, 0x03, 0x03, 0x00, 0x00, 0x00}},  // black reference level
    {0x3305, 0x01, {0x04, 0x01, 0x05, 0x03, 0x04, 0x00, 0x00, 0x00}},  // white reference level
    {0x3306, 0x02, {0x04, 0x01, 0x05, 0x03, 0x05, 0x00, 0x00, 0x00}},  // color range
    {0x3D02, 0x04, {0x04, 0x02, 0x03, 0x01, 0x04, 0x00, 0x00, 0x00}},  // locked
    {0x3D03, 0x05, {0x04, 0x02, 0x03, 0x01, 0x01, 0x01, 0x00, 0x00}},  // audio sampling rate
    {0x3D07, 0x05, {0x04, 0x02, 0x01, 0x01, 0x04, 0x00, 0x00, 0x00}},  // channel count
    {0x3D01, 0x04, {0x04, 0x02, 0x03, 0x03, 0x04, 0x00, 0x00, 0x00}},  // quantization bits
    {0x3D06, 0x02, {0x04, 0x02, 0x04, 0x02, 0x00, 0x00, 0x00, 0x00}},  // sound essence compression
    {0x3D09, 0x05, {0x04, 0x02, 0x03, 0x03, 0x05, 0x00, 0x00, 0x00}},  // average bytes per second
    {0x3D0A, 0x05, {0x04, 0x02, 0x03, 0x02, 0x01, 0x00, 0x00, 0x00}},  // block align
    {0x3F0B, 0x05, {0x05, 0x30, 0x04, 0x06, 0x00, 0x00, 0x00, 0x00}},  // index edit rate
    {0x3F0C, 0x05, {0x07, 0x02, 0x01, 0x03, 0x01, 0x0A, 0x00, 0x00}},  // index start position
    {0x3F0D, 0x05, {0x07, 0x02, 0x02, 0x01, 0x01, 0x02, 0x00, 0x00}},  // index duration
    {0x3F05, 0x04, {0x04, 0x06, 0x02, 0x01, 0x00, 0x00, 0x00, 0x00}},  // edit unit byte count
    {0x3F08, 0x04, {0x04, 0x04, 0x04, 0x01, 0x01, 0x00, 0x00, 0x00}},  // slice count
    {0x3F0E, 0x05, {0x04, 0x04, 0x04, 0x01, 0x07, 0x00, 0x00, 0x00}},  // position table count
    {0x3F09, 0x05, {0x04, 0x04, 0x04, 0x01, 0x06, 0x00, 0x00, 0x00}},  // delta entry array
    {0x3F0A, 0x05, {0x04, 0x04, 0x04, 0x02, 0x05, 0x00, 0x00, 0x00}},  // index entry array
};

struct DynamicTag {
    uint16_t tag;
    uint8_t item;
};
constexpr DynamicTag kMpegTags[] = {
    {kTagSingleSequence, MxfLabels::kSingleSequence},
    {kTagConstantBFrames, MxfLabels::kConstantBFrames},
    {kTagCodedContentScanning, MxfLabels::kCodedContentScanning},
    {kTagLowDelay, MxfLabels::kLowDelay},
    {kTagClosedGop, MxfLabels::kClosedGop},
    {kTagIdenticalGop, MxfLabels::kIdenticalGop},
    {kTagMaxGop, MxfLabels::kMaxGop},
    {kTagBPictureCount, MxfLabels::kBPictureCount},
    {kTagProfileAndLevel, MxfLabels::kProfileAndLevel},
    {kTagBitRate, MxfLabels::kBitRate},
};

// Set kinds of the instance UIDs that are not sets of their own kind key.
constexpr uint8_t kUidTrack = 0xA0;  // + 0 material, + 1 file package
constexpr uint8_t kUidSequence = 0xA2;
constexpr uint8_t kUidComponent = 0xA4;
constexpr uint8_t kUidSoundDescriptor = 0xA6;

constexpr MxfUmid kZeroUmid{};

int CodedHeight(int height) {
    return (height + 15) / 16 * 16;
}

// First active line of each field (or of the frame) in the SMPTE 274M/296M raster.
std::vector<int32_t> VideoLineMap(int height, bool interlaced) {
    if (height == 720) return {26, 0};
    if (interlaced) return {21, 584};
    return {42, 0};
}

}  // namespace

MxfHeaderMetadataWriter::MxfHeaderMetadataWriter(const MxfFileDescription& description,
                                                 const MxfResolvedValues& values)
    : mDescription(description), mValues(values) {}

std::vector<MxfKey> MxfHeaderMetadataWriter::EssenceContainers() const {
    std::vector<MxfKey> labels{MxfLabels::kMpeg2FrameWrapped};
    if (mDescription.audioChannels > 0)
        labels.push_back(mDescription.soundWrapping == MxfSoundWrapping::kAes3 ? MxfLabels::kAes3FrameWrapped
                                                                               : MxfLabels::kBwfFrameWrapped);
    return labels;
}

MxfKey MxfHeaderMetadataWriter::InstanceUid(uint8_t kind, uint16_t index) const {
    // The file package's material number makes the UIDs of different files
    // differ; kind and index make them unique inside the file.
    MxfKey uid{};
    for (int i = 0; i < 16; ++i) uid[i] = mValues.fileUmid[16 + i];
    uid[6] = static_cast<uint8_t>((uid[6] & 0x0F) | 0x40);  // version 4 layout, so it reads as a UUID
    uid[8] = static_cast<uint8_t>((uid[8] & 0x3F) | 0x80);
    uid[12] ^= kind;
    uid[13] ^= 0x5A;
    uid[14] ^= static_cast<uint8_t>(index >> 8);
    uid[15] ^= static_cast<uint8_t>(index);
    return uid;
}

uint32_t MxfHeaderMetadataWriter::PictureTrackNumber() {
    return (uint32_t{MxfLabels::kPictureItem} << 24) | (1u << 16) |
           (uint32_t{MxfLabels::kMpegFrameWrappedElement} << 8) | 1u;
}

uint32_t MxfHeaderMetadataWriter::SoundTrackNumber(uint32_t channel) const {
    const uint8_t type = mDescription.soundWrapping == MxfSoundWrapping::kAes3
                             ? MxfLabels::kAes3FrameWrappedElement
                             : MxfLabels::kBwfFrameWrappedElement;
    return (uint32_t{MxfLabels::kSoundItem} << 24) | ((mDescription.audioChannels & 0xFF) << 16) |
           (uint32_t{type} << 8) | ((channel + 1) & 0xFF);
}

std::vector<MxfHeaderMetadataWriter::TrackPlan> MxfHeaderMetadataWriter::Tracks() const {
    std::vector<TrackPlan> tracks;
    if (!mDescription.faults.omitTimecodeTrack)
        tracks.push_back({TimecodeTrackId(), 0, &MxfLabels::kTimecodeTrack, true, 0});
    tracks.push_back({PictureTrackId(), PictureTrackNumber(), &MxfLabels::kPictureTrack, false, 1});
    for (uint32_t c = 0; c < mDescription.audioChannels; ++c)
        tracks.push_back({SoundTrackId(c), SoundTrackNumber(c), &MxfLabels::kSoundTrack, false,
                          static_cast<uint16_t>(2 + c)});
    return tracks;
}

void MxfHeaderMetadataWriter::WritePrimer(MxfKlvWriter& out) const {
    const bool mpegItems = !mDescription.faults.omitPrimerMpegItems;
    const size_t count = std::size(kStaticTags) + (mpegItems ? std::size(kMpegTags) : 0);
    const size_t start = out.BeginKlv(MxfLabels::kPrimerPack);
    out.U32(static_cast<uint32_t>(count));
    out.U32(18);
    for (const StaticTag& t : kStaticTags) {
        out.U16(t.tag);
        const uint8_t prefix[8] = {0x06, 0x0E, 0x2B, 0x34, 0x01, 0x01, 0x01, t.version};
        out.Raw(prefix, 8);
        out.Raw(t.suffix, 8);
    }
    if (mpegItems) {
        for (const DynamicTag& t : kMpegTags) {
            out.U16(t.tag);
            out.Raw(MxfLabels::MpegItem(t.item));
        }
    }
    out.EndKlv(start);
}

void MxfHeaderMetadataWriter::WriteTimestamp(MxfKlvWriter& out, uint16_t tag) const {
    const MxfTimestamp& t = mDescription.creationDate;
    out.ItemTimestamp(tag, t.year, t.month, t.day, t.hour, t.minute, t.second, t.quarterMilliseconds);
}

void MxfHeaderMetadataWriter::WriteSets(MxfKlvWriter& out) const {
    using namespace MxfLabels;
    const MxfFileDescription& d = mDescription;

    // Preface.
    size_t set = out.BeginKlv(SetKey(kPreface));
    out.ItemBytes(0x3C0A, InstanceUid(kPreface, 0));
    WriteTimestamp(out, 0x3B02);
    out.ItemU16(0x3B05, 0x0102);
    out.ItemBatch(0x3B06, {InstanceUid(kIdentification, 0)});
    out.ItemBytes(0x3B03, InstanceUid(kContentStorage, 0));
    out.ItemBytes(0x3B09, kOp1a);
    out.ItemBatch(0x3B0A, EssenceContainers());
    out.ItemBatch(0x3B0B, {});
    out.EndKlv(set);

    // Identification of the recording device.
    set = out.BeginKlv(SetKey(kIdentification));
    out.ItemBytes(0x3C0A, InstanceUid(kIdentification, 0));
    out.ItemBytes(0x3C09, InstanceUid(kIdentification, 1));
    out.ItemUtf16(0x3C01, d.companyName);
    out.ItemUtf16(0x3C02, d.productName);
    {
        uint8_t version[10];
        for (int i = 0; i < 5; ++i) {
            version[2 * i] = static_cast<uint8_t>(d.productVersion[i] >> 8);
            version[2 * i + 1] = static_cast<uint8_t>(d.productVersion[i]);
        }
        out.ItemBytes(0x3C03, version, sizeof version);
    }
    out.ItemUtf16(0x3C04, d.versionString);
    out.ItemBytes(0x3C05, d.productUid);
    WriteTimestamp(out, 0x3C06);
    out.EndKlv(set);

    // Content storage.
    set = out.BeginKlv(SetKey(kContentStorage));
    out.ItemBytes(0x3C0A, InstanceUid(kContentStorage, 0));
    out.ItemBatch(0x1901, {InstanceUid(kMaterialPackage, 0), InstanceUid(kSourcePackage, 0)});
    out.ItemBatch(0x1902, {InstanceUid(kEssenceContainerData, 0)});
    out.EndKlv(set);

    WritePackage(out, true);
    WritePackage(out, false);

    // Descriptors of the file package.
    set = out.BeginKlv(SetKey(kMultipleDescriptor));
    out.ItemBytes(0x3C0A, InstanceUid(kMultipleDescriptor, 0));
    out.ItemRational(0x3001, d.video.rateNumerator, d.video.rateDenominator);
    out.ItemU64(0x3002, d.frameCount);
    out.ItemBytes(0x3004, kMultipleWrappings);
    {
        std::vector<MxfKey> subDescriptors{InstanceUid(kMpegVideoDescriptor, 0)};
        for (uint32_t c = 0; c < d.audioChannels; ++c)
            subDescriptors.push_back(InstanceUid(kUidSoundDescriptor, static_cast<uint16_t>(c)));
        out.ItemBatch(0x3F01, subDescriptors);
    }
    out.EndKlv(set);
    WritePictureDescriptor(out);
    for (uint32_t c = 0; c < d.audioChannels; ++c) WriteSoundDescriptor(out, c);

    // Essence container data: the file package's essence is body SID 2, index SID 1.
    set = out.BeginKlv(SetKey(kEssenceContainerData));
    out.ItemBytes(0x3C0A, InstanceUid(kEssenceContainerData, 0));
    out.ItemBytes(0x2701, mValues.fileUmid);
    out.ItemU32(0x3F06, 1);
    out.ItemU32(0x3F07, d.faults.bodySid);
    out.EndKlv(set);
}

void MxfHeaderMetadataWriter::WritePackage(MxfKlvWriter& out, bool material) const {
    using namespace MxfLabels;
    const MxfFileDescription& d = mDescription;
    const uint8_t packageKind = material ? kMaterialPackage : kSourcePackage;
    const uint8_t side = material ? 0 : 1;
    const std::vector<TrackPlan> tracks = Tracks();

    size_t set = out.BeginKlv(SetKey(packageKind));
    out.ItemBytes(0x3C0A, InstanceUid(packageKind, 0));
    out.ItemBytes(0x4401, material ? mValues.materialUmid : mValues.fileUmid);
    WriteTimestamp(out, 0x4405);
    WriteTimestamp(out, 0x4404);
    {
        std::vector<MxfKey> trackUids;
        for (const TrackPlan& t : tracks) trackUids.push_back(InstanceUid(kUidTrack + side, t.index));
        out.ItemBatch(0x4403, trackUids);
    }
    if (!material) out.ItemBytes(0x4701, InstanceUid(kMultipleDescriptor, 0));
    out.EndKlv(set);

    for (const TrackPlan& t : tracks) {
        set = out.BeginKlv(SetKey(kTrack));
        out.ItemBytes(0x3C0A, InstanceUid(kUidTrack + side, t.index));
        out.ItemU32(0x4801, t.trackId);
        out.ItemU32(0x4804, material ? 0 : t.fileTrackNumber);
        out.ItemRational(0x4B01, d.video.rateNumerator, d.video.rateDenominator);
        out.ItemU64(0x4B02, 0);
        out.ItemBytes(0x4803, InstanceUid(kUidSequence + side, t.index));
        out.EndKlv(set);

        set = out.BeginKlv(SetKey(kSequence));
        out.ItemBytes(0x3C0A, InstanceUid(kUidSequence + side, t.index));
        out.ItemBytes(0x0201, *t.dataDefinition);
        out.ItemU64(0x0202, d.frameCount);
        out.ItemBatch(0x1001, {InstanceUid(kUidComponent + side, t.index)});
        out.EndKlv(set);

        if (t.timecode) {
            set = out.BeginKlv(SetKey(kTimecodeComponent));
            out.ItemBytes(0x3C0A, InstanceUid(kUidComponent + side, t.index));
            out.ItemBytes(0x0201, kTimecodeTrack);
            out.ItemU64(0x0202, d.frameCount);
            out.ItemU16(0x1502, mValues.timecodeBase);
            out.ItemU64(0x1501, static_cast<uint64_t>(d.startTimecode));
            out.ItemU8(0x1503, d.dropFrame ? 1 : 0);
            out.EndKlv(set);
        } else {
            // Material tracks point at the file package track; file package
            // tracks end the chain (zero package ID, track 0).
            set = out.BeginKlv(SetKey(kSourceClip));
            out.ItemBytes(0x3C0A, InstanceUid(kUidComponent + side, t.index));
            out.ItemBytes(0x0201, *t.dataDefinition);
            out.ItemU64(0x0202, d.frameCount);
            out.ItemU64(0x1201, 0);
            out.ItemBytes(0x1101, material ? mValues.fileUmid : kZeroUmid);
            out.ItemU32(0x1102, material ? t.trackId : 0);
            out.EndKlv(set);
        }
    }
}

void MxfHeaderMetadataWriter::WritePictureDescriptor(MxfKlvWriter& out) const {
    using namespace MxfLabels;
    const MxfFileDescription& d = mDescription;
    const Mpeg2Settings& v = d.video;
    const int fieldShift = v.interlaced ? 1 : 0;
    const uint32_t storedHeight = static_cast<uint32_t>(CodedHeight(v.height) >> fieldShift);
    const uint32_t displayHeight = static_cast<uint32_t>(v.height >> fieldShift);

    const size_t set = out.BeginKlv(SetKey(kMpegVideoDescriptor));
    out.ItemBytes(0x3C0A, InstanceUid(kMpegVideoDescriptor, 0));
    out.ItemU32(0x3006, PictureTrackId());
    out.ItemRational(0x3001, v.rateNumerator, v.rateDenominator);
    out.ItemU64(0x3002, d.frameCount);
    out.ItemBytes(0x3004, kMpeg2FrameWrapped);
    out.ItemBytes(0x3201, mValues.profileAndLevel == 0x85 ? kMpeg2_422MainLongGop : kMpeg2_422HighLongGop);
    out.ItemU8(0x320C, v.interlaced ? 1 : 0);  // separate fields / full frame
    out.ItemU32(0x3203, static_cast<uint32_t>(v.width));
    out.ItemU32(0x3202, storedHeight);
    out.ItemU32(0x3205, static_cast<uint32_t>(v.width));
    out.ItemU32(0x3204, storedHeight);
    out.ItemU32(0x3209, static_cast<uint32_t>(v.width));
    out.ItemU32(0x3208, displayHeight);
    out.ItemRational(0x320E, 16, 9);
    out.ItemInt32Batch(0x320D, VideoLineMap(v.height, v.interlaced));
    if (v.interlaced) out.ItemU8(0x3212, v.topFieldFirst ? 1 : 2);
    out.ItemU32(0x3301, 8);
    out.ItemU32(0x3302, 2);
    out.ItemU32(0x3308, 1);
    out.ItemU8(0x3303, 0);
    out.ItemU32(0x3304, 16);
    out.ItemU32(0x3305, 235);
    out.ItemU32(0x3306, 225);
    // MPEG items under the primer's dynamic tags.
    out.ItemU8(kTagSingleSequence, 1);
    out.ItemU8(kTagConstantBFrames, 1);
    out.ItemU8(kTagCodedContentScanning, v.interlaced ? 2 : 1);
    out.ItemU8(kTagLowDelay, 0);
    out.ItemU8(kTagClosedGop, v.closedGop ? 1 : 0);
    out.ItemU8(kTagIdenticalGop, 1);
    out.ItemU16(kTagMaxGop, static_cast<uint16_t>(v.gopLength));
    out.ItemU16(kTagBPictureCount, static_cast<uint16_t>(v.bPictures));
    out.ItemU8(kTagProfileAndLevel, mValues.profileAndLevel);
    out.ItemU32(kTagBitRate, v.bitRate);
    out.EndKlv(set);
}

void MxfHeaderMetadataWriter::WriteSoundDescriptor(MxfKlvWriter& out, uint32_t channel) const {
    using namespace MxfLabels;
    const MxfFileDescription& d = mDescription;
    const bool aes3 = d.soundWrapping == MxfSoundWrapping::kAes3;
    const uint16_t blockAlign = static_cast<uint16_t>((d.audioBitsPerSample + 7) / 8);

    const size_t set = out.BeginKlv(SetKey(aes3 ? kAes3Descriptor : kWaveDescriptor));
    out.ItemBytes(0x3C0A, InstanceUid(kUidSoundDescriptor, static_cast<uint16_t>(channel)));
    out.ItemU32(0x3006, SoundTrackId(channel));
    // The edit rate comes before the audio sampling rate: some readers keep
    // whichever of the two they meet last as the sound's sample rate.
    out.ItemRational(0x3001, d.video.rateNumerator, d.video.rateDenominator);
    out.ItemU64(0x3002, d.frameCount);
    out.ItemBytes(0x3004, aes3 ? kAes3FrameWrapped : kBwfFrameWrapped);
    out.ItemU8(0x3D02, 1);
    out.ItemRational(0x3D03, 48000, 1);
    out.ItemU32(0x3D07, 1);
    out.ItemU32(0x3D01, d.audioBitsPerSample);
    out.ItemBytes(0x3D06, kPcmCoding);
    out.ItemU16(0x3D0A, blockAlign);
    out.ItemU32(0x3D09, 48000u * blockAlign);
    out.EndKlv(set);
}

}  // namespace ComVantoVantoQZ64RADPlug::CardWriter
