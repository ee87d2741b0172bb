#pragma once
// The header metadata of one MXF file: every structural set by instance UID,
// the preface, the primer, and the resolved lists (identifications, material
// and source packages, essence container data). Tracks are built on demand
// as STTrack objects. Filled once while the file is opened, then only read;
// TrackForIndex builds a new track at every call.
#include "CUMutableArray.h"
#include "CUObject.h"
#include "CUSharedPtr.h"
#include "MxfUUID.h"
#include "PrimerPack.h"
#include "STMetadataSets.h"
#include "STTrack.h"
#include "UMID.h"

#include <cstdint>
#include <map>

namespace ComVantoVantoQZ64RADPlug {

class CUArray;

class HeaderMetadata : public CUObject {
public:
    // Throws "HeaderMetadata init error" when the arrays cannot be created.
    HeaderMetadata();
    ~HeaderMetadata() override;

    void SetPrimerPack(const CUSharedPtr<PrimerPack>& primer);
    CUSharedPtr<PrimerPack> GetPrimerPack() const { return m_Primer; }
    // Registers a structural set under its instance UID (the first set with
    // a UID stays); a preface also becomes the preface (the last one wins).
    void AddMetadata(const CUSharedPtr<STMetadataSets>& set);
    // SetIdentification, then SetContentStorage.
    uint32_t Analyze();
    uint32_t SetIdentification();
    uint32_t SetContentStorage();

    // Empty when absent.
    CUSharedPtr<STMetadataSets> MetadataForKey(const MxfUUID& uid) const;
    CUSharedPtr<STMetadataSets> Preface() const { return m_Preface; }
    uint32_t SetCount() const { return static_cast<uint32_t>(m_Sets.size()); }

    CUSharedPtr<CUArray> Identifications() const;
    uint32_t IdentificationCount() const;
    uint32_t MaterialPackageCount() const;
    uint32_t SourcePackageCount() const;
    uint32_t EssenceContainerDataCount() const;
    CUSharedPtr<STMetadataSets> MaterialPackageAtIndex(uint32_t index) const;
    CUSharedPtr<STMetadataSets> SourcePackageAtIndex(uint32_t index) const;
    CUSharedPtr<STMetadataSets> EssenceContainerDataAtIndex(uint32_t index) const;

    CUSharedPtr<CUObject> PrefaceInfoForTag(uint32_t tag) const;
    CUSharedPtr<CUObject> IdentificationInfoForTag(uint32_t tag, uint32_t index) const;
    CUSharedPtr<CUObject> EssenceContainerDataForTag(uint32_t tag, uint32_t index) const;

    // Entries of the tracks item (0x4403) of material package `package`; 0
    // when the package or the item is absent.
    uint32_t TrackCount(uint32_t package) const;
    // The track named by entry `track` of that item, built; empty when any
    // step fails.
    CUSharedPtr<STTrack> TrackForIndex(uint32_t track, uint32_t package) const;
    // Builds the track whose set has this instance UID; empty on failure.
    CUSharedPtr<STTrack> CreateTrack(const CUSharedPtr<MxfUUID>& trackUID) const;

    // First source package whose package UID (0x4401) equals the UMID.
    CUSharedPtr<STMetadataSets> SourcePackageForUMID(const UMID& umid) const;
    // The essence descriptor of track `trackID` of the source package
    // `umid` (through a multiple descriptor when there is one); empty when
    // none matches.
    CUSharedPtr<STMetadataSets> GetDescriptor(const UMID& umid, uint32_t trackID) const;

private:
    // The UIDs of an array item of a set (empty pointer when absent).
    static CUSharedPtr<CUArray> UIDArray(const CUSharedPtr<STMetadataSets>& set, uint32_t tag);
    // The descriptor of one component (none for timecode components).
    CUSharedPtr<STMetadataSets> DescriptorForComponent(const CUSharedPtr<STMetadataSets>& component) const;

    std::map<MxfUUID, CUSharedPtr<STMetadataSets>> m_Sets;
    CUSharedPtr<STMetadataSets> m_Preface;
    CUSharedPtr<PrimerPack> m_Primer;
    CUSharedPtr<CUMutableArray> m_Identifications;
    CUSharedPtr<CUMutableArray> m_MaterialPackages;
    CUSharedPtr<CUMutableArray> m_SourcePackages;
    CUSharedPtr<CUMutableArray> m_EssenceContainerData;
};

}  // namespace ComVantoVantoQZ64RADPlug
