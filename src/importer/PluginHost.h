#pragma once
// qzcard as a host of the plug-in bundle: loads FBCFormatRADPlugin.bundle,
// announces the host version ("CFBundleShortVersionString" of the main
// bundle), gets the factory and the principal for the bundle's own plug-in
// identifier (the first "RADPlugins" entry), and then asks the principal
// what a video-editing host asks: is a path a card, its volume, its clips.
// Alerts the plug-in shows go to stderr. One thread; the principal is shut
// down when the host is destroyed.
#include "CUHostError.h"
#include "MIORADClipDataSourceProtocol.h"
#include "MIORADPlugin.h"
#include "MIORADPluginRegisterBundle.h"
#include "MIORADVolumeDataSourceProtocol.h"

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace ComVantoVantoQZ64RADPlug {
class HostBundle;
class HostNotificationCenter;
}  // namespace ComVantoVantoQZ64RADPlug

namespace qzimport {

// The bundle cannot be loaded, or does not give a plug-in to this host: a
// failure of kind kSetup.
class PluginHostError : public ComVantoVantoQZ64RADPlug::CUHostError {
public:
    explicit PluginHostError(const std::string& what)
        : CUHostError(what, ComVantoVantoQZ64RADPlug::CUFailureKind::kSetup) {}
};

// A clip a volume offers, by the name its descriptor gives.
struct NamedClip {
    std::string name;
    std::shared_ptr<ComVantoVantoQZ64RADPlug::MIORADClipDataSourceProtocol> descriptor;
};

class PluginHost {
public:
    static constexpr const char* kDefaultHostVersion = "11.0";

    // The installed bundle (InstalledLayout.h), else the bundle the build
    // makes: beside the build's qzcard executable
    // (BUILD/FBCFormatRADPlugin.bundle for BUILD/tools/qzcard/qzcard), else
    // where the build put it when qzcard was compiled.
    static std::string DefaultBundlePath();

    // Throws PluginHostError with the reason.
    PluginHost(const std::string& bundlePath, const std::string& hostVersion);
    ~PluginHost();
    PluginHost(const PluginHost&) = delete;
    PluginHost& operator=(const PluginHost&) = delete;

    ComVantoVantoQZ64RADPlug::MIORADPlugin& Plugin() { return *m_plugin; }
    const std::string& PluginID() const { return m_pluginID; }

    bool PathIsValidVolume(const std::string& path);
    // Null when the plug-in makes no volume of the path.
    std::shared_ptr<ComVantoVantoQZ64RADPlug::MIORADVolumeDataSourceProtocol> VolumeWithPath(
        const std::string& path);
    std::vector<std::shared_ptr<ComVantoVantoQZ64RADPlug::MIORADClipDataSourceProtocol>> Clips(
        const std::shared_ptr<ComVantoVantoQZ64RADPlug::MIORADVolumeDataSourceProtocol>& volume);

    // The volume of the card at `folder`, once the plug-in takes the path as
    // a card. Throws ImportError (kNotACard): "the plug-in does not take
    // <folder> as a card", "the plug-in makes no volume of <folder>".
    std::shared_ptr<ComVantoVantoQZ64RADPlug::MIORADVolumeDataSourceProtocol> CardVolume(
        const std::string& folder);
    // The clips of the volume in its order, by name; a descriptor without a
    // name is left out.
    std::vector<NamedClip> NamedClips(
        const std::shared_ptr<ComVantoVantoQZ64RADPlug::MIORADVolumeDataSourceProtocol>& volume);

private:
    std::shared_ptr<ComVantoVantoQZ64RADPlug::HostBundle> m_bundle;
    std::shared_ptr<ComVantoVantoQZ64RADPlug::HostNotificationCenter> m_center;
    std::shared_ptr<ComVantoVantoQZ64RADPlug::MIORADPluginRegisterBundle> m_factory;
    std::shared_ptr<ComVantoVantoQZ64RADPlug::MIORADPlugin> m_plugin;
    std::string m_pluginID;
};

}  // namespace qzimport
