#pragma once
// Reads one file from its start to its end in large sequential reads.
// kCached reads through the page cache, the kernel told that the access is
// sequential. kFromDrive reads what the drive holds, not what the page cache
// remembers: direct I/O where the file system takes it; elsewhere the
// file's cached pages are dropped before the first read (after the file's
// data was synced they are clean, so they go) and again when done. A file
// system that keeps its files in memory (tmpfs, ramfs) has no drive: its
// pages are what it holds, so they are read as they are (dropping them
// cannot work there, and costs the whole machine a drain of every CPU's
// page lists per call). Failures throw CUError naming the file and the
// offset. One object is used by one thread at a time.
#include "CUFileStatus.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

namespace ComVantoVantoQZ64RADPlug {

// Result code of the drive file reader (foundation range).
constexpr uint32_t kResultReadFailure = 0x10040;  // a file cannot be opened or read

class CUDriveFileReader {
public:
    enum class Source { kCached, kFromDrive };
    // Buffers, sizes and offsets of direct reads are multiples of this.
    static constexpr size_t kAlignment = 4096;

    struct BufferFree {
        void operator()(unsigned char* bytes) const { std::free(bytes); }
    };
    using Buffer = std::unique_ptr<unsigned char, BufferFree>;
    // `size` bytes (rounded up to kAlignment) aligned for direct reads and
    // writes; a size of whole 2 MiB pages is backed by huge pages where the
    // system has them.
    static Buffer AllocateBuffer(size_t size);

    CUDriveFileReader(std::string path, Source source);
    ~CUDriveFileReader();
    CUDriveFileReader(const CUDriveFileReader&) = delete;
    CUDriveFileReader& operator=(const CUDriveFileReader&) = delete;

    // Up to `size` bytes at the current offset into `buffer`; fewer only at
    // the end of the file, 0 once there. With DirectIO() the buffer must come
    // from AllocateBuffer and `size` be a multiple of kAlignment.
    size_t Read(unsigned char* buffer, size_t size);
    // Asks the kernel to start reading the next `size` bytes into the page
    // cache now, so that they are there when asked for (cached reads only;
    // a hint, nothing when it cannot).
    void ReadAhead(size_t size);
    // Bytes read so far.
    uint64_t Offset() const { return m_Offset; }
    // Whether reads bypass the page cache.
    bool DirectIO() const { return m_Direct; }
    // Whether the file lies on a file system that keeps its files in memory.
    bool MemoryBacked() const { return m_MemoryBacked; }
    // The open file's status now (size and time, to notice a file that
    // changes while it is read). Throws CUError when it cannot be read.
    CUFileStatus Status() const;
    const std::string& Path() const { return m_Path; }

private:
    // Whether the file's cached pages are dropped around the reads.
    bool DropsPages() const;

    std::string m_Path;
    Source m_Source;
    int m_Descriptor = -1;
    bool m_Direct = false;
    bool m_MemoryBacked = false;
    uint64_t m_Offset = 0;
};

}  // namespace ComVantoVantoQZ64RADPlug
