#pragma once
// The plug-in's principal: its identity from the bundle's information
// dictionary, whether a path is a card it reads, volume objects, their
// clips, the icon and the transcoding offer.
// Thread safety: the notification center is guarded; every other message
// keeps no state and may be sent from any host thread.
#include "MIORADPlugin.h"

#include <mutex>

namespace ComVantoVantoQZ64RADPlug {

class FBCFormat : public MIORADPlugin {
public:
    bool initialize() override;
    bool activate() override;
    bool deactivate() override;
    void setNotificationCenter(std::shared_ptr<HostNotificationCenter> center) override;
    // Releases the center and empties the clip descriptors' class state.
    bool shutdown() override;

    // "PluginVersion", "PluginName", "PluginID" of the first "RADPlugins"
    // entry of the plug-in bundle; nil when any of these is missing.
    std::optional<std::string> version() override;
    std::optional<std::string> name() override;
    std::optional<std::string> uuid() override;

    bool pathIsValidVolume(const std::optional<std::string>& path) override;
    std::shared_ptr<MIORADVolumeDataSourceProtocol> volumeWithPath(const std::optional<std::string>& path,
                                                                   std::string* error) override;
    // The bundle's "MediaIcon_Cam_n", or a blank 17 x 17 image.
    std::shared_ptr<HostImage> iconForVolumeWithPath(const std::optional<std::string>& path) override;
    std::vector<std::shared_ptr<MIORADClipDataSourceProtocol>> clipsForVolume(
        const std::shared_ptr<MIORADVolumeDataSourceProtocol>& volume) override;
    std::optional<std::vector<std::shared_ptr<MIORADVolumeDataSourceProtocol>>> additionalVolumes() override;
    std::optional<std::vector<std::shared_ptr<MIORADVolumeDataSourceProtocol>>> invalidVolumesWithErrors(
        std::vector<std::string>* errors) override;
    CFHolder<CFArrayRef> targetFormats() override;

    // The center given by setNotificationCenter, until shutdown.
    std::shared_ptr<HostNotificationCenter> notificationCenter();

private:
    std::optional<std::string> pluginValue(const char* key);

    std::mutex m_lock;
    std::shared_ptr<HostNotificationCenter> _notificationCenter;  // guarded by m_lock
};

}  // namespace ComVantoVantoQZ64RADPlug
