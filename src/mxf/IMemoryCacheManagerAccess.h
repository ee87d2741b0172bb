#pragma once
// The side of a file stream that the block-cache manager talks to when it
// lends or takes back a cache. Called with the stream's own lock held by the
// requesting stream; the manager never calls a previous holder.

namespace ComVantoVantoQZ64RADPlug {

class FBCMemoryCache;

class IMemoryCacheManagerAccess {
public:
    virtual ~IMemoryCacheManagerAccess() = default;
    // Forget the cache lent so far.
    virtual void EraseCache() = 0;
    // Use this cache (lent, not owned) from now on.
    virtual void SetUseCache(FBCMemoryCache* cache) = 0;
};

}  // namespace ComVantoVantoQZ64RADPlug
