#pragma once
// Why the catalog could not do what was asked, as the catalog layer's one
// exception type: the sentence to show (naming the catalog, card or file
// concerned) and what kind of failure it is, which the command turns into
// its exit code. Thrown by the layer's classes and caught by type.
#include <stdexcept>
#include <string>

namespace qzcatalog {

// The kinds, numbered as qzcard's exit codes.
enum class CatalogFailure : int {
    kSetup = 1,     // the catalog cannot be opened, reached, read or written (damaged, newer, refused)
    kNotACard = 2,  // a folder asked about is not a card
    kProblems = 4,  // problems found: a history refused, a file that cannot be read
    kUsage = 64,    // refused arguments
};

class CatalogError : public std::runtime_error {
public:
    explicit CatalogError(const std::string& what, CatalogFailure kind = CatalogFailure::kSetup,
                          bool retryable = false)
        : std::runtime_error(what), m_Kind(kind), m_Retryable(retryable) {}
    CatalogFailure Kind() const { return m_Kind; }
    int ExitCode() const { return static_cast<int>(m_Kind); }
    // A transaction lost to another one (a deadlock or serialisation
    // failure the server resolved by ending ours): running it again may work.
    bool Retryable() const { return m_Retryable; }

private:
    CatalogFailure m_Kind;
    bool m_Retryable;
};

}  // namespace qzcatalog
