#include "STTrack.h"

#include "CUFailure.h"
#include "CUMutableArray.h"
#include "MDValue.h"
#include "MxfUUID.h"
#include "PrimerPack.h"
#include "STMetadataSets.h"

#include <new>

namespace ComVantoVantoQZ64RADPlug {

STTrack::STTrack() {
    m_Components = CUSharedPtr<CUMutableArray>(new (std::nothrow) CUMutableArray());
    m_Descriptors = CUSharedPtr<CUMutableArray>(new (std::nothrow) CUMutableArray());
    if (!m_Components || !m_Descriptors)
        throw CUError(CUFailure(kMxfErrAuxiliaryObject, "track arrays cannot be created"),
                      "STTrack Init Error");
}

STTrack::~STTrack() = default;

uint32_t STTrack::ComponentCount() const {
    return static_cast<uint32_t>(m_Components->Count());
}

CUSharedPtr<STMetadataSets> STTrack::ComponentAtIndex(uint32_t index) const {
    return CUDynamicCast<STMetadataSets>(m_Components->ObjectAtIndex(index));
}

CUSharedPtr<STMetadataSets> STTrack::DescriptorAtIndex(uint32_t index) const {
    return CUDynamicCast<STMetadataSets>(m_Descriptors->ObjectAtIndex(index));
}

CUSharedPtr<CUObject> STTrack::ValueForTag(uint32_t tag, uint32_t index) const {
    CUSharedPtr<CUObject> value;
    if (index < m_Components->Count()) {
        if (CUSharedPtr<STMetadataSets> component = ComponentAtIndex(index))
            value = component->ValueForTag(tag);
    }
    if (!value && index < m_Descriptors->Count()) {
        if (CUSharedPtr<STMetadataSets> descriptor = DescriptorAtIndex(index))
            value = descriptor->ValueForTag(tag);
    }
    return value;
}

CUSharedPtr<CUObject> STTrack::ValueForUUID(const MxfUUID& label, uint32_t index) const {
    CUSharedPtr<CUObject> value;
    if (index < m_Components->Count()) {
        if (CUSharedPtr<STMetadataSets> component = ComponentAtIndex(index))
            value = component->ValueForUUID(label, m_Primer);
    }
    if (!value && index < m_Descriptors->Count()) {
        if (CUSharedPtr<STMetadataSets> descriptor = DescriptorAtIndex(index))
            value = descriptor->ValueForUUID(label, m_Primer);
    }
    return value;
}

void STTrack::SetPrimerPack(const CUSharedPtr<PrimerPack>& primer) {
    m_Primer = primer;
}

uint32_t STTrack::SetTrack(const CUSharedPtr<STMetadataSets>& track) {
    if (!track) return kMxfErrInvalidArgument;
    try {
        CUSharedPtr<MDValue> id = track->ValueForTagAndType(kLocalTag_TrackID, kMDValueUInt32, 4);
        CUSharedPtr<MDValue> number = track->ValueForTagAndType(kLocalTag_TrackNumber, kMDValueUInt32, 4);
        CUSharedPtr<MDValue> rate = track->ValueForTagAndType(kLocalTag_EditRate, kMDValueRational, 8);
        CUSharedPtr<MDValue> origin = track->ValueForTagAndType(kLocalTag_Origin, kMDValueSInt64, 8);
        if (!id || !number || !rate || !origin) return kMxfErrFormat;
        m_TrackID = static_cast<unsigned int>(*id);
        m_TrackNumber = static_cast<unsigned int>(*number);
        m_EditRate = static_cast<_Rational>(*rate);
        m_Origin = static_cast<long long>(*origin);
    } catch (const CUError&) {
        return kMxfErrFormat;
    }
    return 0;
}

uint32_t STTrack::SetSequence(const CUSharedPtr<STMetadataSets>& sequence) {
    if (!sequence) return kMxfErrInvalidArgument;
    try {
        CUSharedPtr<MxfUUID> definition = sequence->UUIDForTag(kLocalTag_DataDefinition);
        CUSharedPtr<MDValue> duration = sequence->ValueForTagAndType(kLocalTag_Duration, kMDValueSInt64, 8);
        if (!definition || !duration) return kMxfErrFormat;
        m_DataDefinition = definition;
        m_Duration = static_cast<long long>(*duration);
    } catch (const CUError&) {
        return kMxfErrFormat;
    }
    return 0;
}

void STTrack::AddComponentAndDescriptor(const CUSharedPtr<STMetadataSets>& component,
                                        const CUSharedPtr<STMetadataSets>& descriptor) {
    m_Components->AddObject(CUSharedPtr<CUObject>(component));
    m_Descriptors->AddObject(CUSharedPtr<CUObject>(descriptor));
}

void STTrack::ClearComponentAndDescriptor() {
    m_Components->RemoveAllObjects();
    m_Descriptors->RemoveAllObjects();
}

}  // namespace ComVantoVantoQZ64RADPlug
