#include "FBCFormatFactory.h"

#include "FBCFormat.h"
#include "FBCFormatUtility.h"

namespace ComVantoVantoQZ64RADPlug {

FBCFormatFactory::FBCFormatFactory() : _myPlugin(std::make_shared<FBCFormat>()) {}

FBCFormatFactory::~FBCFormatFactory() = default;

bool FBCFormatFactory::IsSupportedHostVersion(const std::vector<uint32_t>& version) {
    if (version.empty()) return false;
    const uint32_t a = version[0];
    const uint32_t b = version.size() > 1 ? version[1] : 0;
    const uint32_t c = version.size() > 2 ? version[2] : 0;
    if (a < 10) return false;
    return !(a == 10 && b == 0 && c < 3);
}

std::shared_ptr<MIORADPlugin> FBCFormatFactory::pluginForID(const std::optional<std::string>& identifier) {
    const std::optional<std::vector<uint32_t>> version = FBCFormatUtility::AppVersionComponents();
    if (!version || !IsSupportedHostVersion(*version)) return nullptr;
    if (!identifier) return nullptr;
    const std::optional<std::string> ours = _myPlugin->uuid();
    if (!ours || *ours != *identifier) return nullptr;
    return _myPlugin;
}

}  // namespace ComVantoVantoQZ64RADPlug

extern "C" void MIORADPluginCreateFactory(
    std::shared_ptr<ComVantoVantoQZ64RADPlug::MIORADPluginRegisterBundle>* factory) {
    if (!factory) return;
    try {
        *factory = std::make_shared<ComVantoVantoQZ64RADPlug::FBCFormatFactory>();
    } catch (const std::bad_alloc&) {
        // The host reads an empty factory as "the module made none".
        factory->reset();
    }
}
