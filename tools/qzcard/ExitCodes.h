#pragma once
// qzcard's exit codes: the one table from a failure's kind to the code a
// script reads (README.md's exit-code table shows the same codes, and a test
// holds the two together). The codes are an interface: a row never changes
// its number.
#include <array>
#include <utility>

#include "CUHostError.h"

namespace qzcard {

using ComVantoVantoQZ64RADPlug::CUFailureKind;

constexpr int kExitSuccess = 0;
constexpr int kExitUsage = 64;
// An interruption exits 128 + its signal.
constexpr int kExitSignalBase = 128;

// Every kind but kInterrupted, whose code depends on the signal.
constexpr std::array<std::pair<CUFailureKind, int>, 6> kExitCodes{{
    {CUFailureKind::kSetup, 1},
    {CUFailureKind::kNotACard, 2},
    {CUFailureKind::kNoSuchClip, 3},
    {CUFailureKind::kProblems, 4},
    {CUFailureKind::kBusy, 5},
    {CUFailureKind::kUsage, kExitUsage},
}};

// The code of a failure of `kind`; `signal` is the interrupting signal.
int ExitCodeOf(CUFailureKind kind, int signal = 0);
int ExitCodeOf(const ComVantoVantoQZ64RADPlug::CUHostError& failure);

}  // namespace qzcard
