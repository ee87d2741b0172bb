#pragma once
// Why a report or a picture check could not be made, as the report layer's
// one exception type: the sentence to show and what kind of failure it is,
// which a command turns into its exit code. Thrown by the layer's classes
// and caught by type at the command.
#include <stdexcept>
#include <string>

namespace qzreport {

// The kinds, numbered as qzcard's exit codes.
enum class ReportFailure : int {
    kSetup = 1,     // the decoder, the encoder or an output cannot be set up or written
    kNotACard = 2,  // a folder that is not a card
    kProblems = 4,  // problems found by --check, or a copy failed
    kUsage = 64,    // refused arguments
};

class ReportError : public std::runtime_error {
public:
    explicit ReportError(const std::string& what, ReportFailure kind = ReportFailure::kSetup)
        : std::runtime_error(what), m_kind(kind) {}
    ReportFailure Kind() const { return m_kind; }
    int ExitCode() const { return static_cast<int>(m_kind); }

private:
    ReportFailure m_kind;
};

}  // namespace qzreport
