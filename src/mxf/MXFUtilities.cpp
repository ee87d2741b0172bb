#include "MXFUtilities.h"

#include "HeaderMetadata.h"
#include "MXFStream.h"
#include "MxfLabels.h"
#include "MxfUUID.h"
#include "STMetadataSets.h"
#include "STTrack.h"
#include "StreamFileSequenceInfo.h"
#include "UMID.h"

namespace ComVantoVantoQZ64RADPlug {

namespace {
// Fixed offsets of the sequence information element in camera files, by
// file kind.
constexpr uint64_t kSequenceInfoOffsetKind2 = 0x1A3F;
constexpr uint64_t kSequenceInfoOffsetKind13 = 0x1A44;
}  // namespace

CUSharedPtr<STTrack> FBC_Utl_TimecodeTrackFromMXF(const CUSharedPtr<MXFStream>& stream) {
    if (!stream) return CUSharedPtr<STTrack>();
    CUSharedPtr<HeaderMetadata> header = stream->GetHeaderMetadata();
    if (!header) return CUSharedPtr<STTrack>();
    for (uint32_t t = 0; t < header->TrackCount(0); ++t) {
        CUSharedPtr<STTrack> track = header->TrackForIndex(t, 0);
        if (!track) continue;
        CUSharedPtr<MxfUUID> definition =
            CUDynamicCast<MxfUUID>(track->ValueForTag(kLocalTag_DataDefinition, 0));
        if (definition && *definition == FBC_UL_12MTimecodeTrack) return track;
    }
    return CUSharedPtr<STTrack>();
}

CUSharedPtr<UMID> FBC_Utl_SourcePackageUID(const CUSharedPtr<MXFStream>& stream) {
    if (!stream || !stream->GetHeaderMetadata()) return CUSharedPtr<UMID>();
    return CUDynamicCast<UMID>(
        stream->GetHeaderMetadata()->EssenceContainerDataForTag(kLocalTag_LinkedPackageUID, 0));
}

CUSharedPtr<UMID> FBC_Utl_GetRelayPackageUID(const CUSharedPtr<MXFStream>& stream, uint32_t fileKind) {
    if (!stream) return CUSharedPtr<UMID>();
    CUSharedPtr<StreamFileSequenceInfo> info;
    if (fileKind == 2)
        info = stream->GetStreamFileSequenceInfoAtOffset(kSequenceInfoOffsetKind2);
    else if (fileKind == 1 || fileKind == 3)
        info = stream->GetStreamFileSequenceInfoAtOffset(kSequenceInfoOffsetKind13);
    if (info && info->PackageUID()) return info->PackageUID();
    if (stream->Parse() != 0) return CUSharedPtr<UMID>();
    info = stream->GetStreamFileSequenceInfo();
    return info ? info->PackageUID() : CUSharedPtr<UMID>();
}

}  // namespace ComVantoVantoQZ64RADPlug
