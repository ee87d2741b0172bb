#include "HeaderMetadata.h"

#include "CUArray.h"
#include "CUFailure.h"
#include "CUMutableArray.h"
#include "MDValue.h"
#include "MxfTypes.h"
#include "PrimerPack.h"
#include "STMetadataSets.h"
#include "STTrack.h"
#include "UMID.h"

#include <new>

namespace ComVantoVantoQZ64RADPlug {

HeaderMetadata::HeaderMetadata() {
    m_Identifications = CUSharedPtr<CUMutableArray>(new (std::nothrow) CUMutableArray());
    m_MaterialPackages = CUSharedPtr<CUMutableArray>(new (std::nothrow) CUMutableArray());
    m_SourcePackages = CUSharedPtr<CUMutableArray>(new (std::nothrow) CUMutableArray());
    m_EssenceContainerData = CUSharedPtr<CUMutableArray>(new (std::nothrow) CUMutableArray());
    if (!m_Identifications || !m_MaterialPackages || !m_SourcePackages || !m_EssenceContainerData)
        throw CUError(CUFailure(kMxfErrAuxiliaryObject, "header metadata arrays cannot be created"),
                      "HeaderMetadata init error");
}

HeaderMetadata::~HeaderMetadata() = default;

void HeaderMetadata::SetPrimerPack(const CUSharedPtr<PrimerPack>& primer) {
    m_Primer = primer;
}

void HeaderMetadata::AddMetadata(const CUSharedPtr<STMetadataSets>& set) {
    if (!set) return;
    unsigned char uid[16];
    if (!set->CopyItem(kLocalTag_InstanceUID, uid, sizeof uid)) return;
    if ((set->PacketType() & 0xFFFF0000u) != kMxfKeyStructuralSet) return;
    m_Sets.emplace(MxfUUID(uid), set);  // a second set with the same UID is ignored
    if (set->PacketType() == kMxfSetPreface) m_Preface = set;
}

CUSharedPtr<STMetadataSets> HeaderMetadata::MetadataForKey(const MxfUUID& uid) const {
    auto it = m_Sets.find(uid);
    return it == m_Sets.end() ? CUSharedPtr<STMetadataSets>() : it->second;
}

CUSharedPtr<CUArray> HeaderMetadata::UIDArray(const CUSharedPtr<STMetadataSets>& set, uint32_t tag) {
    if (!set) return CUSharedPtr<CUArray>();
    return CUSharedPtr<CUArray>(set->UUIDArrayValueForTag(tag));
}

uint32_t HeaderMetadata::Analyze() {
    uint32_t result = SetIdentification();
    if (result == 0) result = SetContentStorage();
    return result;
}

uint32_t HeaderMetadata::SetIdentification() {
    m_Identifications->RemoveAllObjects();
    if (!m_Preface) return 0;
    CUSharedPtr<CUArray> uids = UIDArray(m_Preface, kLocalTag_Identifications);
    if (!uids) return kMxfErrFormat;
    for (size_t i = 0; i < uids->Count(); ++i) {
        CUSharedPtr<MxfUUID> uid = CUDynamicCast<MxfUUID>(uids->ObjectAtIndex(i));
        if (!uid) continue;
        if (CUSharedPtr<STMetadataSets> set = MetadataForKey(*uid))
            m_Identifications->AddObject(CUSharedPtr<CUObject>(set));
    }
    return 0;
}

uint32_t HeaderMetadata::SetContentStorage() {
    m_MaterialPackages->RemoveAllObjects();
    m_SourcePackages->RemoveAllObjects();
    m_EssenceContainerData->RemoveAllObjects();
    if (!m_Preface) return 0;
    CUSharedPtr<MxfUUID> storageUID = m_Preface->UUIDForTag(kLocalTag_ContentStorage);
    if (!storageUID) return kMxfErrFormat;
    CUSharedPtr<STMetadataSets> storage = MetadataForKey(*storageUID);
    if (!storage) return 0;
    if (CUSharedPtr<CUArray> packages = UIDArray(storage, kLocalTag_Packages)) {
        for (size_t i = 0; i < packages->Count(); ++i) {
            CUSharedPtr<MxfUUID> uid = CUDynamicCast<MxfUUID>(packages->ObjectAtIndex(i));
            CUSharedPtr<STMetadataSets> package = uid ? MetadataForKey(*uid) : CUSharedPtr<STMetadataSets>();
            if (!package) continue;
            if (package->PacketType() == kMxfSetMaterialPackage)
                m_MaterialPackages->AddObject(CUSharedPtr<CUObject>(package));
            else if (package->PacketType() == kMxfSetSourcePackage)
                m_SourcePackages->AddObject(CUSharedPtr<CUObject>(package));
        }
    }
    if (CUSharedPtr<CUArray> data = UIDArray(storage, kLocalTag_EssenceContainerData)) {
        for (size_t i = 0; i < data->Count(); ++i) {
            CUSharedPtr<MxfUUID> uid = CUDynamicCast<MxfUUID>(data->ObjectAtIndex(i));
            if (!uid) continue;
            if (CUSharedPtr<STMetadataSets> set = MetadataForKey(*uid))
                m_EssenceContainerData->AddObject(CUSharedPtr<CUObject>(set));
        }
    }
    return 0;
}

CUSharedPtr<CUArray> HeaderMetadata::Identifications() const {
    return CUSharedPtr<CUArray>(m_Identifications);
}
uint32_t HeaderMetadata::IdentificationCount() const {
    return static_cast<uint32_t>(m_Identifications->Count());
}
uint32_t HeaderMetadata::MaterialPackageCount() const {
    return static_cast<uint32_t>(m_MaterialPackages->Count());
}
uint32_t HeaderMetadata::SourcePackageCount() const {
    return static_cast<uint32_t>(m_SourcePackages->Count());
}
uint32_t HeaderMetadata::EssenceContainerDataCount() const {
    return static_cast<uint32_t>(m_EssenceContainerData->Count());
}

CUSharedPtr<STMetadataSets> HeaderMetadata::MaterialPackageAtIndex(uint32_t index) const {
    return CUDynamicCast<STMetadataSets>(m_MaterialPackages->ObjectAtIndex(index));
}
CUSharedPtr<STMetadataSets> HeaderMetadata::SourcePackageAtIndex(uint32_t index) const {
    return CUDynamicCast<STMetadataSets>(m_SourcePackages->ObjectAtIndex(index));
}
CUSharedPtr<STMetadataSets> HeaderMetadata::EssenceContainerDataAtIndex(uint32_t index) const {
    return CUDynamicCast<STMetadataSets>(m_EssenceContainerData->ObjectAtIndex(index));
}

CUSharedPtr<CUObject> HeaderMetadata::PrefaceInfoForTag(uint32_t tag) const {
    return m_Preface ? m_Preface->ValueForTag(tag) : CUSharedPtr<CUObject>();
}

CUSharedPtr<CUObject> HeaderMetadata::IdentificationInfoForTag(uint32_t tag, uint32_t index) const {
    CUSharedPtr<STMetadataSets> set = CUDynamicCast<STMetadataSets>(m_Identifications->ObjectAtIndex(index));
    return set ? set->ValueForTag(tag) : CUSharedPtr<CUObject>();
}

CUSharedPtr<CUObject> HeaderMetadata::EssenceContainerDataForTag(uint32_t tag, uint32_t index) const {
    CUSharedPtr<STMetadataSets> set = EssenceContainerDataAtIndex(index);
    return set ? set->ValueForTag(tag) : CUSharedPtr<CUObject>();
}

uint32_t HeaderMetadata::TrackCount(uint32_t package) const {
    CUSharedPtr<CUArray> tracks = UIDArray(MaterialPackageAtIndex(package), kLocalTag_Tracks);
    return tracks ? static_cast<uint32_t>(tracks->Count()) : 0;
}

CUSharedPtr<STTrack> HeaderMetadata::TrackForIndex(uint32_t track, uint32_t package) const {
    CUSharedPtr<CUArray> tracks = UIDArray(MaterialPackageAtIndex(package), kLocalTag_Tracks);
    if (!tracks) return CUSharedPtr<STTrack>();
    return CreateTrack(CUDynamicCast<MxfUUID>(tracks->ObjectAtIndex(track)));
}

CUSharedPtr<STTrack> HeaderMetadata::CreateTrack(const CUSharedPtr<MxfUUID>& trackUID) const {
    if (!trackUID || !m_Primer) return CUSharedPtr<STTrack>();
    try {
        CUSharedPtr<STTrack> track(new STTrack());
        CUSharedPtr<STMetadataSets> trackSet = MetadataForKey(*trackUID);
        if (!trackSet) return CUSharedPtr<STTrack>();
        CUSharedPtr<MxfUUID> sequenceUID = trackSet->UUIDForTag(kLocalTag_Sequence);
        if (!sequenceUID) return CUSharedPtr<STTrack>();
        CUSharedPtr<STMetadataSets> sequence = MetadataForKey(*sequenceUID);
        if (!sequence) return CUSharedPtr<STTrack>();
        CUSharedPtr<CUArray> components = UIDArray(sequence, kLocalTag_StructuralComponents);
        if (!components) return CUSharedPtr<STTrack>();
        track->SetPrimerPack(m_Primer);
        if (track->SetTrack(trackSet) != 0) return CUSharedPtr<STTrack>();
        if (track->SetSequence(sequence) != 0) return CUSharedPtr<STTrack>();
        for (size_t i = 0; i < components->Count(); ++i) {
            CUSharedPtr<MxfUUID> uid = CUDynamicCast<MxfUUID>(components->ObjectAtIndex(i));
            CUSharedPtr<STMetadataSets> component =
                uid ? MetadataForKey(*uid) : CUSharedPtr<STMetadataSets>();
            track->AddComponentAndDescriptor(component, DescriptorForComponent(component));
        }
        return track;
    } catch (const CUError&) {
        return CUSharedPtr<STTrack>();
    }
}

CUSharedPtr<STMetadataSets> HeaderMetadata::DescriptorForComponent(
    const CUSharedPtr<STMetadataSets>& component) const {
    if (!component) return CUSharedPtr<STMetadataSets>();
    CUSharedPtr<UMID> package = component->UMIDForTag(kLocalTag_SourcePackageID);
    if (!package) return CUSharedPtr<STMetadataSets>();
    CUSharedPtr<MDValue> trackID = component->ValueForTagAndType(kLocalTag_SourceTrackID, kMDValueUInt32, 4);
    if (!trackID) return CUSharedPtr<STMetadataSets>();
    try {
        return GetDescriptor(*package, static_cast<unsigned int>(*trackID));
    } catch (const CUError&) {
        return CUSharedPtr<STMetadataSets>();
    }
}

CUSharedPtr<STMetadataSets> HeaderMetadata::SourcePackageForUMID(const UMID& umid) const {
    for (uint32_t i = 0; i < SourcePackageCount(); ++i) {
        CUSharedPtr<STMetadataSets> package = SourcePackageAtIndex(i);
        if (!package) continue;
        CUSharedPtr<UMID> id = package->UMIDForTag(kLocalTag_PackageUID);
        if (id && id->isEqualToUMID(umid)) return package;
    }
    return CUSharedPtr<STMetadataSets>();
}

namespace {
// True when the descriptor's linked track ID is present and equals trackID.
bool LinksTrack(const CUSharedPtr<STMetadataSets>& descriptor, uint32_t trackID) {
    if (!descriptor) return false;
    CUSharedPtr<MDValue> linked = descriptor->ValueForTagAndType(kLocalTag_LinkedTrackID, kMDValueUInt32, 4);
    if (!linked) return false;
    try {
        return static_cast<unsigned int>(*linked) == trackID;
    } catch (const CUError&) {
        return false;
    }
}
}  // namespace

CUSharedPtr<STMetadataSets> HeaderMetadata::GetDescriptor(const UMID& umid, uint32_t trackID) const {
    CUSharedPtr<STMetadataSets> package = SourcePackageForUMID(umid);
    if (!package) return CUSharedPtr<STMetadataSets>();
    CUSharedPtr<MxfUUID> descriptorUID = package->UUIDForTag(kLocalTag_Descriptor);
    if (!descriptorUID) return CUSharedPtr<STMetadataSets>();
    CUSharedPtr<STMetadataSets> descriptor = MetadataForKey(*descriptorUID);
    if (!descriptor) return CUSharedPtr<STMetadataSets>();
    if (descriptor->PacketType() != kMxfSetMultipleDescriptor)
        return LinksTrack(descriptor, trackID) ? descriptor : CUSharedPtr<STMetadataSets>();
    CUSharedPtr<CUArray> subs = UIDArray(descriptor, kLocalTag_SubDescriptors);
    if (!subs) return CUSharedPtr<STMetadataSets>();
    for (size_t i = 0; i < subs->Count(); ++i) {
        CUSharedPtr<MxfUUID> uid = CUDynamicCast<MxfUUID>(subs->ObjectAtIndex(i));
        if (!uid) continue;
        CUSharedPtr<STMetadataSets> sub = MetadataForKey(*uid);
        if (LinksTrack(sub, trackID)) return sub;
    }
    return CUSharedPtr<STMetadataSets>();
}

}  // namespace ComVantoVantoQZ64RADPlug
