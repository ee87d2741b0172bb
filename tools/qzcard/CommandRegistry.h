#pragma once
// Commands of the qzcard host register themselves here, so that adding a
// command means adding one file. A command that needs the media layers asks
// for them when it runs (LoadMediaLayers in MediaLayers.h): they are loaded
// then, and only then.
#include <CLI/CLI.hpp>

#include <functional>
#include <vector>

namespace qzcard {

// Adds one subcommand (with its options and callback) to the application.
using CommandInstaller = std::function<void(CLI::App&)>;

std::vector<CommandInstaller>& CommandInstallers();

// Use at namespace scope in a command file:
//   static const bool kRegistered = qzcard::RegisterCommand(&InstallMyCommand);
bool RegisterCommand(CommandInstaller installer);

}  // namespace qzcard
