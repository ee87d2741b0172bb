#pragma once
// Clip attributes of a clip information block (1 byte at offset 1004): OK
// mark, the presence flags of the clip's optional files and the drop-frame
// timecode flag. Plain record built fresh per request; not synchronised.
#include "CUObject.h"
#include "CUSharedPtr.h"
#include "FBCClipTypes.h"

#include <cstdint>

namespace ComVantoVantoQZ64RADPlug {

class CUStringMac;

class ClipAttributes : public CUObject {
public:
    static CUSharedPtr<ClipAttributes> Create();
    // Decodes the stored byte; the backup flag, not stored, becomes 0.
    static CUSharedPtr<ClipAttributes> Create(uint8_t stored);

    // "okMark=3 customPresetFile=0 thumbnailFile=0 clipMetadataFile=0
    // dropFrame=1 backup=0"
    CUSharedPtr<CUStringMac> Description() const override;

    _OK_Mark okMark = kOKMarkNotRead;
    _Custom_Preset_File_Flag customPresetFileFlag = kCustomPresetFileFlagNotRead;
    _Thumbnail_File_Flag thumbnailFileFlag = kThumbnailFileFlagNotRead;
    _Clip_Metadata_File_Flag clipMetadataFileFlag = kClipMetadataFileFlagNotRead;
    _Drop_Frame_Flag dropFrameFlag = kDropFrameFlagNotRead;
    _Backup_Flag backupFlag = kBackupFlagNotRead;
};

}  // namespace ComVantoVantoQZ64RADPlug
