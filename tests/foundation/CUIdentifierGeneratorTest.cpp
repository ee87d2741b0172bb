#include "CUIdentifierGenerator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <latch>
#include <set>
#include <thread>
#include <vector>

using namespace ComVantoVantoQZ64RADPlug;

namespace {

// Many threads ask for the shared instance at the same moment and draw
// identifiers; answers whether every identifier was distinct and all
// threads saw one generator.
bool DrawConcurrently(int threads, int perThread, std::vector<int64_t>& all) {
    std::latch start(threads);
    std::vector<std::vector<int64_t>> drawn(threads);
    std::vector<CUIdentifierGenerator*> instances(threads);
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t) {
        pool.emplace_back([&, t] {
            start.arrive_and_wait();
            CUSharedPtr<CUIdentifierGenerator> generator = CUIdentifierGenerator::SharedInstance();
            instances[t] = generator.get();
            for (int i = 0; i < perThread; ++i) drawn[t].push_back(generator->GenerateIdentifier());
        });
    }
    for (std::thread& th : pool) th.join();
    for (auto& v : drawn) all.insert(all.end(), v.begin(), v.end());
    std::set<int64_t> unique(all.begin(), all.end());
    return unique.size() == all.size() &&
           std::all_of(instances.begin(), instances.end(), [&](auto* p) { return p && p == instances[0]; });
}

}  // namespace

TEST(CUIdentifierGeneratorTest, ConcurrentFirstUseCreatesOneGenerator) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // In a fresh process the threads race for the very first SharedInstance;
    // the identifiers drawn are exactly 1..N.
    EXPECT_EXIT(
        {
            std::vector<int64_t> all;
            const bool ok = DrawConcurrently(16, 500, all);
            const bool dense = *std::max_element(all.begin(), all.end()) == 16 * 500;
            std::exit(ok && dense ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(CUIdentifierGeneratorTest, IdentifiersIncreaseByOneAndAreNeverReused) {
    CUSharedPtr<CUIdentifierGenerator> g = CUIdentifierGenerator::SharedInstance();
    ASSERT_TRUE(g);
    EXPECT_EQ(g.get(), CUIdentifierGenerator::SharedInstance().get());
    const int64_t a = g->GenerateIdentifier();
    EXPECT_GE(a, 1);
    EXPECT_EQ(g->GenerateIdentifier(), a + 1);
    std::vector<int64_t> all;
    EXPECT_TRUE(DrawConcurrently(8, 1000, all));
    EXPECT_GT(*std::min_element(all.begin(), all.end()), a + 1);
}
