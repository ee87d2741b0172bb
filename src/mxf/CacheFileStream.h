#pragma once
// Read-only stream over a file whose reads go through 64 KiB blocks of a
// 4 MiB cache lent by the process-wide FBCMemoryCacheManager. Every MXF file
// is read through one. Thread safety: every operation takes the stream's own
// recursive lock; reads of one stream are serialised, different streams read
// in parallel (lock order: stream, manager, cache).
#include "CUSharedPtr.h"
#include "CUStream.h"
#include "IMemoryCacheManagerAccess.h"

#include <cstdint>

namespace ComVantoVantoQZ64RADPlug {

class CUStringMac;
class FBCMemoryCache;

class CacheFileStream : public CUStream, public IMemoryCacheManagerAccess {
public:
    // Empty when the file cannot be opened.
    static CUSharedPtr<CacheFileStream> Create(const CUSharedPtr<CUStringMac>& path);
    ~CacheFileStream() override;

    // Opens `path` for reading: length = file size, position 0, readable
    // range (0, length). 0x130001 on any failure.
    uint32_t Init(const CUSharedPtr<CUStringMac>& path);

    // True while the file is open.
    bool CanRead() const override;
    bool CanSeek() const override;
    // A null buffer throws 2; a closed file reads nothing. Returns the bytes
    // placed in `buffer` (short at the end of the file or when the file
    // cannot be read). Cached blocks serve what they hold; a read of a block
    // or more reads the uncached whole blocks it covers straight into
    // `buffer` in one call, so that each byte of a picture is copied once.
    uint64_t Read(unsigned char* buffer, uint64_t size, int64_t offset, CUStream_Seek_Origin origin) override;
    // Reads `size` bytes at `offset` straight from the file, neither using
    // nor filling the blocks: for a stretch the caller reads once and keeps
    // (FileRegionStream). Short at the end of the file or when it cannot be
    // read; a null buffer throws 2.
    uint64_t ReadUncached(unsigned char* buffer, uint64_t size, uint64_t offset);
    // Origin 0 sets, 1 adds to the position, 2 adds to the length.
    uint64_t Seek(int64_t offset, CUStream_Seek_Origin origin) override;

    void EraseCache() override;
    // Returns the cache it holds to the manager's pool, emptied.
    void ReleaseCache();
    void SetUseCache(FBCMemoryCache* cache) override;

    // Tells the platform the file will be read front to back (import), so
    // that it reads further ahead.
    void AdviseSequential();

    // True when the platform may keep its own copy of what is read.
    bool UsesSystemCache() const { return m_UseSystemCache; }

private:
    CacheFileStream();

    // Copies from the block holding `offset` when it is cached; 0 otherwise.
    uint64_t ReadFromCache(FBCMemoryCache* cache, uint64_t offset, unsigned char* dst, uint64_t count);
    // Loads the block holding `offset` from the file, then copies as
    // ReadFromCache does; 0 when the file read fails (the block is then
    // unlabelled).
    uint64_t ReadFromFile(FBCMemoryCache* cache, uint64_t offset, unsigned char* dst, uint64_t count);
    // Reads straight from the file, bypassing the pool.
    uint64_t ReadDirect(uint64_t offset, unsigned char* dst, uint64_t count);

    int m_ForkRef = -1;  // open file descriptor; -1 when closed
    bool m_UseSystemCache = true;
    FBCMemoryCache* m_Cache = nullptr;  // lent by the manager, not owned
};

}  // namespace ComVantoVantoQZ64RADPlug
