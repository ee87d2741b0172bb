#pragma once
// Facts about the host's own process that a command-line host needs: where
// its executable lies (to find the plug-in bundles built beside it) and
// whether its standard error reaches a terminal (to redraw progress in
// place). Thread safe.
#include <string>

namespace ComVantoVantoQZ64RADPlug {

class HostProcess {
public:
    // Absolute path of the running executable; empty when it cannot be told.
    static std::string ExecutablePath();
    static bool StandardErrorIsTerminal();
};

}  // namespace ComVantoVantoQZ64RADPlug
