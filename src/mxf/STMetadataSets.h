#pragma once
// A structural metadata set of the header (preface, package, track,
// sequence, component, descriptor, ...) with typed access to its items by
// local tag, or by universal label through the primer for the MPEG video
// descriptor items whose tags are assigned dynamically. Built once at open,
// then read. Single-item getters rely on the caller not sharing the set
// between threads while reading; the array getters take the set's lock.
#include "CUMutableArray.h"
#include "CUSharedPtr.h"
#include "CUVector.h"
#include "LocalSets.h"
#include "MDValue.h"

#include <cstdint>

namespace ComVantoVantoQZ64RADPlug {

class CUStringMac;
class MxfUUID;
class PrimerPack;
class UMID;

// SMPTE 377M local tags.
enum _LocalTag : uint32_t {
    kLocalTag_GenerationUID = 0x0102,
    kLocalTag_DataDefinition = 0x0201,
    kLocalTag_Duration = 0x0202,
    kLocalTag_StructuralComponents = 0x1001,
    kLocalTag_SourcePackageID = 0x1101,
    kLocalTag_SourceTrackID = 0x1102,
    kLocalTag_StartPosition = 0x1201,
    kLocalTag_StartTimecode = 0x1501,
    kLocalTag_RoundedTimecodeBase = 0x1502,
    kLocalTag_DropFrame = 0x1503,
    kLocalTag_Packages = 0x1901,
    kLocalTag_EssenceContainerData = 0x1902,
    kLocalTag_LinkedPackageUID = 0x2701,
    kLocalTag_SampleRate = 0x3001,
    kLocalTag_EssenceContainer = 0x3004,
    kLocalTag_LinkedTrackID = 0x3006,
    kLocalTag_PictureEssenceCoding = 0x3201,
    kLocalTag_StoredHeight = 0x3202,
    kLocalTag_StoredWidth = 0x3203,
    kLocalTag_SampledHeight = 0x3204,
    kLocalTag_SampledWidth = 0x3205,
    kLocalTag_SampledXOffset = 0x3206,
    kLocalTag_SampledYOffset = 0x3207,
    kLocalTag_DisplayHeight = 0x3208,
    kLocalTag_DisplayWidth = 0x3209,
    kLocalTag_DisplayXOffset = 0x320A,
    kLocalTag_DisplayYOffset = 0x320B,
    kLocalTag_FrameLayout = 0x320C,
    kLocalTag_VideoLineMap = 0x320D,
    kLocalTag_AspectRatio = 0x320E,
    kLocalTag_TransferCharacteristic = 0x3210,
    kLocalTag_ImageAlignmentOffset = 0x3211,
    kLocalTag_FieldDominance = 0x3212,
    kLocalTag_ImageStartOffset = 0x3213,
    kLocalTag_ImageEndOffset = 0x3214,
    kLocalTag_SignalStandard = 0x3215,
    kLocalTag_StoredF2Offset = 0x3216,
    kLocalTag_DisplayF2Offset = 0x3217,
    kLocalTag_ComponentDepth = 0x3301,
    kLocalTag_HorizontalSubsampling = 0x3302,
    kLocalTag_ColorSiting = 0x3303,
    kLocalTag_BlackRefLevel = 0x3304,
    kLocalTag_WhiteRefLevel = 0x3305,
    kLocalTag_ColorRange = 0x3306,
    kLocalTag_PaddingBits = 0x3307,
    kLocalTag_VerticalSubsampling = 0x3308,
    kLocalTag_ReversedByteOrder = 0x330B,
    kLocalTag_LastModifiedDate = 0x3B02,
    kLocalTag_ContentStorage = 0x3B03,
    kLocalTag_Version = 0x3B05,
    kLocalTag_Identifications = 0x3B06,
    kLocalTag_OperationalPattern = 0x3B09,
    kLocalTag_EssenceContainers = 0x3B0A,
    kLocalTag_DMSchemes = 0x3B0B,
    kLocalTag_CompanyName = 0x3C01,
    kLocalTag_ProductName = 0x3C02,
    kLocalTag_VersionString = 0x3C04,
    kLocalTag_ProductUID = 0x3C05,
    kLocalTag_ModificationDate = 0x3C06,
    kLocalTag_ThisGenerationUID = 0x3C09,
    kLocalTag_InstanceUID = 0x3C0A,
    kLocalTag_QuantizationBits = 0x3D01,
    kLocalTag_Locked = 0x3D02,
    kLocalTag_AudioSamplingRate = 0x3D03,
    kLocalTag_AudioRefLevel = 0x3D04,
    kLocalTag_ChannelCount = 0x3D07,
    kLocalTag_AvgBps = 0x3D09,
    kLocalTag_BlockAlign = 0x3D0A,
    kLocalTag_ChannelStatusMode = 0x3D10,
    kLocalTag_FixedChannelStatusData = 0x3D11,
    kLocalTag_SubDescriptors = 0x3F01,
    // Index table segment items (read by IndexTableSegment).
    kLocalTag_EditUnitByteCount = 0x3F05,
    kLocalTag_IndexSID = 0x3F06,
    kLocalTag_BodySID = 0x3F07,
    kLocalTag_SliceCount = 0x3F08,
    kLocalTag_DeltaEntryArray = 0x3F09,
    kLocalTag_IndexEntryArray = 0x3F0A,
    kLocalTag_IndexEditRate = 0x3F0B,
    kLocalTag_IndexStartPosition = 0x3F0C,
    kLocalTag_IndexDuration = 0x3F0D,
    kLocalTag_PosTableCount = 0x3F0E,
    kLocalTag_PackageUID = 0x4401,
    kLocalTag_Tracks = 0x4403,
    kLocalTag_PackageModifiedDate = 0x4404,
    kLocalTag_PackageCreationDate = 0x4405,
    kLocalTag_Descriptor = 0x4701,
    kLocalTag_TrackID = 0x4801,
    kLocalTag_Sequence = 0x4803,
    kLocalTag_TrackNumber = 0x4804,
    kLocalTag_EditRate = 0x4B01,
    kLocalTag_Origin = 0x4B02,
};

class STMetadataSets : public LocalSets {
public:
    STMetadataSets();
    explicit STMetadataSets(const KLVPacket& packet);
    ~STMetadataSets() override;

