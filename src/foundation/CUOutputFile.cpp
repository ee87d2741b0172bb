#include "CUOutputFile.h"

#include "CUContentDigest.h"
#include "CUFailure.h"
#include "CUFileStatus.h"
#include "CUInterruption.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace ComVantoVantoQZ64RADPlug {

namespace {

// Frames arrive a few hundred kilobytes at a time; the disk gets them in
// large sequential writes (whole blocks, for direct writes).
constexpr size_t kBufferBytes = 1u << 20;
static_assert(kBufferBytes % CUOutputFile::kAlignment == 0);
constexpr const char* kPartialSuffix = ".partial";
// Written through the page cache, each run of this many bytes is handed to
// the drive at once: the sync at the end then waits for the last run, not
// for the whole file.
constexpr uint64_t kWritebackBytes = 8u << 20;

std::atomic<unsigned long> g_partialCount{0};

[[noreturn]] void Fail(uint32_t code, const std::string& what, const std::string& file) {
    throw CUError(CUFailure(code, what, file));
}

std::string Reason() {
    return std::strerror(errno);
}

// The code of a failed create, write or sync: a full file system or quota
// is told apart, so that a caller can say how much room was wanted.
uint32_t OutputFailureCode() {
    return errno == ENOSPC || errno == EDQUOT ? kResultOutputNoRoom : kResultOutputFailure;
}

std::string PartialPathOf(const std::string& finalPath) {
    const std::filesystem::path path(finalPath);
    return (path.parent_path() / ("." + path.filename().string() + "." + std::to_string(::getpid()) + "." +
                                  std::to_string(++g_partialCount) + kPartialSuffix))
        .string();
}

bool WriteAll(int descriptor, const unsigned char* bytes, size_t size, int64_t offset) {
    while (size > 0) {
        const ssize_t done = ::pwrite(descriptor, bytes, size, offset);
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) {
            if (done == 0) errno = EIO;
            return false;
        }
        bytes += done;
        size -= static_cast<size_t>(done);
        offset += done;
    }
    return true;
}

// Renames without replacing: the kernel decides atomically where it can;
// link-and-unlink where the file system lacks that (link refuses an
// existing name too).
bool RenameNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    if (::link(from.c_str(), to.c_str()) != 0) return false;
    ::unlink(from.c_str());
    return true;
}

}  // namespace

