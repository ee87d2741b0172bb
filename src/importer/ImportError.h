#pragma once
// Why an import step failed, as the layer's name for the host side's one exception type: thrown by
// the layer's classes with the kind of failure (default: kProblems), caught by
// type (this class or CUHostError) at the command, which turns the kind
// into its exit code.
#include "CUHostError.h"

namespace qzimport {

using ComVantoVantoQZ64RADPlug::CUFailureKind;

class ImportError : public ComVantoVantoQZ64RADPlug::CUHostError {
public:
    explicit ImportError(const std::string& what, CUFailureKind kind = CUFailureKind::kProblems)
        : CUHostError(what, kind) {}
    // Stopped by `signal`.
    static ImportError Interrupted(const std::string& what, int signal) {
        return ImportError(CUHostError::Interrupted(what, signal));
    }

private:
    explicit ImportError(const CUHostError& error) : CUHostError(error) {}
};

}  // namespace qzimport