    bool isImportable() const override;
    using LocalSets::Import;
    uint32_t Import(const CUSharedPtr<CUStream>& stream, uint64_t offset) override;
    void Lock() override;
    void Unlock() override;
    CUSharedPtr<CUStringMac> Description() const override;

    // The set kind: its key type (0x0801012F preface, 0x08010136 material
    // package, ...).
    uint32_t Kind() const { return PacketType(); }

    // The item as the kind its tag has (MDValue, MxfUUID, UMID, array of
    // MxfUUID, CUStringMac, CUVector<unsigned char>, CUVector<int>, array
    // of CUVector<unsigned char>); empty when the tag is absent, its length
    // is wrong for the kind, or the tag is not one the set answers.
    CUSharedPtr<CUObject> ValueForTag(uint32_t tag);

    // Item length must equal byteSize.
    CUSharedPtr<MDValue> ValueForTagAndType(uint32_t tag, _MDValueType type, uint32_t byteSize);
    // Length 16.
    CUSharedPtr<MxfUUID> UUIDForTag(uint32_t tag);
    // Length 32 or 64, agreeing with the UMID's length byte.
    CUSharedPtr<UMID> UMIDForTag(uint32_t tag);
    // Batch of 16-byte labels filling (at most) the item.
    CUSharedPtr<CUMutableArray> UUIDArrayValueForTag(uint32_t tag);
    // UTF-16 over the item's length (non-zero, even).
    CUSharedPtr<CUStringMac> CUStringValueForTag(uint32_t tag);
    // The item's bytes.
    CUSharedPtr<CUVector<unsigned char>> EnumForTag(uint32_t tag);
    // Batches: count x item size (64-bit) must equal length - 8; item size
    // at least 1 for byte vectors and exactly 4 for integers.
    CUSharedPtr<CUMutableArray> EnumArrayForTag(uint32_t tag);
    CUSharedPtr<CUVector<int>> SInt32ArrayForTag(uint32_t tag);

    // One of the ten MPEG video descriptor labels, looked up in the primer
    // (tag 0 when absent there); empty for any other label or without a
    // primer.
    CUSharedPtr<CUObject> ValueForUUID(const MxfUUID& label, const CUSharedPtr<PrimerPack>& primer);

private:
    // Offset and length of a batch item after checking its header; false when
    // the item is absent, shorter than 8 bytes or does not fit the copy.
    bool BatchHeader(uint32_t tag, uint32_t& count, uint32_t& itemSize, uint32_t& itemOffset,
                     uint32_t& itemLength) const;
};

}  // namespace ComVantoVantoQZ64RADPlug
