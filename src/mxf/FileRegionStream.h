#pragma once
// A file with one stretch of it held in memory: reads inside the stretch are
// served from the copy, every other read by the file, so the stream delivers
// exactly what the file does. The MXF reader holds the header partition and
// the random index pack of a file in one: their many small reads then cost
// no file access, and the file is read no further than those structures say
// they reach (the block cache would read whole 64 KiB blocks).
// Thread safety: the held bytes never change once created, so reads inside
// the stretch need no lock; reads outside take the file's own lock.
#include "CUSharedPtr.h"
#include "CUStream.h"

#include <cstdint>
#include <memory>

namespace ComVantoVantoQZ64RADPlug {

class FileRegionStream : public CUStream {
public:
    // The longest stretch held; a longer one is read through the file.
    static constexpr uint64_t kMaxHeldBytes = 0x400000;

    // Holds bytes [start, end) of `file`, a file whose length does not change
    // while it is read. Bytes a previous stretch of the same file holds are
    // taken from it when the new stretch contains it, so a stretch that
    // grows reads each byte once. Empty when the stretch is empty, does not
    // lie within the file, is longer than kMaxHeldBytes or cannot be read
    // whole.
    static CUSharedPtr<FileRegionStream> Create(const CUSharedPtr<CUStream>& file, uint64_t start,
                                                uint64_t end, const FileRegionStream* previous);
    ~FileRegionStream() override;

    bool CanRead() const override;
    // As the file reads: from the held copy when the whole range lies in it.
    uint64_t Read(unsigned char* buffer, uint64_t size, int64_t offset, CUStream_Seek_Origin origin) override;

    const CUSharedPtr<CUStream>& File() const { return m_File; }
    // The file's length when the stretch was read; it never changes.
    uint64_t FileLength() const { return m_Length; }
    // File offsets of the first held byte and of the byte after the last.
    uint64_t HeldStart() const { return m_Start; }
    uint64_t HeldEnd() const { return m_Start + m_HeldLength; }
    const unsigned char* HeldBytes() const { return m_Held.get(); }
    // Whether bytes [offset, offset + count) of the file are all held.
    bool Holds(uint64_t offset, uint64_t count) const {
        return offset >= m_Start && count <= m_HeldLength && offset - m_Start <= m_HeldLength - count;
    }

private:
    FileRegionStream(const CUSharedPtr<CUStream>& file, uint64_t start);

    CUSharedPtr<CUStream> m_File;
    uint64_t m_Start = 0;
    std::unique_ptr<unsigned char[]> m_Held;
    uint64_t m_HeldLength = 0;
};

}  // namespace ComVantoVantoQZ64RADPlug
