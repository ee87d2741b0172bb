#include "FBCMemoryCacheManager.h"

#include "CUAutoLock.h"
#include "IMemoryCacheManagerAccess.h"

#include <mutex>
#include <new>

namespace ComVantoVantoQZ64RADPlug {

namespace {
std::mutex g_ManagerLock;
FBCMemoryCacheManager* g_Manager = nullptr;
CUSharedPtr<FBCMemoryCacheManager>* g_ManagerHolder = nullptr;
}  // namespace

FBCMemoryCacheManager* FBCMemoryCacheManager::GetInstance() {
    std::lock_guard<std::mutex> guard(g_ManagerLock);
    if (g_Manager) return g_Manager;
    auto* holder =
        new (std::nothrow) CUSharedPtr<FBCMemoryCacheManager>(new (std::nothrow) FBCMemoryCacheManager());
    if (!holder) return nullptr;
    if (!*holder || (*holder)->Init() != 0) {
        delete holder;
        return nullptr;
    }
    g_ManagerHolder = holder;
    g_Manager = holder->get();
    return g_Manager;
}

FBCMemoryCacheManager* FBCMemoryCacheManager::ExistingInstance() {
    std::lock_guard<std::mutex> guard(g_ManagerLock);
    return g_Manager;
}

void FBCMemoryCacheManager::DeactivateInstance() {
    std::lock_guard<std::mutex> guard(g_ManagerLock);
    delete g_ManagerHolder;
    g_ManagerHolder = nullptr;
    g_Manager = nullptr;
}

FBCMemoryCacheManager::~FBCMemoryCacheManager() = default;

uint32_t FBCMemoryCacheManager::Init() {
    for (uint32_t i = 0; i < kCacheCount; ++i) {
        CUSharedPtr<FBCMemoryCache> cache = FBCMemoryCache::Create();
        if (!cache) {
            m_Caches.clear();
            m_Free.clear();
            return 0x140002;
        }
        m_Caches.push_back(cache);
        m_Items[i].stream = nullptr;
        m_Items[i].cache = cache.get();
        m_Free.push_back(&m_Items[i]);
    }
    return 0;
}

_FBCMemoryCacheManagerItem* FBCMemoryCacheManager::cacheItemAtAccessPtr(IMemoryCacheManagerAccess* stream,
                                                                        bool moveToFront) {
    for (auto it = m_Used.begin(); it != m_Used.end(); ++it) {
        if ((*it)->stream != stream) continue;
        _FBCMemoryCacheManagerItem* item = *it;
        if (moveToFront && it != m_Used.begin()) m_Used.splice(m_Used.begin(), m_Used, it);
        return item;
    }
    return nullptr;
}

void FBCMemoryCacheManager::UpdateMemoryCache(IMemoryCacheManagerAccess* stream) {
    if (!stream) return;
    CUAutoLock guard(&m_Lock);
    _FBCMemoryCacheManagerItem* item = cacheItemAtAccessPtr(stream, true);
    if (!item) {
        if (!m_Free.empty()) {
            item = m_Free.back();
            m_Free.pop_back();
        } else if (!m_Used.empty()) {
            item = m_Used.back();
            m_Used.pop_back();
            // Empty the cache and relabel it under its own lock: the previous
            // holder checks the label under the same lock before every use,
            // so it can never be served by this cache again.
            item->cache->cleanCache();
            stream->EraseCache();
        } else {
            return;
        }
        item->stream = stream;
        m_Used.push_front(item);
    }
    // Relabelling the owner under the cache's lock also waits for a block
    // operation the previous holder may still be running on it.
    {
        CUAutoLock cacheGuard(&item->cache->Lock());
        if (item->cache->Owner() != stream) {
            item->cache->cleanCache();
            item->cache->SetOwner(stream);
        }
    }
    stream->SetUseCache(item->cache);
}

void FBCMemoryCacheManager::removeCache(IMemoryCacheManagerAccess* stream) {
    if (!stream) return;
    CUAutoLock guard(&m_Lock);
    for (auto it = m_Used.begin(); it != m_Used.end(); ++it) {
        if ((*it)->stream != stream) continue;
        _FBCMemoryCacheManagerItem* item = *it;
        {
            CUAutoLock cacheGuard(&item->cache->Lock());
            item->cache->cleanCache();
            item->cache->SetOwner(nullptr);
        }
        item->stream = nullptr;
        m_Used.erase(it);
        m_Free.push_back(item);
        return;
    }
}

uint32_t FBCMemoryCacheManager::UsedCacheCount() {
    CUAutoLock guard(&m_Lock);
    return static_cast<uint32_t>(m_Used.size());
}

}  // namespace ComVantoVantoQZ64RADPlug
