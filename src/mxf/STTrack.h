#pragma once
// One track of a material package, resolved: the track's own values, its
// sequence's data definition and duration, and for each component the
// component set and the essence descriptor that matches it. Built by
// HeaderMetadata::TrackForIndex, then only read (safe to share for reading).
#include "CUMutableArray.h"
#include "CUObject.h"
#include "CUSharedPtr.h"
#include "MxfTypes.h"
#include "MxfUUID.h"
#include "PrimerPack.h"
#include "STMetadataSets.h"

#include <cstdint>

namespace ComVantoVantoQZ64RADPlug {

class STTrack : public CUObject {
public:
    // Throws "STTrack Init Error" when the arrays cannot be created.
    STTrack();
    ~STTrack() override;

    uint32_t TrackID() const { return m_TrackID; }
    uint32_t TrackNumber() const { return m_TrackNumber; }
    _Rational EditRate() const { return m_EditRate; }
    int64_t Origin() const { return m_Origin; }
    // The sequence's duration, in edit units of EditRate().
    int64_t Duration() const { return m_Duration; }
    CUSharedPtr<MxfUUID> DataDefinition() const { return m_DataDefinition; }
    uint32_t ComponentCount() const;

    // Component `index`'s value for the tag, else its descriptor's (so
    // component values shadow descriptor values). Empty when neither has it.
    CUSharedPtr<CUObject> ValueForTag(uint32_t tag, uint32_t index) const;
    // The same for a primer-mapped label.
    CUSharedPtr<CUObject> ValueForUUID(const MxfUUID& label, uint32_t index) const;

    // Building steps.
    void SetPrimerPack(const CUSharedPtr<PrimerPack>& primer);
    // Track ID, number, edit rate and origin must all be present with their
    // exact types: 0x131001 otherwise, 0x130001 without a set.
    uint32_t SetTrack(const CUSharedPtr<STMetadataSets>& track);
    // Data definition and duration must both be present.
    uint32_t SetSequence(const CUSharedPtr<STMetadataSets>& sequence);
    // Appends a component and its descriptor (either may be empty), keeping
    // the two arrays parallel.
    void AddComponentAndDescriptor(const CUSharedPtr<STMetadataSets>& component,
                                   const CUSharedPtr<STMetadataSets>& descriptor);
    void ClearComponentAndDescriptor();

    CUSharedPtr<STMetadataSets> ComponentAtIndex(uint32_t index) const;
    // Empty where the component has none.
    CUSharedPtr<STMetadataSets> DescriptorAtIndex(uint32_t index) const;

private:
    CUSharedPtr<PrimerPack> m_Primer;
    uint32_t m_TrackID = 0;
    uint32_t m_TrackNumber = 0;
    _Rational m_EditRate;
    int64_t m_Origin = 0;
    CUSharedPtr<MxfUUID> m_DataDefinition;
    int64_t m_Duration = 0;
    CUSharedPtr<CUMutableArray> m_Components;
    CUSharedPtr<CUMutableArray> m_Descriptors;
};

}  // namespace ComVantoVantoQZ64RADPlug
