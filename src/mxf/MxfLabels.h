#pragma once
// The universal labels the reader compares against, created once at start-up
// and only read afterwards (safe from any thread). Compared over all 16
// bytes, version byte included.
#include "MxfUUID.h"

namespace ComVantoVantoQZ64RADPlug {

extern const MxfUUID FBC_UL_OperationalPattern_1a;
extern const MxfUUID FBC_UL_MPEG2ES_FrameWrapping;
extern const MxfUUID FBC_UL_AES3_FrameWrapping;
// Data definitions of tracks.
extern const MxfUUID FBC_UL_12MTimecodeTrack;
extern const MxfUUID FBC_UL_PictureEssenceTrack;
extern const MxfUUID FBC_UL_SoundEssenceTrack;
// MPEG video descriptor items whose local tags the primer assigns.
extern const MxfUUID FBC_UL_MER_SingleSequence;
extern const MxfUUID FBC_UL_MER_ConstantBframes;
extern const MxfUUID FBC_UL_MER_CodedContentScanning;
extern const MxfUUID FBC_UL_MER_LowDelay;
extern const MxfUUID FBC_UL_MER_ClosedGOP;
extern const MxfUUID FBC_UL_MER_IdenticalGOPIndicator;
extern const MxfUUID FBC_UL_MER_MaxGOP;
extern const MxfUUID FBC_UL_MER_BPictureCount;
extern const MxfUUID FBC_UL_MER_ProfileAndLevel;
extern const MxfUUID FBC_UL_MER_BitRate;

}  // namespace ComVantoVantoQZ64RADPlug
