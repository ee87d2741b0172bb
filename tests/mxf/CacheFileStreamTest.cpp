// The block cache: reads straddling blocks and the end of the file, the
// pool of ten caches lent to the most recent readers, caches taken from a
// stream never serving it again, failed block reads never labelling a block,
// and many threads reading at once.
#include "CacheFileStream.h"

#include "CUFailure.h"
#include "CUStringMac.h"
#include "FBCMemoryCache.h"
#include "FBCMemoryCacheManager.h"
#include "MxfTestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <random>
#include <thread>
#include <vector>

using namespace ComVantoVantoQZ64RADPlug;

namespace {

constexpr uint64_t kBlock = FBCMemoryCache::kBlockSize;

std::vector<uint8_t> Pattern(size_t n, uint32_t seed) {
    std::vector<uint8_t> v(n);
    uint32_t x = seed * 2654435761u + 1;
    for (auto& b : v) {
        x = x * 1103515245u + 12345u;
        b = uint8_t(x >> 16);
    }
    return v;
}

class CacheFileStreamTest : public ::testing::Test {
protected:
    std::string MakeFile(const std::string& name, const std::vector<uint8_t>& bytes) {
        const std::string path = dir_ + "/" + name;
        EXPECT_TRUE(mxftest::WriteFile(path, bytes));
        return path;
    }
    static CUSharedPtr<CacheFileStream> Open(const std::string& path) {
        return CacheFileStream::Create(CUStringMac::Create(path.c_str()));
    }
    qztest::ScratchFolder scratch_{"cache"};
    const std::string dir_ = scratch_.Path();
};

// Only regular files open: a missing file or a folder gives no stream, and
// a named pipe (which would wait for a writer) or a device is refused at once.
TEST_F(CacheFileStreamTest, OnlyRegularFilesOpenAndAPipeDoesNotWaitForAWriter) {
    const std::string pipe = dir_ + "/p.MXF";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0644), 0);
    for (const std::string& path : {dir_ + "/missing.bin", dir_, pipe, std::string("/dev/zero")})
        EXPECT_FALSE(Open(path)) << path;
    EXPECT_FALSE(CacheFileStream::Create(CUSharedPtr<CUStringMac>()));
}

TEST_F(CacheFileStreamTest, LeastRecentlyUsedBlockMakesRoom) {
    auto cache = FBCMemoryCache::Create();
    ASSERT_TRUE(cache);
    for (uint64_t i = 0; i < FBCMemoryCache::kBlockCount; ++i)
        ASSERT_NE(cache->addCache(i * kBlock), nullptr);
    EXPECT_EQ(cache->UsedBlockCount(), FBCMemoryCache::kBlockCount);
    ASSERT_NE(cache->GetMemoryBufferAtFileOffset(0), nullptr);  // block 0 is now the most recent
    unsigned char* reused = cache->GetMemoryBufferAtFileOffset(kBlock);
    ASSERT_NE(cache->GetMemoryBufferAtFileOffset(0), nullptr);
    // The 65th block takes the least recently used one: block 1 was touched
    // before block 0, blocks 2.. were never touched again.
    unsigned char* fresh = cache->addCache(100 * kBlock);
    EXPECT_EQ(cache->GetMemoryBufferAtFileOffset(2 * kBlock), nullptr);
    EXPECT_NE(cache->GetMemoryBufferAtFileOffset(kBlock), nullptr);
    EXPECT_NE(fresh, reused);
    cache->removeCacheAtFileOffset(100 * kBlock);
    EXPECT_EQ(cache->GetMemoryBufferAtFileOffset(100 * kBlock), nullptr);
    cache->cleanCache();
    EXPECT_EQ(cache->UsedBlockCount(), 0u);
}

