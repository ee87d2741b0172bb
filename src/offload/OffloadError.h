#pragma once
// Why an offload or a check could not be done, as the layer's name for the host side's one exception type:
// thrown by the layer's classes with the kind of failure (default: kProblems), caught by type (this class or
// CUHostError) at the command, which turns the kind into its exit code.
#include "CUHostError.h"

namespace qzoffload {

using ComVantoVantoQZ64RADPlug::CUFailureKind;

class OffloadError : public ComVantoVantoQZ64RADPlug::CUHostError {
public:
    explicit OffloadError(const std::string& what, CUFailureKind kind = CUFailureKind::kProblems)
        : CUHostError(what, kind) {}
    // Stopped by `signal`.
    static OffloadError Interrupted(const std::string& what, int signal) {
        return OffloadError(CUHostError::Interrupted(what, signal));
    }

private:
    explicit OffloadError(const CUHostError& error) : CUHostError(error) {}
};

}  // namespace qzoffload
