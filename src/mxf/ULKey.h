#pragma once
// The key of a KLV triplet and its classification into a key type
// (SMPTE 336M category / registry bytes). Plain value, not synchronised.
#include "MxfUUID.h"

#include <cstdint>

namespace ComVantoVantoQZ64RADPlug {

// GetKeyType codes; GetKeyKind keeps only the top byte.
enum _MxfKeyType : uint32_t {
    kMxfKeyNone = 0,
    kMxfKeyOther = 0x01000000,
    kMxfKeyMetadataElement = 0x02000000,
    kMxfKeySequenceInfoElement = 0x02000001,
    kMxfKeyEssenceElement = 0x03000000,
    kMxfKeyPictureElement = 0x03000001,
    kMxfKeySoundElement = 0x03000002,
    kMxfKeyControlElement = 0x04000000,
    kMxfKeyTypeElement = 0x05000000,
    kMxfKeyUniversalSet = 0x06000000,
    kMxfKeyGlobalSet = 0x07000000,
    kMxfKeyLocalSet = 0x08000000,
    kMxfKeyIndexTableSegment = 0x08000001,
    kMxfKeyPackageMetadataSet = 0x08000002,
    // Plus byte 13 * 256 + byte 14 of the key (the set kind).
    kMxfKeyStructuralSet = 0x08010000,
    kMxfKeyVariablePack = 0x09000000,
    kMxfKeyFixedPack = 0x0A000000,
    kMxfKeyHeaderPartition = 0x0A000001,
    kMxfKeyBodyPartition = 0x0A000002,
    kMxfKeyFooterPartition = 0x0A000003,
    kMxfKeyPrimerPack = 0x0A000004,
    kMxfKeyRandomIndexPack = 0x0A000005,
    kMxfKeySystemMetadataPack = 0x0A000006,
    kMxfKeySimpleWrapper = 0x0B000000,
    kMxfKeyComplexWrapper = 0x0C000000,
    kMxfKeyLabel = 0x0D000000,
    kMxfKeyPrivate = 0x0E000000,
};

// Structural set kinds (key types) the reader links together.
constexpr uint32_t kMxfSetPreface = 0x0801012F;
constexpr uint32_t kMxfSetMaterialPackage = 0x08010136;
constexpr uint32_t kMxfSetSourcePackage = 0x08010137;
constexpr uint32_t kMxfSetMultipleDescriptor = 0x08010144;

class ULKey : public MxfUUID {
public:
    ULKey();
    explicit ULKey(const unsigned char* bytes);
    ULKey(const MxfUUID& other);
    ULKey(const ULKey& other);
    ~ULKey() override;
    ULKey& operator=(const ULKey& other);

    // 0 (kMxfKeyNone) unless bytes 0-3 are 06 0E 2B 34. Byte 7 (version)
    // is examined only for the sequence information element.
    uint32_t GetKeyType() const;
    uint32_t GetKeyKind() const { return GetKeyType() & 0xFF000000u; }

    // Row groups of the classification, one per category (byte 4) and per
    // registry (byte 5); each assumes the bytes before it already matched.
    uint32_t Category_Dictionaries() const;
    uint32_t Category_Groups() const;
    uint32_t Category_WrappersAndContainers() const;
    uint32_t Category_Labels() const;
    uint32_t Category_RegisteredPrivateInformation() const;
    uint32_t Registry_EssenceDictionaries() const;
    uint32_t Registry_MetadataDictionaries() const;
    uint32_t Registry_LocalSets() const;
    uint32_t Registry_DefinedLengthPacks() const;
    uint32_t LocalSets_StructuralMetadata() const;

    // True when bytes 0-3 are the SMPTE prefix 06 0E 2B 34.
    bool IsSMPTEKey() const;
};

}  // namespace ComVantoVantoQZ64RADPlug
