#include "ClipAttributes.h"

#include "CUStringMac.h"

#include <cstdio>

namespace ComVantoVantoQZ64RADPlug {

CUSharedPtr<ClipAttributes> ClipAttributes::Create() {
    return CUSharedPtr<ClipAttributes>(new ClipAttributes());
}

CUSharedPtr<ClipAttributes> ClipAttributes::Create(uint8_t stored) {
    CUSharedPtr<ClipAttributes> attributes = Create();
    attributes->okMark = static_cast<_OK_Mark>((stored >> 6) & 0x03);
    attributes->customPresetFileFlag = static_cast<_Custom_Preset_File_Flag>((stored >> 4) & 1);
    attributes->thumbnailFileFlag = static_cast<_Thumbnail_File_Flag>((stored >> 3) & 1);
    attributes->clipMetadataFileFlag = static_cast<_Clip_Metadata_File_Flag>((stored >> 2) & 1);
    attributes->dropFrameFlag = static_cast<_Drop_Frame_Flag>((stored >> 1) & 1);
    attributes->backupFlag = kBackupFlagOff;
    return attributes;
}

CUSharedPtr<CUStringMac> ClipAttributes::Description() const {
    char text[160];
    std::snprintf(text, sizeof text,
                  "okMark=%d customPresetFile=%d thumbnailFile=%d clipMetadataFile=%d dropFrame=%d backup=%d",
                  static_cast<int>(okMark), static_cast<int>(customPresetFileFlag),
                  static_cast<int>(thumbnailFileFlag), static_cast<int>(clipMetadataFileFlag),
                  static_cast<int>(dropFrameFlag), static_cast<int>(backupFlag));
    return CUStringMac::Create(text);
}

}  // namespace ComVantoVantoQZ64RADPlug
