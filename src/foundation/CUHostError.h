#pragma once
// Why a host-side operation could not be done, as the one exception type of
// the layers above the plug-in: the sentence to show (naming the clip, frame,
// file or copy concerned), the kind of failure, and for an interruption the
// signal that stopped it. Thrown by those layers' classes and caught by type
// at the command, which turns the kind into its exit code. A plain value.
#include <stdexcept>
#include <string>

#include "CUFailureKind.h"

namespace ComVantoVantoQZ64RADPlug {

class CUHostError : public std::runtime_error {
public:
    explicit CUHostError(const std::string& what, CUFailureKind kind = CUFailureKind::kProblems,
                         bool retryable = false)
        : std::runtime_error(what), m_Kind(kind), m_Retryable(retryable) {}
    // Stopped by `signal` (SIGINT, SIGTERM, ...).
    static CUHostError Interrupted(const std::string& what, int signal) {
        CUHostError error(what, CUFailureKind::kInterrupted);
        error.m_Signal = signal;
        return error;
    }
    CUFailureKind Kind() const { return m_Kind; }
    // The signal of an interruption; 0 for every other kind.
    int Signal() const { return m_Signal; }
    // A transaction lost to another one (a deadlock or serialisation failure
    // a database server resolved by ending ours): running it again may work.
    bool Retryable() const { return m_Retryable; }

private:
    CUFailureKind m_Kind;
    int m_Signal = 0;
    bool m_Retryable;
};

}  // namespace ComVantoVantoQZ64RADPlug