CUOutputFile::CUOutputFile(std::string finalPath, Caching caching, Digest digest)
    : m_FinalPath(std::move(finalPath)), m_PartialPath(PartialPathOf(m_FinalPath)) {
    if (digest == Digest::kContent) m_Digest = std::make_unique<CUContentDigest>();
    m_Descriptor = ::open(m_PartialPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (m_Descriptor < 0)
        Fail(OutputFailureCode(), "cannot create " + m_PartialPath + ": " + Reason(), m_FinalPath);
    m_InterruptSlot = CUInterruption::RegisterFile(m_PartialPath);
    // Asked of the open file rather than at open: a file system without
    // direct I/O refuses the flag here (EINVAL) and the file stays buffered.
    if (caching == Caching::kDirect) {
        const int flags = ::fcntl(m_Descriptor, F_GETFL);
        m_Direct = flags >= 0 && ::fcntl(m_Descriptor, F_SETFL, flags | O_DIRECT) == 0;
    }
}

CUOutputFile::~CUOutputFile() {
    Discard();
}

void CUOutputFile::WriteOut(const unsigned char* bytes, size_t size) {
    while (size > 0) {
        const ssize_t done = ::write(m_Descriptor, bytes, size);
        if (done < 0 && errno == EINTR) continue;
        // A file system may take the flag yet refuse a direct write: the
        // page cache takes it instead (nothing of it was written).
        if (done < 0 && errno == EINVAL && m_Direct) {
            StopDirect();
            continue;
        }
        if (done <= 0) {
            if (done == 0) errno = EIO;
            Fail(OutputFailureCode(), "cannot write " + m_PartialPath + ": " + Reason(), m_FinalPath);
        }
        bytes += done;
        size -= static_cast<size_t>(done);
        m_Appended += static_cast<uint64_t>(done);
    }
    // Only a start: a failure here shows again, and is reported, at the sync.
    if (!m_Direct && m_Appended - m_WrittenBack >= kWritebackBytes) {
        (void)::sync_file_range(m_Descriptor, static_cast<off_t>(m_WrittenBack),
                                static_cast<off_t>(m_Appended - m_WrittenBack), SYNC_FILE_RANGE_WRITE);
        m_WrittenBack = m_Appended;
    }
}

void CUOutputFile::StopDirect() {
    if (!m_Direct) return;
    const int flags = ::fcntl(m_Descriptor, F_GETFL);
    if (flags < 0 || ::fcntl(m_Descriptor, F_SETFL, flags & ~O_DIRECT) != 0)
        Fail(OutputFailureCode(), "cannot write " + m_PartialPath + ": " + Reason(), m_FinalPath);
    m_Direct = false;
}

void CUOutputFile::FlushBuffer() {
    if (m_Fill == 0) return;
    // Direct, the file offset stays a whole number of blocks: the buffer
    // is written whole when full, and only the end of the file is not.
    const size_t whole = m_Direct ? m_Fill / kAlignment * kAlignment : m_Fill;
    WriteOut(m_Buffer.get(), whole);
    if (whole < m_Fill) {
        StopDirect();
        WriteOut(m_Buffer.get() + whole, m_Fill - whole);
    }
    m_Fill = 0;
}

void CUOutputFile::Write(const void* bytes, size_t size) {
    if (m_Descriptor < 0) Fail(kResultOutputFailure, m_PartialPath + " is closed", m_FinalPath);
    if (m_Sealed) Fail(kResultOutputFailure, m_PartialPath + " was sealed: no more bytes", m_FinalPath);
    if (m_Digest) m_Digest->Append(bytes, size);
    const auto* data = static_cast<const unsigned char*>(bytes);
    // Large runs skip the buffer: direct, the whole blocks of aligned memory.
    size_t through = 0;
    if (m_Direct) {
        if (m_Fill == 0 && reinterpret_cast<uintptr_t>(data) % kAlignment == 0)
            through = size / kAlignment * kAlignment;
    } else if (size >= kBufferBytes) {
        FlushBuffer();
        through = size;
    }
    if (through > 0) WriteOut(data, through);
    m_Size += through;
    data += through;
    size -= through;
    while (size > 0) {
        if (!m_Buffer) m_Buffer = CUDriveFileReader::AllocateBuffer(kBufferBytes);
        if (m_Fill == kBufferBytes) FlushBuffer();
        const size_t part = std::min(size, kBufferBytes - m_Fill);
        std::memcpy(m_Buffer.get() + m_Fill, data, part);
        m_Fill += part;
        m_Size += part;
        data += part;
        size -= part;
    }
}

void CUOutputFile::WriteAt(uint64_t offset, const void* bytes, size_t size) {
    if (m_Descriptor < 0) Fail(kResultOutputFailure, m_PartialPath + " is closed", m_FinalPath);
    if (offset + size > m_Size)
        Fail(kResultOutputFailure, "write beyond the end of " + m_PartialPath, m_FinalPath);
    if (m_Sealed) Fail(kResultOutputFailure, m_PartialPath + " was sealed: no more bytes", m_FinalPath);
    if (m_Digest) m_Digest->Overwritten(offset, size);
    FlushBuffer();
    StopDirect();  // an overwrite rarely fills whole aligned blocks
    if (!WriteAll(m_Descriptor, static_cast<const unsigned char*>(bytes), size, static_cast<int64_t>(offset)))
        Fail(OutputFailureCode(), "cannot write " + m_PartialPath + ": " + Reason(), m_FinalPath);
}

void CUOutputFile::Flush() {
    if (m_Descriptor < 0) Fail(kResultOutputFailure, m_PartialPath + " is closed", m_FinalPath);
    FlushBuffer();
    m_Buffer.reset();
}

void CUOutputFile::Sync() {
    Flush();
    if (::fsync(m_Descriptor) != 0)
        Fail(OutputFailureCode(), "cannot sync " + m_PartialPath + ": " + Reason(), m_FinalPath);
}

const CUOutputFile::Facts& CUOutputFile::Seal() {
    if (m_Sealed) return *m_Sealed;
    Flush();
    Facts facts;
    facts.size = m_Size;
    std::string reason;
    const std::optional<CUFileStatus> status = CUFileStatus::OfOpenFile(m_Descriptor, &reason);
    if (!status)
        Fail(kResultOutputFailure, "cannot read the status of " + m_PartialPath + ": " + reason, m_FinalPath);
    facts.modified = m_HasTime ? m_Time : status->modified;
    if (m_Digest) {
        const int reading = ::open(m_PartialPath.c_str(), O_RDONLY | O_CLOEXEC);
        if (reading < 0)
            Fail(kResultOutputFailure, "cannot read back " + m_PartialPath + ": " + Reason(), m_FinalPath);
        try {
            facts.digest = m_Digest->Finish(reading, m_PartialPath);
        } catch (const CUError&) {
            ::close(reading);
            throw;
        }
        ::close(reading);
    }
    m_Sealed = facts;
    return *m_Sealed;
}

void CUOutputFile::SetModificationTime(const timespec& time) {
    m_HasTime = true;
    m_Time = time;
}

void CUOutputFile::Commit(bool replace) {
    if (m_Committed) return;
    Sync();
    if (m_HasTime) {
        const timespec times[2] = {{0, UTIME_OMIT}, m_Time};
        if (::futimens(m_Descriptor, times) != 0)
            Fail(kResultOutputFailure, "cannot set the time of " + m_PartialPath + ": " + Reason(),
                 m_FinalPath);
    }
    const int descriptor = m_Descriptor;
    m_Descriptor = -1;
    if (::close(descriptor) != 0)
        Fail(OutputFailureCode(), "cannot write " + m_PartialPath + ": " + Reason(), m_FinalPath);
    RenameIntoPlace(replace);
    const std::string folder = std::filesystem::path(m_FinalPath).parent_path().string();
    if (!SyncFolder(folder.empty() ? "." : folder))
        Fail(kResultOutputFailure, "cannot sync the folder of " + m_FinalPath + ": " + Reason(), m_FinalPath);
}

void CUOutputFile::RenameIntoPlace(bool replace) {
    if (replace ? ::rename(m_PartialPath.c_str(), m_FinalPath.c_str()) != 0
                : !RenameNoReplace(m_PartialPath, m_FinalPath)) {
        const bool exists = errno == EEXIST;
        const std::string reason = Reason();
        ::unlink(m_PartialPath.c_str());
        Fail(exists ? kResultOutputExists : kResultOutputFailure,
             exists ? m_FinalPath + " exists"
                    : "cannot rename " + m_PartialPath + " to " + m_FinalPath + ": " + reason,
             m_FinalPath);
    }
    m_Committed = true;
    CUInterruption::ReleaseFile(m_InterruptSlot);
    m_InterruptSlot = -1;
}

void CUOutputFile::Finish() {
    if (m_Committed || m_Finished) return;
    if (m_Descriptor < 0) Fail(kResultOutputFailure, m_PartialPath + " is closed", m_FinalPath);
    FlushBuffer();
    const int descriptor = m_Descriptor;
    m_Descriptor = -1;
    if (::close(descriptor) != 0)
        Fail(OutputFailureCode(), "cannot write " + m_PartialPath + ": " + Reason(), m_FinalPath);
    m_Buffer.reset();  // many finished files may wait for their commit
    m_Finished = true;
}

void CUOutputFile::CommitFinished(bool replace) {
    if (m_Committed) return;
    if (!m_Finished) Fail(kResultOutputFailure, m_PartialPath + " is not finished", m_FinalPath);
    RenameIntoPlace(replace);
}

bool CUOutputFile::SyncFileSystem(const std::string& path) {
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) return false;
    const bool synced = ::syncfs(descriptor) == 0;
    ::close(descriptor);
    return synced;
}

