#include "OutputFile.h"

#include "ImportError.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace qzimport {

namespace {

constexpr size_t kWriteBufferBytes = 1u << 20;

std::string SystemReason() {
    return std::strerror(errno);
}

}  // namespace

std::string OutputFile::PartialPathOf(const std::string& finalPath) {
    const std::filesystem::path path(finalPath);
    return (path.parent_path() / ("." + path.filename().string() + ".partial")).string();
}

OutputFile::OutputFile(std::string finalPath)
    : m_finalPath(std::move(finalPath)), m_partialPath(PartialPathOf(m_finalPath)) {
    m_file = std::fopen(m_partialPath.c_str(), "wb");
    if (!m_file) throw ImportError("cannot create " + m_partialPath + ": " + SystemReason());
    // Frames arrive a few hundred kilobytes at a time; the disk gets them in
    // large sequential writes.
    std::setvbuf(m_file, nullptr, _IOFBF, kWriteBufferBytes);
}

OutputFile::~OutputFile() {
    Discard();
}

void OutputFile::Write(const void* bytes, size_t size) {
    if (!m_file) throw ImportError(m_partialPath + " is closed");
    if (size != 0 && std::fwrite(bytes, 1, size, m_file) != size)
        throw ImportError("cannot write " + m_partialPath + ": " + SystemReason());
    m_size += size;
}

void OutputFile::WriteAt(uint64_t offset, const void* bytes, size_t size) {
    if (!m_file) throw ImportError(m_partialPath + " is closed");
    if (offset + size > m_size) throw ImportError("write beyond the end of " + m_partialPath);
    if (std::fseek(m_file, static_cast<long>(offset), SEEK_SET) != 0 ||
        std::fwrite(bytes, 1, size, m_file) != size || std::fseek(m_file, 0, SEEK_END) != 0)
        throw ImportError("cannot write " + m_partialPath + ": " + SystemReason());
}

void OutputFile::Commit() {
    if (m_committed) return;
    if (!m_file) throw ImportError(m_partialPath + " is closed");
    const bool flushed = std::fflush(m_file) == 0;
    const bool closed = std::fclose(m_file) == 0;
    m_file = nullptr;
    if (!flushed || !closed) throw ImportError("cannot write " + m_partialPath + ": " + SystemReason());
    std::error_code error;
    std::filesystem::rename(m_partialPath, m_finalPath, error);
    if (error)
        throw ImportError("cannot rename " + m_partialPath + " to " + m_finalPath + ": " + error.message());
    m_committed = true;
}

void OutputFile::Discard() {
    if (m_committed) return;
    if (m_file) std::fclose(m_file);
    m_file = nullptr;
    std::error_code ignored;  // a partial that is already gone is what we want
    std::filesystem::remove(m_partialPath, ignored);
}

}  // namespace qzimport
