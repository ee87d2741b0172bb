#pragma once
// SIGINT, SIGTERM and SIGHUP as a request to stop that long operations
// poll between steps, so that they unwind, remove what they had not
// finished and say where they stopped. Files registered here are removed
// by the signal handler itself when a second signal arrives before the
// operation has cleaned up (a stuck read, say), and the process then exits
// at once with 128 + the signal. Thread safe; the handler only unlinks and
// exits, as a signal handler may.
#include <cstddef>
#include <stdexcept>
#include <string>

namespace ComVantoVantoQZ64RADPlug {

// Thrown by CUInterruption::ThrowIfRequested; caught by type where a command
// reports the interruption and exits with ExitCode().
class CUInterrupted : public std::runtime_error {
public:
    explicit CUInterrupted(int signal);
    int Signal() const { return m_Signal; }
    // 128 + the signal: 130 for SIGINT, 143 for SIGTERM, 129 for SIGHUP.
    int ExitCode() const { return 128 + m_Signal; }

private:
    int m_Signal;
};

class CUInterruption {
public:
    // At most this many files are registered at once; more are refused.
    static constexpr size_t kMaxRegisteredFiles = 256;

    // Installs the handlers (once per process; later calls do nothing).
    static void Install();
    // The first signal received since Install, 0 when none.
    static int Signal();
    static bool Requested() { return Signal() != 0; }
    // Throws CUInterrupted when a signal was received.
    static void ThrowIfRequested();

    // A file the handler removes on a second signal; the slot to release,
    // or -1 when every slot is taken (the file is then only removed by its
    // owner's own unwinding).
    static int RegisterFile(const std::string& path);
    static void ReleaseFile(int slot);

    // For tests: forget a received signal.
    static void ResetForTesting();
};

}  // namespace ComVantoVantoQZ64RADPlug
