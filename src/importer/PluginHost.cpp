#include "PluginHost.h"

#include "CFArray.h"
#include "CFDictionary.h"
#include "CFString.h"
#include "CUFailure.h"
#include "HostAlert.h"
#include "HostBundle.h"
#include "HostNotificationCenter.h"
#include "HostProcess.h"
#include "ImportError.h"
#include "InstalledLayout.h"

#include <cstdio>
#include <filesystem>
#include <optional>
#include <system_error>

namespace qzimport {

using namespace ComVantoVantoQZ64RADPlug;

namespace {

constexpr const char* kBundleName = "FBCFormatRADPlugin.bundle";

std::string Reason(const CUFailure& failure) {
    const std::string text = failure.Describe();
    return text.empty() ? "no reason given" : text;
}

// "PluginID" of the first "RADPlugins" entry of the bundle's information.
std::string PluginIdentifier(const HostBundle& bundle) {
    const auto* plugins = CFCast<CFArray>(bundle.objectForInfoDictionaryKey("RADPlugins"));
    if (!plugins || CFArrayGetCount(plugins) < 1) return std::string();
    const auto* entry = CFCast<CFDictionary>(CFArrayGetValueAtIndex(plugins, 0));
    if (!entry) return std::string();
    CFHolder<CFStringRef> key =
        CFHolder<CFStringRef>::Adopt(CFStringCreateWithCString(nullptr, "PluginID", kCFStringEncodingUTF8));
    const auto* id = CFCast<CFString>(CFDictionaryGetValue(entry, key.Get()));
    return id ? CFStringGetStdString(id) : std::string();
}

}  // namespace

std::string PluginHost::DefaultBundlePath() {
    const std::string installed = InstalledPartPath(kBundleName);
    if (!installed.empty()) return installed;
    const std::string executable = HostProcess::ExecutablePath();
    if (!executable.empty()) {
        const std::filesystem::path beside =
            std::filesystem::path(executable).parent_path().parent_path().parent_path() / kBundleName;
        std::error_code error;
        if (std::filesystem::is_directory(beside, error)) return beside.string();
    }
    return QZCARD_DEFAULT_BUNDLE;
}

PluginHost::PluginHost(const std::string& bundlePath, const std::string& hostVersion) {
    HostAlert::SetPresenter([](const std::string& title, const std::string& message) {
        std::fprintf(stderr, "qzcard: the plug-in says: %s: %s\n", title.c_str(), message.c_str());
    });
    HostBundle::SetMainBundleShortVersionString(hostVersion);
    CUFailure why;
    m_bundle = HostBundle::BundleWithPath(bundlePath, &why);
    if (!m_bundle) throw PluginHostError("cannot load the plug-in bundle " + bundlePath + ": " + Reason(why));
    m_pluginID = PluginIdentifier(*m_bundle);
    if (m_pluginID.empty())
        throw PluginHostError("the bundle " + bundlePath +
                              " names no plug-in (\"RADPlugins\" / \"PluginID\")");
    m_factory = m_bundle->createFactory(&why);
    if (!m_factory) throw PluginHostError("the bundle " + bundlePath + " gives no factory: " + Reason(why));
    m_plugin = m_factory->pluginForID(m_pluginID);
    if (!m_plugin)
        throw PluginHostError("the plug-in " + m_pluginID + " refuses host version " + hostVersion);
    m_center = std::make_shared<HostNotificationCenter>();
    m_plugin->setNotificationCenter(m_center);
    if (!m_plugin->initialize() || !m_plugin->activate())
        throw PluginHostError("the plug-in " + m_pluginID + " did not start");
}

PluginHost::~PluginHost() {
    if (m_plugin) {
        m_plugin->deactivate();
        m_plugin->shutdown();
    }
}

bool PluginHost::PathIsValidVolume(const std::string& path) {
    return m_plugin->pathIsValidVolume(path);
}

std::shared_ptr<MIORADVolumeDataSourceProtocol> PluginHost::VolumeWithPath(const std::string& path) {
    std::string error;
    return m_plugin->volumeWithPath(path, &error);
}

std::vector<std::shared_ptr<MIORADClipDataSourceProtocol>> PluginHost::Clips(
    const std::shared_ptr<MIORADVolumeDataSourceProtocol>& volume) {
    return m_plugin->clipsForVolume(volume);
}

std::shared_ptr<MIORADVolumeDataSourceProtocol> PluginHost::CardVolume(const std::string& folder) {
    if (!PathIsValidVolume(folder))
        throw ImportError("the plug-in does not take " + folder + " as a card", CUFailureKind::kNotACard);
    std::shared_ptr<MIORADVolumeDataSourceProtocol> volume = VolumeWithPath(folder);
    if (!volume) throw ImportError("the plug-in makes no volume of " + folder, CUFailureKind::kNotACard);
    return volume;
}

std::vector<NamedClip> PluginHost::NamedClips(const std::shared_ptr<MIORADVolumeDataSourceProtocol>& volume) {
    std::vector<NamedClip> named;
    for (const auto& descriptor : Clips(volume)) {
        const std::optional<std::string> name = descriptor ? descriptor->name() : std::nullopt;
        if (name) named.push_back({*name, descriptor});
    }
    return named;
}

}  // namespace qzimport
