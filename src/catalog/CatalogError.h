#pragma once
// Why the catalog could not do what was asked, as the layer's name for the host side's one exception type:
// thrown by the layer's classes with the kind of failure (default: kSetup), caught by type (this class or
// CUHostError) at the command, which turns the kind into its exit code.
#include "CUHostError.h"

namespace qzcatalog {

using ComVantoVantoQZ64RADPlug::CUFailureKind;

class CatalogError : public ComVantoVantoQZ64RADPlug::CUHostError {
public:
    explicit CatalogError(const std::string& what, CUFailureKind kind = CUFailureKind::kSetup,
                          bool retryable = false)
        : CUHostError(what, kind, retryable) {}
    // Stopped by `signal`.
    static CatalogError Interrupted(const std::string& what, int signal) {
        return CatalogError(CUHostError::Interrupted(what, signal));
    }

private:
    explicit CatalogError(const CUHostError& error) : CUHostError(error) {}
};

}  // namespace qzcatalog
