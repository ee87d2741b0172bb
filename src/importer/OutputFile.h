#pragma once
// One output file written beside its final name, as DIR/.NAME.partial, and
// renamed onto DIR/NAME only once complete, so that no half-written file
// ever carries a final name. Dropping a file that was not committed removes
// its partial. Used by one thread.
#include <cstdint>
#include <cstdio>
#include <string>

namespace qzimport {

class OutputFile {
public:
    // Creates (or truncates a stale) partial beside `finalPath`. Throws
    // ImportError when it cannot.
    explicit OutputFile(std::string finalPath);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Appends; throws ImportError on a short write (a full disk, ...).
    void Write(const void* bytes, size_t size);
    // Overwrites bytes already written (headers whose sizes come last);
    // the end of the file stays where it is.
    void WriteAt(uint64_t offset, const void* bytes, size_t size);
    uint64_t Size() const { return m_size; }

    // Flushes, closes and renames the partial onto the final name (an
    // existing file of that name is replaced). Throws ImportError.
    void Commit();
    // Closes and removes the partial; nothing once committed.
    void Discard();

    const std::string& FinalPath() const { return m_finalPath; }
    const std::string& PartialPath() const { return m_partialPath; }
    bool Committed() const { return m_committed; }

    // DIR/.NAME.partial of DIR/NAME.
    static std::string PartialPathOf(const std::string& finalPath);

private:
    std::string m_finalPath;
    std::string m_partialPath;
    std::FILE* m_file = nullptr;
    uint64_t m_size = 0;
    bool m_committed = false;
};

}  // namespace qzimport
