#include "CacheFileStream.h"

#include "CUAutoLock.h"
#include "CUFailure.h"
#include "CULockAbstract.h"
#include "CUStringMac.h"
#include "FBCMemoryCache.h"
#include "FBCMemoryCacheManager.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

namespace ComVantoVantoQZ64RADPlug {

namespace {
constexpr uint64_t kBlockSize = FBCMemoryCache::kBlockSize;
// A stream whose cache keeps being taken by other readers between lending
// and use falls back to reading the file directly after this many tries.
constexpr int kMaxCacheRequests = 8;
}  // namespace

CacheFileStream::CacheFileStream() {
    // The platform may cache file data here; the no-cache request of older
    // systems has no counterpart worth making on this one.
    m_UseSystemCache = true;
}

CacheFileStream::~CacheFileStream() {
    {
        CUAutoLock guard(m_Lock.get());
        if (m_ForkRef >= 0) ::close(m_ForkRef);
        m_ForkRef = -1;
    }
    if (FBCMemoryCacheManager* manager = FBCMemoryCacheManager::ExistingInstance())
        manager->removeCache(this);
}

CUSharedPtr<CacheFileStream> CacheFileStream::Create(const CUSharedPtr<CUStringMac>& path) {
    CUSharedPtr<CacheFileStream> stream(new (std::nothrow) CacheFileStream());
    if (!stream || stream->Init(path) != 0) return CUSharedPtr<CacheFileStream>();
    return stream;
}

uint32_t CacheFileStream::Init(const CUSharedPtr<CUStringMac>& path) {
    if (!path || path->IsNull()) return 0x130001;
    const std::string utf8 = path->Utf8();
    if (utf8.empty()) return 0x130001;
    CUAutoLock guard(m_Lock.get());
    if (m_ForkRef >= 0) ::close(m_ForkRef);
    m_ForkRef = -1;
    int fd;
    // Not blocking: a named pipe in place of a file would wait for a writer
    // forever; it is refused below like every file that is not regular.
    do {
        fd = ::open(utf8.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return 0x130001;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return 0x130001;
    }
    m_ForkRef = fd;
    m_Length = static_cast<uint64_t>(st.st_size);
    m_Position = 0;
    m_ReadableRange.location = 0;
    m_ReadableRange.length = m_Length;
    (void)FBCMemoryCacheManager::GetInstance();
    return 0;
}

bool CacheFileStream::CanRead() const {
    return m_ForkRef >= 0;
}
bool CacheFileStream::CanSeek() const {
    return m_ForkRef >= 0;
}

uint64_t CacheFileStream::Seek(int64_t offset, CUStream_Seek_Origin origin) {
    CUAutoLock guard(m_Lock.get());
    if (!CanRead()) throw CUError(CUFailure(kCUErrNotSupported, "seek on a closed file"));
    switch (origin) {
        case kCUStreamSeekBegin:
            m_Position = static_cast<uint64_t>(offset);
            break;
        case kCUStreamSeekCurrent:
            m_Position += static_cast<uint64_t>(offset);
            break;
        case kCUStreamSeekEnd:
            m_Position = m_Length + static_cast<uint64_t>(offset);
            break;
        default:
            break;
    }
    return m_Position;
}

void CacheFileStream::AdviseSequential() {
    CUAutoLock guard(m_Lock.get());
    // Advice only: a platform that ignores it reads the same bytes.
    if (m_ForkRef >= 0) (void)::posix_fadvise(m_ForkRef, 0, 0, POSIX_FADV_SEQUENTIAL);
}

void CacheFileStream::EraseCache() {
    CUAutoLock guard(m_Lock.get());
    m_Cache = nullptr;
}

void CacheFileStream::ReleaseCache() {
    CUAutoLock guard(m_Lock.get());  // lock order: stream, manager, cache
    if (FBCMemoryCacheManager* manager = FBCMemoryCacheManager::ExistingInstance())
        manager->removeCache(this);
    m_Cache = nullptr;
}

void CacheFileStream::SetUseCache(FBCMemoryCache* cache) {
    CUAutoLock guard(m_Lock.get());
    m_Cache = cache;
}

uint64_t CacheFileStream::Read(unsigned char* buffer, uint64_t size, int64_t offset,
                               CUStream_Seek_Origin origin) {
    if (!buffer) throw CUError(CUFailure(kCUErrNullArgument, "read into an absent buffer"));
    CUAutoLock guard(m_Lock.get());
    if (m_ForkRef < 0) return 0;
    _CURange range = CalcReadRange(size, offset, origin);
    if (range.length == 0 || range.location >= m_Length) return 0;
    uint64_t count = std::min(range.length, m_Length - range.location);

    FBCMemoryCacheManager* manager = FBCMemoryCacheManager::GetInstance();
    if (!manager) return 0;
    manager->UpdateMemoryCache(this);

    uint64_t done = 0;
    uint64_t at = range.location;
    int requests = 1;
    while (done < count) {
        FBCMemoryCache* cache = m_Cache;
        uint64_t piece = 0;
        bool lost = (cache == nullptr);
        if (cache) {
            // The ownership check and the block use happen under the cache's
            // lock: a cache the manager gave to another stream in the
            // meantime is never used by this one.
            CUAutoLock cacheGuard(&cache->Lock());
            if (cache->Owner() != this) {
                lost = true;
            } else {
                piece = ReadFromCache(cache, at, buffer + done, count - done);
                if (piece == 0) {
                    // A large read (a picture) goes straight into the caller's
                    // buffer up to its last block boundary; the partial last
                    // block is cached, since the keys that follow lie in it.
                    const uint64_t end = range.location + count;
                    const uint64_t wholeEnd = end - end % kBlockSize;
                    if (count >= kBlockSize && wholeEnd > at) {
                        piece = ReadDirect(at, buffer + done, wholeEnd - at);
                        // A file that shrank gives only its whole blocks, as
                        // block by block: both ways end at the same byte.
                        if (piece < wholeEnd - at) {
                            const uint64_t whole = (at + piece) - (at + piece) % kBlockSize;
                            piece = whole > at ? whole - at : 0;
                        }
                    } else {
                        piece = ReadFromFile(cache, at, buffer + done, count - done);
                    }
                }
                if (piece == 0) break;
            }
        }
        if (lost) {
            if (requests >= kMaxCacheRequests) {
                piece = ReadDirect(at, buffer + done, count - done);
                if (piece == 0) break;
            } else {
                ++requests;
                manager->UpdateMemoryCache(this);
                continue;
            }
        }
        done += piece;
        at += piece;
        m_Position = at;
    }
    return done;
}

uint64_t CacheFileStream::ReadUncached(unsigned char* buffer, uint64_t size, uint64_t offset) {
    if (!buffer) throw CUError(CUFailure(kCUErrNullArgument, "read into an absent buffer"));
    CUAutoLock guard(m_Lock.get());
    if (m_ForkRef < 0 || offset >= m_Length) return 0;
    const uint64_t done = ReadDirect(offset, buffer, std::min(size, m_Length - offset));
    m_Position = offset + done;
    return done;
}

uint64_t CacheFileStream::ReadFromCache(FBCMemoryCache* cache, uint64_t offset, unsigned char* dst,
                                        uint64_t count) {
    if (offset >= m_Length) return 0;
    const uint64_t blockOffset = offset - offset % kBlockSize;
    unsigned char* block = cache->GetMemoryBufferAtFileOffset(blockOffset);
    if (!block) return 0;
    const uint64_t inBlock = offset - blockOffset;
    // A block at the end of the file holds only the bytes up to the end.
    const uint64_t valid = std::min(kBlockSize, m_Length - blockOffset);
    const uint64_t n = std::min({kBlockSize - inBlock, count, valid - inBlock});
    std::memcpy(dst, block + inBlock, n);
    return n;
}

uint64_t CacheFileStream::ReadFromFile(FBCMemoryCache* cache, uint64_t offset, unsigned char* dst,
                                       uint64_t count) {
    if (offset >= m_Length) return 0;
    const uint64_t blockOffset = offset - offset % kBlockSize;
    unsigned char* block = cache->addCache(blockOffset);
    if (!block) return 0;
    const uint64_t wanted = std::min(kBlockSize, m_Length - blockOffset);
    uint64_t got = 0;
    while (got < wanted) {
        const ssize_t r =
            ::pread(m_ForkRef, block + got, wanted - got, static_cast<off_t>(blockOffset + got));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        got += static_cast<uint64_t>(r);
    }
    if (got < wanted) {
        // The file shrank or the read failed: never let the label vouch for
        // bytes that were not read.
        cache->removeCacheAtFileOffset(blockOffset);
        return 0;
    }
    if (!m_UseSystemCache)
        (void)::posix_fadvise(m_ForkRef, static_cast<off_t>(blockOffset), static_cast<off_t>(wanted),
                              POSIX_FADV_DONTNEED);
    return ReadFromCache(cache, offset, dst, count);
}

uint64_t CacheFileStream::ReadDirect(uint64_t offset, unsigned char* dst, uint64_t count) {
    uint64_t got = 0;
    while (got < count) {
        const ssize_t r = ::pread(m_ForkRef, dst + got, count - got, static_cast<off_t>(offset + got));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        got += static_cast<uint64_t>(r);
    }
    return got;
}

}  // namespace ComVantoVantoQZ64RADPlug
