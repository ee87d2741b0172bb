#pragma once
// Why an import step failed, as the importer's one exception type: the
// sentence to show (naming the clip, frame or file concerned) and what kind
// of failure it is, which a command turns into its exit code. Thrown by the
// importer's classes and caught by type at the command.
#include <stdexcept>
#include <string>

namespace qzimport {

// The kinds, numbered as qzcard's exit codes.
enum class ImportFailure : int {
    kSetup = 1,          // the plug-in bundle or an output cannot be set up
    kNotACard = 2,       // a folder that is not a card
    kNoSuchClip = 3,     // a clip the card does not have
    kNotDelivered = 4,   // problems found, or not everything delivered
    kOutputBusy = 5,     // another process works in the output folder
    kUsage = 64,         // an argument that is refused (a bad in or out point)
    kInterrupted = 128,  // a signal stopped it: the exit code is 128 + the signal
};

class ImportError : public std::runtime_error {
public:
    explicit ImportError(const std::string& what, ImportFailure kind = ImportFailure::kNotDelivered)
        : std::runtime_error(what), m_kind(kind), m_exitCode(static_cast<int>(kind)) {}
    // Stopped by `signal`.
    static ImportError Interrupted(const std::string& what, int signal) {
        ImportError error(what, ImportFailure::kInterrupted);
        error.m_exitCode = 128 + signal;
        return error;
    }
    ImportFailure Kind() const { return m_kind; }
    int ExitCode() const { return m_exitCode; }

private:
    ImportFailure m_kind;
    int m_exitCode;
};

}  // namespace qzimport
