#include "STMetadataSets.h"

#include "CUAutoLock.h"
#include "CUMutableArray.h"
#include "CUStringMac.h"
#include "CUVector.h"
#include "MxfLabels.h"
#include "MxfUUID.h"
#include "ParseMetaData.h"
#include "PrimerPack.h"
#include "UMID.h"

#include <vector>

namespace ComVantoVantoQZ64RADPlug {

namespace {

enum class ItemKind {
    Value,
    UUID,
    UMID,
    UUIDArray,
    String,
    Enum,
    EnumArray,
    SInt32Array,
};

struct TagEntry {
    uint32_t tag;
    ItemKind kind;
    _MDValueType type;  // for ItemKind::Value
};

constexpr TagEntry kTagTable[] = {
    {kLocalTag_GenerationUID, ItemKind::UUID, kMDValueUInt8},
    {kLocalTag_DataDefinition, ItemKind::UUID, kMDValueUInt8},
    {kLocalTag_Duration, ItemKind::Value, kMDValueSInt64},
    {kLocalTag_StructuralComponents, ItemKind::UUIDArray, kMDValueUInt8},
    {kLocalTag_SourcePackageID, ItemKind::UMID, kMDValueUInt8},
    {kLocalTag_SourceTrackID, ItemKind::Value, kMDValueUInt32},
    {kLocalTag_StartPosition, ItemKind::Value, kMDValueSInt64},
    {kLocalTag_StartTimecode, ItemKind::Value, kMDValueSInt64},
    {kLocalTag_RoundedTimecodeBase, ItemKind::Value, kMDValueUInt16},
    {kLocalTag_DropFrame, ItemKind::Value, kMDValueUInt8},
    {kLocalTag_Packages, ItemKind::UUIDArray, kMDValueUInt8},
    {kLocalTag_EssenceContainerData, ItemKind::UUIDArray, kMDValueUInt8},
    {kLocalTag_LinkedPackageUID, ItemKind::UMID, kMDValueUInt8},
    {kLocalTag_SampleRate, ItemKind::Value, kMDValueRational},
    {kLocalTag_EssenceContainer, ItemKind::UUID, kMDValueUInt8},
    {kLocalTag_LinkedTrackID, ItemKind::Value, kMDValueUInt32},
    {kLocalTag_PictureEssenceCoding, ItemKind::UUID, kMDValueUInt8},
    {kLocalTag_StoredHeight, ItemKind::Value, kMDValueUInt32},
    {kLocalTag_StoredWidth, ItemKind::Value, kMDValueUInt32},
    {kLocalTag_SampledHeight, ItemKind::Value, kMDValueUInt32},
    {kLocalTag_SampledWidth, ItemKind::Value, kMDValueUInt32},
    {kLocalTag_SampledXOffset, ItemKind::Value, kMDValueSInt32},
    {kLocalTag_SampledYOffset, ItemKind::Value, kMDValueSInt32},
    {kLocalTag_DisplayHeight, ItemKind::Value, kMDValueUInt32},
    {kLocalTag_DisplayWidth, ItemKind::Value, kMDValueUInt32},
    {kLocalTag_DisplayXOffset, ItemKind::Value, kMDValueSInt32},
    {kLocalTag_DisplayYOffset, ItemKind::Value, kMDValueSInt32},
    {kLocalTag_FrameLayout, ItemKind::Value, kMDValueUInt8},
    {kLocalTag_VideoLineMap, ItemKind::SInt32Array, kMDValueUInt8},
    {kLocalTag_AspectRatio, ItemKind::Value, kMDValueRational},
    {kLocalTag_TransferCharacteristic, ItemKind::UUID, kMDValueUInt8},
    {kLocalTag_ImageAlignmentOffset, ItemKind::Value, kMDValueUInt32},
    {kLocalTag_FieldDominance, ItemKind::Value, kMDValueUInt8},
    {kLocalTag_ImageStartOffset, ItemKind::Value, kMDValueSInt32},
    {kLocalTag_ImageEndOffset, ItemKind::Value, kMDValueUInt32},
    {kLocalTag_SignalStandard, ItemKind::Enum, kMDValueUInt8},
    {kLocalTag_StoredF2Offset, ItemKind::Value, kMDValueSInt32},
    {kLocalTag_DisplayF2Offset, ItemKind::Value, kMDValueUInt32},
    {kLocalTag_ComponentDepth, ItemKind::Value, kMDValueUInt32},
    {kLocalTag_HorizontalSubsampling, ItemKind::Value, kMDValueUInt32},
    {kLocalTag_ColorSiting, ItemKind::Value, kMDValueUInt8},
    {kLocalTag_BlackRefLevel, ItemKind::Value, kMDValueUInt32},
    {kLocalTag_WhiteRefLevel, ItemKind::Value, kMDValueUInt32},
    {kLocalTag_ColorRange, ItemKind::Value, kMDValueUInt32},
    {kLocalTag_PaddingBits, ItemKind::Value, kMDValueSInt16},
    {kLocalTag_VerticalSubsampling, ItemKind::Value, kMDValueUInt32},
    {kLocalTag_ReversedByteOrder, ItemKind::Value, kMDValueUInt8},
    {kLocalTag_LastModifiedDate, ItemKind::Value, kMDValueTimestamp},
    {kLocalTag_ContentStorage, ItemKind::UUID, kMDValueUInt8},
    {kLocalTag_Version, ItemKind::Value, kMDValueUInt16},
    {kLocalTag_Identifications, ItemKind::UUIDArray, kMDValueUInt8},
    {kLocalTag_OperationalPattern, ItemKind::UUID, kMDValueUInt8},
    {kLocalTag_EssenceContainers, ItemKind::UUIDArray, kMDValueUInt8},
    {kLocalTag_DMSchemes, ItemKind::UUIDArray, kMDValueUInt8},
    {kLocalTag_CompanyName, ItemKind::String, kMDValueUInt8},
    {kLocalTag_ProductName, ItemKind::String, kMDValueUInt8},
    {kLocalTag_VersionString, ItemKind::String, kMDValueUInt8},
    {kLocalTag_ProductUID, ItemKind::UUID, kMDValueUInt8},
    {kLocalTag_ModificationDate, ItemKind::Value, kMDValueTimestamp},
    {kLocalTag_ThisGenerationUID, ItemKind::UUID, kMDValueUInt8},
    {kLocalTag_InstanceUID, ItemKind::UUID, kMDValueUInt8},
    {kLocalTag_QuantizationBits, ItemKind::Value, kMDValueUInt32},
    {kLocalTag_Locked, ItemKind::Value, kMDValueUInt8},
    {kLocalTag_AudioSamplingRate, ItemKind::Value, kMDValueRational},
    {kLocalTag_AudioRefLevel, ItemKind::Value, kMDValueSInt8},
    {kLocalTag_ChannelCount, ItemKind::Value, kMDValueUInt32},
    {kLocalTag_AvgBps, ItemKind::Value, kMDValueUInt32},
    {kLocalTag_BlockAlign, ItemKind::Value, kMDValueUInt16},
    {kLocalTag_ChannelStatusMode, ItemKind::EnumArray, kMDValueUInt8},
    {kLocalTag_FixedChannelStatusData, ItemKind::EnumArray, kMDValueUInt8},
    {kLocalTag_SubDescriptors, ItemKind::UUIDArray, kMDValueUInt8},
    {kLocalTag_IndexSID, ItemKind::Value, kMDValueUInt32},
    {kLocalTag_BodySID, ItemKind::Value, kMDValueUInt32},
    {kLocalTag_PackageUID, ItemKind::UMID, kMDValueUInt8},
    {kLocalTag_Tracks, ItemKind::UUIDArray, kMDValueUInt8},
    {kLocalTag_PackageModifiedDate, ItemKind::Value, kMDValueTimestamp},
    {kLocalTag_PackageCreationDate, ItemKind::Value, kMDValueTimestamp},
    {kLocalTag_Descriptor, ItemKind::UUID, kMDValueUInt8},
    {kLocalTag_TrackID, ItemKind::Value, kMDValueUInt32},
    {kLocalTag_Sequence, ItemKind::UUID, kMDValueUInt8},
    {kLocalTag_TrackNumber, ItemKind::Value, kMDValueUInt32},
    {kLocalTag_EditRate, ItemKind::Value, kMDValueRational},
    {kLocalTag_Origin, ItemKind::Value, kMDValueSInt64},
};

uint32_t ByteSize(_MDValueType type) {
    switch (type) {
        case kMDValueUInt8:
        case kMDValueSInt8:
            return 1;
        case kMDValueUInt16:
        case kMDValueSInt16:
            return 2;
        case kMDValueUInt32:
        case kMDValueSInt32:
            return 4;
        default:
            return 8;
    }
}

// The primer-mapped MPEG video descriptor items, in the order they are
// compared. Raw marks the one read as raw bytes.
struct LabelEntry {
    const MxfUUID* label;
    bool raw;
    _MDValueType type;
};

}  // namespace

STMetadataSets::STMetadataSets() = default;
STMetadataSets::STMetadataSets(const KLVPacket& packet) : LocalSets(packet) {}
STMetadataSets::~STMetadataSets() = default;

bool STMetadataSets::isImportable() const {
    return LocalSets::isImportable();
}

uint32_t STMetadataSets::Import(const CUSharedPtr<CUStream>& stream, uint64_t offset) {
    return LocalSets::Import(stream, offset);
}

void STMetadataSets::Lock() {
    LocalSets::Lock();
}

void STMetadataSets::Unlock() {
    LocalSets::Unlock();
}

CUSharedPtr<CUStringMac> STMetadataSets::Description() const {
    return LocalSets::Description();
}

CUSharedPtr<CUObject> STMetadataSets::ValueForTag(uint32_t tag) {
    for (const TagEntry& entry : kTagTable) {
        if (entry.tag != tag) continue;
        switch (entry.kind) {
            case ItemKind::Value:
                return ValueForTagAndType(tag, entry.type, ByteSize(entry.type));
            case ItemKind::UUID:
                return UUIDForTag(tag);
            case ItemKind::UMID:
                return UMIDForTag(tag);
            case ItemKind::UUIDArray:
                return UUIDArrayValueForTag(tag);
            case ItemKind::String:
                return CUStringValueForTag(tag);
            case ItemKind::Enum:
                return EnumForTag(tag);
            case ItemKind::EnumArray:
                return EnumArrayForTag(tag);
            case ItemKind::SInt32Array:
                return SInt32ArrayForTag(tag);
        }
    }
    return nullptr;
}

CUSharedPtr<MDValue> STMetadataSets::ValueForTagAndType(uint32_t tag, _MDValueType type, uint32_t byteSize) {
    CUAutoLock guard(this);
    const Item* item = FindItem(tag);
    if (!item || item->length != byteSize || byteSize > 8) return nullptr;
    CUSharedPtr<ParseMetaData> reader = GetParserForTag(tag);
    unsigned char bytes[8];
    if (!reader || !reader->GetBytes(bytes, byteSize)) return nullptr;
    return MDValue::Create(bytes, byteSize, type);
}

CUSharedPtr<MxfUUID> STMetadataSets::UUIDForTag(uint32_t tag) {
    CUAutoLock guard(this);
    const Item* item = FindItem(tag);
    if (!item || item->length != 16) return nullptr;
    CUSharedPtr<ParseMetaData> reader = GetParserForTag(tag);
    return reader ? reader->GetUUID() : nullptr;
}

CUSharedPtr<UMID> STMetadataSets::UMIDForTag(uint32_t tag) {
    CUAutoLock guard(this);
    const Item* item = FindItem(tag);
    if (!item || (item->length != UMID::kBasicLength && item->length != UMID::kExtendedLength))
        return nullptr;
    CUSharedPtr<ParseMetaData> reader = GetParserForTag(tag);
    return reader ? reader->GetUMID(item->length) : nullptr;
}

CUSharedPtr<CUMutableArray> STMetadataSets::UUIDArrayValueForTag(uint32_t tag) {
    CUAutoLock guard(this);
    const Item* item = FindItem(tag);
    if (!item) return nullptr;
    CUSharedPtr<ParseMetaData> reader = GetParserForTag(tag);
    return reader ? reader->GetUUIDArray(item->length) : nullptr;
}

CUSharedPtr<CUStringMac> STMetadataSets::CUStringValueForTag(uint32_t tag) {
    CUAutoLock guard(this);
    const Item* item = FindItem(tag);
    if (!item || item->length == 0 || (item->length & 1u)) return nullptr;
    CUSharedPtr<ParseMetaData> reader = GetParserForTag(tag);
    return reader ? reader->GetUTF16String(item->length) : nullptr;
}

CUSharedPtr<CUVector<unsigned char>> STMetadataSets::EnumForTag(uint32_t tag) {
    CUAutoLock guard(this);
    const Item* item = FindItem(tag);
    if (!item) return nullptr;
    CUSharedPtr<ParseMetaData> reader = GetParserForTag(tag);
    return reader ? reader->GetEnum(item->length) : nullptr;
}

bool STMetadataSets::BatchHeader(uint32_t tag, uint32_t& count, uint32_t& itemSize, uint32_t& itemOffset,
                                 uint32_t& itemLength) const {
    const Item* item = FindItem(tag);
    if (!item || item->length < 8) return false;
    if (static_cast<uint64_t>(item->offset) + item->length > m_Reader->StreamLength()) return false;
    itemOffset = item->offset;
    itemLength = item->length;
    ParseMetaData& reader = *m_Reader;
    if (!reader.SetOffset(item->offset, 0) || !reader.GetUInt32(count) || !reader.GetUInt32(itemSize))
        return false;
    // Count x size in 64 bits: a crafted count cannot wrap to the right size.
    return static_cast<uint64_t>(count) * itemSize == static_cast<uint64_t>(itemLength) - 8;
}

CUSharedPtr<CUMutableArray> STMetadataSets::EnumArrayForTag(uint32_t tag) {
    CUAutoLock guard(this);
    uint32_t count = 0, itemSize = 0, itemOffset = 0, itemLength = 0;
    if (!m_ValueCopy || !BatchHeader(tag, count, itemSize, itemOffset, itemLength) || itemSize < 1)
        return nullptr;
    CUSharedPtr<CUMutableArray> array = CUMutableArray::Create();
    if (!array) return nullptr;
    for (uint32_t i = 0; i < count; ++i) {
        CUSharedPtr<CUVector<unsigned char>> bytes = m_Reader->GetEnum(itemSize);
        if (!bytes) return nullptr;
        array->AddObject(bytes);
    }
    return array;
}

CUSharedPtr<CUVector<int>> STMetadataSets::SInt32ArrayForTag(uint32_t tag) {
    CUAutoLock guard(this);
    uint32_t count = 0, itemSize = 0, itemOffset = 0, itemLength = 0;
    if (!m_ValueCopy || !BatchHeader(tag, count, itemSize, itemOffset, itemLength) || itemSize != 4)
        return nullptr;
    CUSharedPtr<CUVector<int>> values = CreateCUVectorSInt32();
    if (!values) return nullptr;
    values->reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        int32_t v = 0;
        if (!m_Reader->GetInt32(v)) return nullptr;
        values->push_back(v);
    }
    return values;
}

