#pragma once
// Why a report or a picture check could not be made, as the layer's name for the host side's one exception
// type: thrown by the layer's classes with the kind of failure (default: kSetup), caught by type (this class
// or CUHostError) at the command, which turns the kind into its exit code.
#include "CUHostError.h"

namespace qzreport {

using ComVantoVantoQZ64RADPlug::CUFailureKind;

class ReportError : public ComVantoVantoQZ64RADPlug::CUHostError {
public:
    explicit ReportError(const std::string& what, CUFailureKind kind = CUFailureKind::kSetup)
        : CUHostError(what, kind) {}
    // Stopped by `signal`.
    static ReportError Interrupted(const std::string& what, int signal) {
        return ReportError(CUHostError::Interrupted(what, signal));
    }

private:
    explicit ReportError(const CUHostError& error) : CUHostError(error) {}
};

}  // namespace qzreport
