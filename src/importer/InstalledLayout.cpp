#include "InstalledLayout.h"

#include "HostProcess.h"

#include <filesystem>

namespace qzimport {

std::string InstalledPartPath(const std::string& name) {
    const std::string executable = ComVantoVantoQZ64RADPlug::HostProcess::ExecutablePath();
    if (executable.empty()) return std::string();
    // The private library folder relative to the folder of the executable
    // ("../lib/qzcard"), as the install is configured.
    const std::filesystem::path part =
        std::filesystem::path(executable).parent_path() / QZCARD_PARTS_FROM_BINARY / name;
    std::error_code error;
    if (!std::filesystem::exists(part, error)) return std::string();
    return part.lexically_normal().string();
}

}  // namespace qzimport
