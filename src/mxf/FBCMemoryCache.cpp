#include "FBCMemoryCache.h"

#include "CUAutoLock.h"

#include <new>

namespace ComVantoVantoQZ64RADPlug {

CUSharedPtr<FBCMemoryCache> FBCMemoryCache::Create() {
    CUSharedPtr<FBCMemoryCache> cache(new (std::nothrow) FBCMemoryCache());
    if (!cache || cache->Init() != 0) return CUSharedPtr<FBCMemoryCache>();
    return cache;
}

FBCMemoryCache::~FBCMemoryCache() = default;

uint32_t FBCMemoryCache::Init() {
    m_Buffer.reset(new (std::nothrow) unsigned char[kCacheSize]);
    if (!m_Buffer) return 0x140002;
    for (uint32_t i = 0; i < kBlockCount; ++i) {
        m_Items[i].offset = 0;
        m_Items[i].block = m_Buffer.get() + i * kBlockSize;
        m_Free.push_back(&m_Items[i]);
    }
    return 0;
}

_FBCMemoryCacheItem* FBCMemoryCache::cacheItemAtFileOffset(uint64_t blockOffset, bool moveToFront) {
    for (auto it = m_Used.begin(); it != m_Used.end(); ++it) {
        if ((*it)->offset != blockOffset) continue;
        _FBCMemoryCacheItem* item = *it;
        if (moveToFront && it != m_Used.begin()) m_Used.splice(m_Used.begin(), m_Used, it);
        return item;
    }
    return nullptr;
}

unsigned char* FBCMemoryCache::GetMemoryBufferAtFileOffset(uint64_t blockOffset) {
    CUAutoLock guard(&m_Lock);
    _FBCMemoryCacheItem* item = cacheItemAtFileOffset(blockOffset, true);
    return item ? item->block : nullptr;
}

unsigned char* FBCMemoryCache::addCache(uint64_t blockOffset) {
    CUAutoLock guard(&m_Lock);
    if (_FBCMemoryCacheItem* item = cacheItemAtFileOffset(blockOffset, true)) return item->block;
    _FBCMemoryCacheItem* item = nullptr;
    if (!m_Free.empty()) {
        item = m_Free.back();
        m_Free.pop_back();
    } else if (!m_Used.empty()) {
        item = m_Used.back();
        m_Used.pop_back();
    } else {
        return nullptr;
    }
    item->offset = blockOffset;
    m_Used.push_front(item);
    return item->block;
}

void FBCMemoryCache::removeCacheAtFileOffset(uint64_t blockOffset) {
    CUAutoLock guard(&m_Lock);
    for (auto it = m_Used.begin(); it != m_Used.end(); ++it) {
        if ((*it)->offset != blockOffset) continue;
        m_Free.push_back(*it);
        m_Used.erase(it);
        return;
    }
}

void FBCMemoryCache::cleanCache() {
    CUAutoLock guard(&m_Lock);
    while (!m_Used.empty()) {
        m_Free.push_back(m_Used.front());
        m_Used.pop_front();
    }
}

IMemoryCacheManagerAccess* FBCMemoryCache::Owner() {
    CUAutoLock guard(&m_Lock);
    return m_Owner;
}

void FBCMemoryCache::SetOwner(IMemoryCacheManagerAccess* owner) {
    CUAutoLock guard(&m_Lock);
    m_Owner = owner;
}

uint32_t FBCMemoryCache::UsedBlockCount() {
    CUAutoLock guard(&m_Lock);
    return static_cast<uint32_t>(m_Used.size());
}

}  // namespace ComVantoVantoQZ64RADPlug
