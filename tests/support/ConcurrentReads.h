#pragma once
// Eight threads reading every frame of one shared reader, each in its own
// order (odd threads forwards, even ones backwards, from different frames),
// while thread 0 calls `release` (closing files, say) every few reads: each
// must read what one thread alone read.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

namespace qztest {

// Returns what one thread read of each frame, for further checks.
template <class Read>
auto ExpectEightThreadsReadAsOne(uint32_t count, Read read, const std::function<void()>& release,
                                 uint32_t passes = 1) {
    using Frame = decltype(read(uint32_t{0}));
    std::vector<Frame> expected;
    for (uint32_t f = 0; f < count; ++f) expected.push_back(read(f));
    std::vector<std::vector<Frame>> got(8, std::vector<Frame>(count));
    std::vector<std::thread> threads;
    for (uint32_t t = 0; t < 8; ++t)
        threads.emplace_back([&, t] {
            for (uint32_t n = 0; n < passes * count; ++n) {
                const uint32_t f = (t * 5 + n * (t % 2 ? 1 : count - 1)) % count;
                got[t][f] = read(f);
                if (t == 0 && n % 7 == 0) release();
            }
        });
    for (std::thread& thread : threads) thread.join();
    for (uint32_t t = 0; t < 8; ++t)
        for (uint32_t f = 0; f < count; ++f)
            EXPECT_TRUE(got[t][f] == expected[f]) << "thread " << t << " frame " << f;
    return expected;
}

}  // namespace qztest
