#include "HostProcess.h"

#include <limits.h>
#include <unistd.h>

namespace ComVantoVantoQZ64RADPlug {

std::string HostProcess::ExecutablePath() {
    char path[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return std::string();
    return std::string(path, static_cast<size_t>(length));
}

bool HostProcess::StandardErrorIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

}  // namespace ComVantoVantoQZ64RADPlug