void CUOutputFile::Close() {
    if (m_Descriptor >= 0) ::close(m_Descriptor);
    m_Descriptor = -1;
    m_Buffer.reset();
    m_Fill = 0;
}

void CUOutputFile::Discard() {
    if (m_Committed) return;
    const bool open = m_Descriptor >= 0;
    Close();
    if (open || m_Finished || m_InterruptSlot >= 0) ::unlink(m_PartialPath.c_str());
    CUInterruption::ReleaseFile(m_InterruptSlot);
    m_InterruptSlot = -1;
}

bool CUOutputFile::IsPartialName(const std::string& name, long* pid) {
    const size_t suffix = std::strlen(kPartialSuffix);
    if (name.size() <= suffix + 1 || name[0] != '.' ||
        name.compare(name.size() - suffix, suffix, kPartialSuffix) != 0)
        return false;
    // ".NAME.<pid>.<n>" before the suffix.
    const std::string stem = name.substr(0, name.size() - suffix);
    const size_t countDot = stem.rfind('.');
    if (countDot == std::string::npos || countDot == 0) return false;
    const size_t pidDot = stem.rfind('.', countDot - 1);
    if (pidDot == std::string::npos || pidDot == 0) return false;
    const std::string count = stem.substr(countDot + 1),
                      process = stem.substr(pidDot + 1, countDot - pidDot - 1);
    const auto digits = [](const std::string& s) {
        return !s.empty() && s.size() <= 18 && s.find_first_not_of("0123456789") == std::string::npos;
    };
    if (!digits(count) || !digits(process)) return false;
    if (pid) *pid = std::stol(process);
    return true;
}

std::vector<std::string> CUOutputFile::RemoveStalePartials(const std::string& folder) {
    std::vector<std::string> removed;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return removed;
    while (const dirent* entry = ::readdir(dir)) {
        long pid = 0;
        const std::string name = entry->d_name;
        if (!IsPartialName(name, &pid)) continue;
        // A live process may still be writing it (its own lock keeps other
        // writers out of its folder); a process that is gone never finishes.
        if (pid > 0 && pid != ::getpid() && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH))
            continue;
        if (pid == ::getpid()) continue;
        const std::string path = folder + "/" + name;
        struct stat info {};
        if (::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::unlink(path.c_str()) == 0)
            removed.push_back(name);
    }
    ::closedir(dir);
    return removed;
}

bool CUOutputFile::SyncFolder(const std::string& folder) {
    const int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0) return false;
    const bool synced = ::fsync(descriptor) == 0 || errno == EINVAL;  // some file systems cannot sync folders
    ::close(descriptor);
    return synced;
}

}  // namespace ComVantoVantoQZ64RADPlug
