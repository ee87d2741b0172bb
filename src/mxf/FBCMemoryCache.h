#pragma once
// One 4 MiB block cache of the process-wide pool: 64 blocks of 64 KiB, each
// labelled with the file offset of its first byte, most recently used first.
// Thread safety: every operation takes the cache's recursive lock. A cache is
// lent to one stream at a time; the owner label (set by the manager) lets a
// stream check, under the cache's lock, that the cache is still its own
// before it touches a block.
#include "CUObject.h"
#include "CURecursiveLock.h"
#include "CUSharedPtr.h"

#include <cstdint>
#include <list>
#include <memory>

namespace ComVantoVantoQZ64RADPlug {

class IMemoryCacheManagerAccess;

struct _FBCMemoryCacheItem {
    uint64_t offset = 0;             // file offset of the block's first byte
    unsigned char* block = nullptr;  // kBlockSize bytes inside the cache buffer
};

class FBCMemoryCache : public CUObject {
public:
    static constexpr uint64_t kBlockSize = 0x10000;
    static constexpr uint64_t kCacheSize = 0x400000;
    static constexpr uint32_t kBlockCount = kCacheSize / kBlockSize;

    // Null when the buffer cannot be allocated.
    static CUSharedPtr<FBCMemoryCache> Create();
    ~FBCMemoryCache() override;

    // The block for `blockOffset` (a multiple of kBlockSize): the cached one
    // moved to the front, else the free or least recently used block,
    // relabelled. The label is set before the caller fills the block.
    unsigned char* addCache(uint64_t blockOffset);
    // The cached block for `blockOffset` (moved to the front), or null.
    unsigned char* GetMemoryBufferAtFileOffset(uint64_t blockOffset);
    // The item labelled `blockOffset`, or null; moved to the front if asked.
    // Callers hold the cache's lock.
    _FBCMemoryCacheItem* cacheItemAtFileOffset(uint64_t blockOffset, bool moveToFront);
    // Unlabels the block for `blockOffset` (a block whose read failed must
    // never serve its stale bytes).
    void removeCacheAtFileOffset(uint64_t blockOffset);
    // Every block back to the free list.
    void cleanCache();

    // The stream the manager lent this cache to (null when free).
    IMemoryCacheManagerAccess* Owner();
    void SetOwner(IMemoryCacheManagerAccess* owner);

    CURecursiveLock& Lock() { return m_Lock; }

    // Number of labelled blocks (for inspection).
    uint32_t UsedBlockCount();

private:
    FBCMemoryCache() = default;
    uint32_t Init();

    CURecursiveLock m_Lock;
    std::unique_ptr<unsigned char[]> m_Buffer;
    _FBCMemoryCacheItem m_Items[kBlockCount];
    std::list<_FBCMemoryCacheItem*> m_Used;  // most recently used first
    std::list<_FBCMemoryCacheItem*> m_Free;
    IMemoryCacheManagerAccess* m_Owner = nullptr;
};

}  // namespace ComVantoVantoQZ64RADPlug
