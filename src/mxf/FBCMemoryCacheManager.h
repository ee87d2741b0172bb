#pragma once
// The process-wide pool of ten 4 MiB block caches, lent whole to the file
// streams that read most recently. A stream that has not read for a while
// loses its cache to a newer reader; it gets another at its next read.
// Thread safety: lending and returning run under the manager's lock; lock
// order is stream, manager, cache. The one instance is created and destroyed
// under a global lock.
#include "CUObject.h"
#include "CURecursiveLock.h"
#include "CUSharedPtr.h"
#include "FBCMemoryCache.h"

#include <cstdint>
#include <list>
#include <vector>

namespace ComVantoVantoQZ64RADPlug {

class IMemoryCacheManagerAccess;

struct _FBCMemoryCacheManagerItem {
    IMemoryCacheManagerAccess* stream = nullptr;  // current holder, not owned
    FBCMemoryCache* cache = nullptr;              // owned by the manager
};

class FBCMemoryCacheManager : public CUObject {
public:
    static constexpr uint32_t kCacheCount = 10;

    // The manager, created on first use; null when the pool cannot be
    // allocated (a later call tries again).
    static FBCMemoryCacheManager* GetInstance();
    // The manager if it exists, without creating it.
    static FBCMemoryCacheManager* ExistingInstance();
    // Destroys the manager and its caches. Only when no stream is reading.
    static void DeactivateInstance();

    ~FBCMemoryCacheManager() override;

    // Lends `stream` a cache (its own if it still holds one, else a free or
    // the least recently used one, emptied) and ends with
    // stream->SetUseCache(cache). Called with the stream's lock held.
    void UpdateMemoryCache(IMemoryCacheManagerAccess* stream);
    // Takes back the cache of a stream being destroyed, emptied.
    void removeCache(IMemoryCacheManagerAccess* stream);
    // The record held by `stream`, or null; moved to the front if asked.
    // Callers hold the manager's lock.
    _FBCMemoryCacheManagerItem* cacheItemAtAccessPtr(IMemoryCacheManagerAccess* stream, bool moveToFront);

    // Number of caches currently lent (for inspection).
    uint32_t UsedCacheCount();

private:
    FBCMemoryCacheManager() = default;
    uint32_t Init();

    CURecursiveLock m_Lock;
    std::vector<CUSharedPtr<FBCMemoryCache>> m_Caches;
    _FBCMemoryCacheManagerItem m_Items[kCacheCount];
    std::list<_FBCMemoryCacheManagerItem*> m_Used;  // most recently used first
    std::list<_FBCMemoryCacheManagerItem*> m_Free;
};

}  // namespace ComVantoVantoQZ64RADPlug
