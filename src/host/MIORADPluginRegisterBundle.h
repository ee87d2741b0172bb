#pragma once
// What a plug-in bundle's module hands the host first: the factory that
// gives the plug-in (the principal) for an identifier. The host finds it
// through the one function every plug-in module exports, MIORADPluginCreateFactory.
#include <memory>
#include <optional>
#include <string>

namespace ComVantoVantoQZ64RADPlug {

class MIORADPlugin;

class MIORADPluginRegisterBundle {
public:
    virtual ~MIORADPluginRegisterBundle();

    // The principal when `identifier` names it and the host is one the
    // plug-in supports; null otherwise.
    virtual std::shared_ptr<MIORADPlugin> pluginForID(const std::optional<std::string>& identifier) = 0;
};

// The entry point's name and type. The module stays loaded for the rest of
// the process, so objects it made may outlive the factory.
inline constexpr const char* kMIORADPluginCreateFactorySymbol = "MIORADPluginCreateFactory";
using MIORADPluginCreateFactoryFunction = void (*)(std::shared_ptr<MIORADPluginRegisterBundle>* factory);

}  // namespace ComVantoVantoQZ64RADPlug
