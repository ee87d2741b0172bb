#pragma once
// Free functions of the clip model that read package identities and the
// timecode track from an opened MXF file.
#include "CUSharedPtr.h"

#include <cstdint>

namespace ComVantoVantoQZ64RADPlug {

class MXFStream;
class STTrack;
class UMID;

// The first track of the first material package whose first component's
// data definition is the SMPTE 12M timecode label; empty when none.
CUSharedPtr<STTrack> FBC_Utl_TimecodeTrackFromMXF(const CUSharedPtr<MXFStream>& stream);
// The linked package UID (0x2701) of the first essence container data set.
CUSharedPtr<UMID> FBC_Utl_SourcePackageUID(const CUSharedPtr<MXFStream>& stream);
// The package UID of the file's sequence information: read at its fixed
// offset for file kinds 1, 2 and 3, else (or when that fails) after Parse.
CUSharedPtr<UMID> FBC_Utl_GetRelayPackageUID(const CUSharedPtr<MXFStream>& stream, uint32_t fileKind);

}  // namespace ComVantoVantoQZ64RADPlug
