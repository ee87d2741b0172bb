#include "FBCFormatVolume.h"

#include "CFBCClip.h"
#include "CUArray.h"
#include "CUStringMac.h"
#include "FBCFormatClip.h"
#include "FBCFormatUtility.h"

namespace ComVantoVantoQZ64RADPlug {

FBCFormatVolume::FBCFormatVolume(std::string path, std::shared_ptr<HostImage> icon,
                                 CUSharedPtr<CFBCContent> media)
    : _path(std::move(path)), _icon(std::move(icon)), _media(std::move(media)) {}

std::shared_ptr<FBCFormatVolume> FBCFormatVolume::volumeWithPath(const std::string& path,
                                                                 std::shared_ptr<HostImage> icon) {
    if (!icon) return nullptr;
    CUSharedPtr<CFBCContent> media = FBCFormatUtility::FBCMediaWithPath(path);
    if (!media) return nullptr;
    return std::shared_ptr<FBCFormatVolume>(new FBCFormatVolume(path, std::move(icon), std::move(media)));
}

std::optional<std::string> FBCFormatVolume::name() {
    CUStringMac last;
    if (CUStringMac(_path.c_str()).PathGetLastComponent(last) != 0) return std::string();
    return last.Utf8();
}

std::optional<std::string> FBCFormatVolume::path() {
    return _path;
}
std::shared_ptr<HostImage> FBCFormatVolume::icon() {
    return _icon;
}
void FBCFormatVolume::willUnmount() {}
void FBCFormatVolume::didUnmount() {}

std::vector<std::shared_ptr<MIORADClipDataSourceProtocol>> FBCFormatVolume::ClipArray() {
    std::vector<std::shared_ptr<MIORADClipDataSourceProtocol>> clips;
    CUSharedPtr<CUArray> list = _media->ClipList();
    if (!list) return clips;
    for (size_t i = 0; i < list->Count(); ++i) {
        CUSharedPtr<CFBCClip> clip = CUDynamicCast<CFBCClip>(list->ObjectAtIndex(i));
        if (!clip || clip->GatClipState() != 0) continue;
        if (std::shared_ptr<FBCFormatClip> descriptor = FBCFormatClip::initWithClip(clip))
            clips.push_back(std::move(descriptor));
    }
    return clips;
}

}  // namespace ComVantoVantoQZ64RADPlug
