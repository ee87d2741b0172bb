#pragma once
// One mounted card as the host sees it: its path, icon and the card content
// held open for as long as the host keeps the volume; its clips as clip
// descriptors. Thread safety: the values do not change after creation;
// listing clips walks the content's clip array, so one host thread at a
// time lists a volume.
#include "CFBCContent.h"
#include "CUSharedPtr.h"
#include "MIORADVolumeDataSourceProtocol.h"

#include <vector>

namespace ComVantoVantoQZ64RADPlug {

class MIORADClipDataSourceProtocol;

class FBCFormatVolume : public MIORADVolumeDataSourceProtocol {
public:
    // Null when the card cannot be opened or there is no icon.
    static std::shared_ptr<FBCFormatVolume> volumeWithPath(const std::string& path,
                                                           std::shared_ptr<HostImage> icon);

    std::optional<std::string> name() override;  // last path component
    std::optional<std::string> path() override;
    std::shared_ptr<HostImage> icon() override;
    void willUnmount() override;
    void didUnmount() override;

    // A descriptor for every clip in state 0 whose descriptor can be made,
    // in the card's clip order.
    std::vector<std::shared_ptr<MIORADClipDataSourceProtocol>> ClipArray();

private:
    FBCFormatVolume(std::string path, std::shared_ptr<HostImage> icon, CUSharedPtr<CFBCContent> media);

    const std::string _path;
    const std::shared_ptr<HostImage> _icon;
    const CUSharedPtr<CFBCContent> _media;
};

}  // namespace ComVantoVantoQZ64RADPlug
