#pragma once
// Stream over an open file. Reads move the file handle only when it is not
// already at the wanted offset, so consecutive reads do not seek. Every
// public operation holds the stream's recursive lock; failures of Read,
// Write, Seek, Position and SetLength are answered with 0 or by closing the
// stream, never thrown.
#include "CUStream.h"

#include <atomic>
#include <cstdint>

namespace ComVantoVantoQZ64RADPlug {

class CUStringMac;

class CUFileStream : public CUStream {
public:
    // Opens `path` as the mode says (see CUStream_FileMode). With noThrow the
    // stream stays closed on failure; otherwise the failure value is thrown:
    // 2 null path, 1 empty path, 5 a folder, 4 mode/access/state conflict or
    // platform refusal, 9 missing file for modes 3 and 5.
    CUFileStream(const CUSharedPtr<CUStringMac>& path, CUStream_FileMode mode, CUStream_FileAccess access,
                 bool noThrow);
    CUFileStream(const CUStringMac* path, CUStream_FileMode mode, CUStream_FileAccess access, bool noThrow);
    CUFileStream(const CUFileStream&) = delete;
    CUFileStream& operator=(const CUFileStream&) = delete;
    ~CUFileStream() override;

    bool CanRead() const override;
    bool CanWrite() const override;
    bool CanSeek() const override;
    uint64_t Read(unsigned char* buffer, uint64_t size, int64_t offset, CUStream_Seek_Origin origin) override;
    uint64_t Write(unsigned char* buffer, uint64_t size, int64_t offset,
                   CUStream_Seek_Origin origin) override;
    uint64_t Seek(int64_t offset, CUStream_Seek_Origin origin) override;
    uint64_t Position() override;
    // Sets the file size; the readable range becomes (0, length). Closes the
    // stream on failure.
    void SetLength(uint64_t length) override;

    bool IsOSFileHandleValid() const;
    void Close();

private:
    void Open(const CUStringMac* path, CUStream_FileMode mode, CUStream_FileAccess access);
    void CloseLocked();

    // Atomic so that the Can... queries may be asked without the lock while
    // another thread closes the stream.
    std::atomic<bool> m_CanRead{false};
    std::atomic<bool> m_CanWrite{false};
    std::atomic<bool> m_CanSeek{false};
    std::atomic<bool> m_HandleValid{false};
    int m_Fd = -1;
    // The next byte the platform reads or writes.
    uint64_t m_HandlePosition = 0;
};

}  // namespace ComVantoVantoQZ64RADPlug
