// A plug-in module for the host tests: its factory answers one identifier
// with no principal, enough to show that the host found and ran it.
#include "MIORADPluginRegisterBundle.h"

namespace {

class TestFactory : public ComVantoVantoQZ64RADPlug::MIORADPluginRegisterBundle {
public:
    std::shared_ptr<ComVantoVantoQZ64RADPlug::MIORADPlugin> pluginForID(
        const std::optional<std::string>&) override {
        return nullptr;
    }
};

}  // namespace

extern "C" void MIORADPluginCreateFactory(
    std::shared_ptr<ComVantoVantoQZ64RADPlug::MIORADPluginRegisterBundle>* factory) {
    *factory = std::make_shared<TestFactory>();
}
