#include "ExitCodes.h"

namespace qzcard {

int ExitCodeOf(CUFailureKind kind, int signal) {
    if (kind == CUFailureKind::kInterrupted) return kExitSignalBase + signal;
    for (const auto& [rowKind, code] : kExitCodes)
        if (rowKind == kind) return code;
    return 1;  // not reached: every other kind has a row
}

int ExitCodeOf(const ComVantoVantoQZ64RADPlug::CUHostError& failure) {
    return ExitCodeOf(failure.Kind(), failure.Signal());
}

}  // namespace qzcard