TEST_F(CacheFileStreamTest, ElevenStreamsTakeCachesInTurn) {
    std::vector<std::vector<uint8_t>> contents;
    std::vector<CUSharedPtr<CacheFileStream>> streams;
    for (int i = 0; i < 11; ++i) {
        contents.push_back(Pattern(2 * kBlock, uint32_t(100 + i)));
        streams.push_back(Open(MakeFile("f" + std::to_string(i), contents.back())));
        ASSERT_TRUE(streams.back());
    }
    std::vector<uint8_t> buf(256);
    auto check = [&](int i, uint64_t at) {
        ASSERT_EQ(streams[i]->Read(buf.data(), buf.size(), int64_t(at), kCUStreamSeekBegin), buf.size());
        EXPECT_TRUE(std::equal(buf.begin(), buf.end(), contents[i].begin() + at)) << "stream " << i;
    };
    for (int i = 0; i < 11; ++i) check(i, 10);
    FBCMemoryCacheManager* manager = FBCMemoryCacheManager::GetInstance();
    ASSERT_NE(manager, nullptr);
    EXPECT_EQ(manager->UsedCacheCount(), 10u);
    // Stream 0 lost its cache to stream 10; it gets another back and never
    // sees bytes of another file.
    for (int round = 0; round < 3; ++round)
        for (int i = 0; i < 11; ++i) check(i, uint64_t(round) * 1000 + kBlock - 100);
    // A destroyed stream returns its cache emptied.
    streams[10] = nullptr;
    EXPECT_EQ(manager->UsedCacheCount(), 9u);
    streams.clear();
    EXPECT_EQ(manager->UsedCacheCount(), 0u);
}

// A stand-in for a stream: records what the manager tells it.
struct FakeHolder : IMemoryCacheManagerAccess {
    FBCMemoryCache* cache = nullptr;
    void EraseCache() override { cache = nullptr; }
    void SetUseCache(FBCMemoryCache* c) override { cache = c; }
};

TEST_F(CacheFileStreamTest, TakenCacheIsRelabelledForItsNewHolder) {
    FBCMemoryCacheManager* manager = FBCMemoryCacheManager::GetInstance();
    ASSERT_NE(manager, nullptr);
    FakeHolder first;
    manager->UpdateMemoryCache(&first);
    ASSERT_NE(first.cache, nullptr);
    FBCMemoryCache* lent = first.cache;
    EXPECT_EQ(lent->Owner(), &first);
    ASSERT_NE(lent->addCache(0), nullptr);
    // Ten newer holders: the first one's cache goes to the last of them,
    // emptied and labelled with its new holder, so the first holder's next
    // use (which checks the label) cannot be served by it.
    std::vector<FakeHolder> others(10);
    for (auto& h : others) manager->UpdateMemoryCache(&h);
    EXPECT_EQ(others.back().cache, lent);
    EXPECT_EQ(lent->Owner(), &others.back());
    EXPECT_EQ(lent->GetMemoryBufferAtFileOffset(0), nullptr);
    // Asking again gives the first holder another cache.
    manager->UpdateMemoryCache(&first);
    EXPECT_NE(first.cache, lent);
    EXPECT_EQ(first.cache->Owner(), &first);
    manager->removeCache(&first);
    for (auto& h : others) manager->removeCache(&h);
    EXPECT_EQ(manager->UsedCacheCount(), 0u);
}

TEST_F(CacheFileStreamTest, FailedBlockReadIsNotServedLater) {
    const auto first = Pattern(kBlock + 500, 7);
    const std::string path = MakeFile("shrink.bin", first);
    auto s = Open(path);
    ASSERT_TRUE(s);
    // The file shrinks under the open stream: the block read comes up short.
    ASSERT_EQ(::truncate(path.c_str(), 100), 0);
    std::vector<uint8_t> buf(300);
    EXPECT_EQ(s->Read(buf.data(), buf.size(), 0, kCUStreamSeekBegin), 0u);
    // The file gets its bytes back (different ones): they are read anew.
    const auto second = Pattern(kBlock + 500, 8);
    ASSERT_TRUE(mxftest::WriteFile(path, second));
    ASSERT_EQ(s->Read(buf.data(), buf.size(), 0, kCUStreamSeekBegin), buf.size());
    EXPECT_TRUE(std::equal(buf.begin(), buf.end(), second.begin()));
}

