#include "ULKey.h"

#include <initializer_list>

namespace ComVantoVantoQZ64RADPlug {

namespace {
// Compares key bytes [first, first + n) with a pattern.
bool Match(const unsigned char* key, int first, std::initializer_list<unsigned char> pattern) {
    int i = first;
    for (unsigned char b : pattern) {
        if (key[i++] != b) return false;
    }
    return true;
}
}  // namespace

ULKey::ULKey() = default;
ULKey::ULKey(const unsigned char* bytes) : MxfUUID(bytes) {}
ULKey::ULKey(const MxfUUID& other) : MxfUUID(other) {}
ULKey::ULKey(const ULKey& other) : MxfUUID(other) {}
ULKey::~ULKey() = default;

ULKey& ULKey::operator=(const ULKey& other) {
    MxfUUID::operator=(other);
    return *this;
}

bool ULKey::IsSMPTEKey() const {
    return Match(m_Bytes, 0, {0x06, 0x0E, 0x2B, 0x34});
}

uint32_t ULKey::GetKeyType() const {
    if (!IsSMPTEKey()) return kMxfKeyNone;
    switch (m_Bytes[4]) {
        case 0x01:
            return Category_Dictionaries();
        case 0x02:
            return Category_Groups();
        case 0x03:
            return Category_WrappersAndContainers();
        case 0x04:
            return Category_Labels();
        case 0x05:
            return Category_RegisteredPrivateInformation();
        default:
            return kMxfKeyOther;
    }
}

uint32_t ULKey::Category_Dictionaries() const {
    switch (m_Bytes[5]) {
        case 0x01:
            return Registry_MetadataDictionaries();
        case 0x02:
            return Registry_EssenceDictionaries();
        case 0x03:
            return kMxfKeyControlElement;
        case 0x04:
            return kMxfKeyTypeElement;
        default:
            return kMxfKeyOther;
    }
}

uint32_t ULKey::Registry_MetadataDictionaries() const {
    // The only row that looks at the version byte (byte 7 = 0D).
    if (Match(m_Bytes, 6, {0x01, 0x0D, 0x0E, 0x15, 0x00, 0x00}) &&
        Match(m_Bytes, 12, {0x00, 0x01, 0x00, 0x00}))
        return kMxfKeySequenceInfoElement;
    return kMxfKeyMetadataElement;
}

uint32_t ULKey::Registry_EssenceDictionaries() const {
    if (m_Bytes[6] == 0x01 && Match(m_Bytes, 8, {0x0D, 0x01, 0x03, 0x01})) {
        if (m_Bytes[12] == 0x15) return kMxfKeyPictureElement;
        if (m_Bytes[12] == 0x16) return kMxfKeySoundElement;
    }
    return kMxfKeyEssenceElement;
}

uint32_t ULKey::Category_Groups() const {
    const unsigned char registry = m_Bytes[5];
    switch (registry) {
        case 0x01:
            return kMxfKeyUniversalSet;
        case 0x02:
            return kMxfKeyGlobalSet;
        case 0x04:
            return kMxfKeyVariablePack;
        case 0x05:
            return Registry_DefinedLengthPacks();
        default:
            break;
    }
    if ((registry & 0x07) == 0x03 && registry < 0x7C) return Registry_LocalSets();
    return kMxfKeyOther;
}

uint32_t ULKey::Registry_LocalSets() const {
    // Byte 7 (version) is skipped in every row below.
    const bool prefix = m_Bytes[6] == 0x01 && Match(m_Bytes, 8, {0x0D, 0x01});
    if (prefix && Match(m_Bytes, 10, {0x01, 0x01}) && m_Bytes[12] == 0x01)
        return LocalSets_StructuralMetadata();
    if (prefix && Match(m_Bytes, 10, {0x02, 0x01}) && Match(m_Bytes, 12, {0x01, 0x10, 0x01}))
        return kMxfKeyIndexTableSegment;
    if (prefix && Match(m_Bytes, 10, {0x03, 0x01}) && Match(m_Bytes, 12, {0x04, 0x01, 0x02}))
        return kMxfKeyPackageMetadataSet;
    return kMxfKeyLocalSet;
}

uint32_t ULKey::LocalSets_StructuralMetadata() const {
    return kMxfKeyStructuralSet + (static_cast<uint32_t>(m_Bytes[13]) << 8) + m_Bytes[14];
}

uint32_t ULKey::Registry_DefinedLengthPacks() const {
    if (m_Bytes[6] == 0x01) {
        if (Match(m_Bytes, 8, {0x0D, 0x01, 0x02, 0x01}) && m_Bytes[12] == 0x01) {
            switch (m_Bytes[13]) {
                case 0x02:
                    return kMxfKeyHeaderPartition;
                case 0x03:
                    return kMxfKeyBodyPartition;
                case 0x04:
                    return kMxfKeyFooterPartition;
                case 0x05:
                    if (m_Bytes[14] == 0x01) return kMxfKeyPrimerPack;
                    break;
                case 0x11:
                    if (m_Bytes[14] == 0x01) return kMxfKeyRandomIndexPack;
                    break;
                default:
                    break;
            }
        }
        if (Match(m_Bytes, 8, {0x0D, 0x01, 0x03, 0x01, 0x04, 0x01, 0x01, 0x00}))
            return kMxfKeySystemMetadataPack;
    }
    return kMxfKeyFixedPack;
}

uint32_t ULKey::Category_WrappersAndContainers() const {
    switch (m_Bytes[5]) {
        case 0x01:
            return kMxfKeySimpleWrapper;
        case 0x02:
            return kMxfKeyComplexWrapper;
        default:
            return kMxfKeyOther;
    }
}

uint32_t ULKey::Category_Labels() const {
    return kMxfKeyLabel;
}

uint32_t ULKey::Category_RegisteredPrivateInformation() const {
    return kMxfKeyPrivate;
}

}  // namespace ComVantoVantoQZ64RADPlug