CUSharedPtr<CUObject> STMetadataSets::ValueForUUID(const MxfUUID& label,
                                                   const CUSharedPtr<PrimerPack>& primer) {
    if (!primer) return nullptr;
    const LabelEntry labels[] = {
        {&FBC_UL_MER_SingleSequence, false, kMDValueUInt8},
        {&FBC_UL_MER_ConstantBframes, false, kMDValueUInt8},
        {&FBC_UL_MER_CodedContentScanning, true, kMDValueUInt8},
        {&FBC_UL_MER_LowDelay, false, kMDValueUInt8},
        {&FBC_UL_MER_ClosedGOP, false, kMDValueUInt8},
        {&FBC_UL_MER_IdenticalGOPIndicator, false, kMDValueUInt8},
        {&FBC_UL_MER_MaxGOP, false, kMDValueUInt16},
        {&FBC_UL_MER_BPictureCount, false, kMDValueUInt16},
        {&FBC_UL_MER_BitRate, false, kMDValueUInt32},
        {&FBC_UL_MER_ProfileAndLevel, false, kMDValueUInt8},
    };
    uint16_t tag = 0;
    primer->UIDToTag(tag, label);
    for (const LabelEntry& entry : labels) {
        if (*entry.label != label) continue;
        if (entry.raw) return EnumForTag(tag);
        return ValueForTagAndType(tag, entry.type, ByteSize(entry.type));
    }
    return nullptr;
}

}  // namespace ComVantoVantoQZ64RADPlug