TEST_F(CacheFileStreamTest, ManyThreadsOverMoreStreamsThanCaches) {
    // 14 files, 8 threads each reading its own stream of a random file:
    // caches are taken from under streams all the time, bytes stay right.
    constexpr int kFiles = 14;
    std::vector<std::vector<uint8_t>> contents;
    std::vector<std::string> paths;
    for (int i = 0; i < kFiles; ++i) {
        contents.push_back(Pattern(5 * kBlock + 77 * size_t(i), uint32_t(500 + i)));
        paths.push_back(MakeFile(std::string("t").append(std::to_string(i)), contents.back()));
    }
    std::vector<CUSharedPtr<CacheFileStream>> shared;
    for (int i = 0; i < kFiles; ++i) shared.push_back(Open(paths[size_t(i)]));
    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            std::mt19937 rng{static_cast<uint32_t>(t)};
            std::vector<uint8_t> buf(3 * kBlock);
            for (int i = 0; i < 400; ++i) {
                const int f = int(rng() % kFiles);
                // Half the reads share streams between threads, half use their own.
                CUSharedPtr<CacheFileStream> s = (i % 2) ? shared[size_t(f)] : Open(paths[size_t(f)]);
                const auto& c = contents[size_t(f)];
                const uint64_t at = rng() % c.size();
                const uint64_t n = 1 + rng() % buf.size();
                const uint64_t got = s->Read(buf.data(), n, int64_t(at), kCUStreamSeekBegin);
                const uint64_t want = std::min<uint64_t>(n, c.size() - at);
                if (got != want || !std::equal(buf.begin(), buf.begin() + long(got), c.begin() + long(at)))
                    ++mismatches;
            }
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(mismatches.load(), 0);
}

}  // namespace

TEST_F(CacheFileStreamTest, ReadsInOneGoAndInPiecesAgreeAndClampAtTheEnd) {
    // One read of a block or more goes straight into the buffer for its
    // whole blocks; in small pieces every byte goes through the cache. Both
    // give the same bytes and stop at the same byte of a file that shrank
    // after it was opened.
    const auto bytes = Pattern(5 * kBlock + 777, 9);
    const uint64_t n = bytes.size();
    const struct {
        const char* what;
        uint64_t offset, size, shrinkTo;  // shrinkTo 0: the file keeps its size
    } cases[] = {
        {"straddling the first boundary", kBlock - 50, 100, 0},
        {"spanning three blocks", 7, 2 * kBlock + 10, 0},
        {"whole first block", 0, kBlock, 0},
        {"mid-block to mid-block", 300, 3 * kBlock + 5, 0},
        {"straddling two boundaries", kBlock - 10, kBlock + 20, 0},
        {"to the end of the file", 2 * kBlock + 1, n - (2 * kBlock + 1), 0},
        {"across the end", 3 * kBlock + 9, 4 * kBlock, 0},
        {"a few bytes across the end", n - 20, 500, 0},
        {"at the end", n, 10, 0},
        {"a block beyond the end", n + kBlock, 10, 0},
        {"beyond the end", n + 1, 2 * kBlock, 0},
        {"shrunk inside the range", 300, 3 * kBlock + 5, 2 * kBlock + 100},
        {"shrunk to a block boundary", 300, 3 * kBlock + 5, 2 * kBlock},
        {"shrunk inside the last block", kBlock, n - kBlock, n - 50},
        {"shrunk before the range", 3 * kBlock, 2 * kBlock, kBlock + 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = MakeFile("large.bin", bytes);
        auto whole = Open(path), pieces = Open(path);
        ASSERT_TRUE(whole && pieces);
        if (c.shrinkTo) {
            ASSERT_EQ(::truncate(path.c_str(), off_t(c.shrinkTo)), 0);
        }
        std::vector<uint8_t> one(c.size);
        one.resize(whole->Read(one.data(), c.size, int64_t(c.offset), kCUStreamSeekBegin));
        EXPECT_EQ(one, mxftest::ReadInPieces(*pieces, c.offset, c.size));
        const uint64_t end = std::min(n, c.offset + c.size);
        if (!c.shrinkTo) {
            EXPECT_EQ(one, std::vector<uint8_t>(bytes.begin() + std::min(c.offset, n), bytes.begin() + end));
        }
    }
    auto s = Open(MakeFile("end.bin", bytes));
    ASSERT_TRUE(s);
    EXPECT_EQ(s->Length(), n);
    std::vector<uint8_t> buf(4);
    ASSERT_EQ(s->Read(buf.data(), 4, -4, kCUStreamSeekEnd), 4u);
    EXPECT_TRUE(std::equal(buf.begin(), buf.end(), bytes.end() - 4));
    EXPECT_THROW(s->Read(nullptr, 4, 0, kCUStreamSeekBegin), CUError);
}
