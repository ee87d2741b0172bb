#pragma once
// Facts about the host's own process that a command-line host needs: where
// its executable lies (to find the plug-in bundles built beside it) and
// whether its standard error reaches a terminal (to redraw progress in
// place); and handing the process over to another executable. Thread safe.
#include <string>

namespace ComVantoVantoQZ64RADPlug {

class HostProcess {
public:
    // Absolute path of the running executable; empty when it cannot be told.
    static std::string ExecutablePath();
    static bool StandardErrorIsTerminal();
    // Runs `executable` in this process's place, with `argv` as its
    // arguments (argv[0] included, null-terminated). Returns only when it
    // cannot, with the reason.
    static std::string ReplaceWith(const std::string& executable, char* const argv[]);
};

}  // namespace ComVantoVantoQZ64RADPlug
