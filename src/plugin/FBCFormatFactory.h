#pragma once
// What the plug-in module hands the host: the factory owning the one
// principal, which it gives only for the principal's identifier and only
// to hosts from version 10.0.3 on. The module's entry point
// MIORADPluginCreateFactory makes it.
// Thread safe: the principal is made once, before the factory is shared.
#include "MIORADPluginRegisterBundle.h"

#include <cstdint>
#include <vector>

namespace ComVantoVantoQZ64RADPlug {

class FBCFormat;

class FBCFormatFactory : public MIORADPluginRegisterBundle {
public:
    FBCFormatFactory();
    ~FBCFormatFactory() override;

    std::shared_ptr<MIORADPlugin> pluginForID(const std::optional<std::string>& identifier) override;

    // Whether a host of version components `version` (a.b.c, missing
    // parts 0) is one the plug-in serves: 10.0.3 or later.
    static bool IsSupportedHostVersion(const std::vector<uint32_t>& version);

private:
    std::shared_ptr<FBCFormat> _myPlugin;
};

}  // namespace ComVantoVantoQZ64RADPlug

// The module's entry point (see kMIORADPluginCreateFactorySymbol).
extern "C" __attribute__((visibility("default"))) void MIORADPluginCreateFactory(
    std::shared_ptr<ComVantoVantoQZ64RADPlug::MIORADPluginRegisterBundle>* factory);
