#pragma once
// Why an offload or a check could not be done, as the offload layer's one
// exception type: the sentence to show and what kind of failure it is, which
// the command turns into its exit code. Thrown by the layer's classes and
// caught by type at the command.
#include <stdexcept>
#include <string>

namespace qzoffload {

// The kinds, numbered as qzcard's exit codes.
enum class OffloadFailure : int {
    kSetup = 1,     // a destination or the card cannot be used (missing, overlapping, too full)
    kNotACard = 2,  // the folder to copy is not a card
    kProblems = 4,  // problems found: not everything copied or verified, a history refused
    kBusy = 5,      // another process works in the destination
    kUsage = 64,    // refused arguments
};

class OffloadError : public std::runtime_error {
public:
    explicit OffloadError(const std::string& what, OffloadFailure kind = OffloadFailure::kProblems)
        : std::runtime_error(what), m_Kind(kind) {}
    OffloadFailure Kind() const { return m_Kind; }
    int ExitCode() const { return static_cast<int>(m_Kind); }

private:
    OffloadFailure m_Kind;
};

}  // namespace qzoffload
