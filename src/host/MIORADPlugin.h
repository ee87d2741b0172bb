#pragma once
// The plug-in's principal as the host sees it: identity, whether a mounted
// path is a card it reads, a volume object for such a path, the volume's
// clips and the formats the host may transcode them to.
// Strings are UTF-8; an empty optional stands for the host's nil.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CFArray.h"
#include "CFHolder.h"

namespace ComVantoVantoQZ64RADPlug {

class HostImage;
class HostNotificationCenter;
class MIORADClipDataSourceProtocol;
class MIORADVolumeDataSourceProtocol;

class MIORADPlugin {
public:
    virtual ~MIORADPlugin();

    virtual bool initialize() = 0;
    virtual bool activate() = 0;
    virtual bool deactivate() = 0;
    // Called by the host before any other use; the plug-in keeps the center until shutdown().
    virtual void setNotificationCenter(std::shared_ptr<HostNotificationCenter> center) = 0;
    // The principal's last call.
    virtual bool shutdown() = 0;

    virtual std::optional<std::string> version() = 0;
    virtual std::optional<std::string> name() = 0;
    virtual std::optional<std::string> uuid() = 0;

    virtual bool pathIsValidVolume(const std::optional<std::string>& path) = 0;
    // `error` is the host's error out-argument; a plug-in may leave it alone.
    virtual std::shared_ptr<MIORADVolumeDataSourceProtocol> volumeWithPath(const std::optional<std::string>& path,
                                                                           std::string* error) = 0;
    virtual std::shared_ptr<HostImage> iconForVolumeWithPath(const std::optional<std::string>& path) = 0;
    virtual std::vector<std::shared_ptr<MIORADClipDataSourceProtocol>> clipsForVolume(
        const std::shared_ptr<MIORADVolumeDataSourceProtocol>& volume) = 0;
    // Empty optionals stand for nil arrays.
    virtual std::optional<std::vector<std::shared_ptr<MIORADVolumeDataSourceProtocol>>> additionalVolumes() = 0;
    virtual std::optional<std::vector<std::shared_ptr<MIORADVolumeDataSourceProtocol>>> invalidVolumesWithErrors(
        std::vector<std::string>* errors) = 0;
    // A property list (array of dictionaries) owned by the caller, or null.
    virtual CFHolder<CFArrayRef> targetFormats() = 0;
};

}  // namespace ComVantoVantoQZ64RADPlug
