#include "CUAutoLock.h"
#include "CULockAbstract.h"
#include "CUMutex.h"
#include "CURecursiveLock.h"
#include "CUSimpleMonitor.h"
#include "CUSleep.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

using namespace ComVantoVantoQZ64RADPlug;

namespace {

// Records the calls it receives.
class CountingLock : public CULockAbstract {
public:
    void Lock() override { ++locks; }
    void Unlock() override { ++unlocks; }
    int locks = 0;
    int unlocks = 0;
};

TEST(CURecursiveLock, TakenTwiceByOneThreadWhileAnotherWaits) {
    CURecursiveLock lock;
    std::atomic<int> stage{0};
    std::atomic<bool> waiterHasLock{false};

    lock.Lock();
    lock.Lock();  // recursive: no deadlock
    std::thread waiter([&] {
        stage = 1;
        lock.Lock();
        waiterHasLock = true;
        // The owner had released both levels before we could get here.
        EXPECT_EQ(stage.load(), 3);
        lock.Unlock();
    });
    while (stage.load() != 1) std::this_thread::yield();
    CUSleep(20);  // give the waiter every chance to (wrongly) get in
    EXPECT_FALSE(waiterHasLock);
    stage = 2;
    lock.Unlock();  // still held once
    CUSleep(20);
    EXPECT_FALSE(waiterHasLock);
    stage = 3;
    lock.Unlock();  // now free
    waiter.join();
    EXPECT_TRUE(waiterHasLock);
}

TEST(CUMutex, RecursiveOwnershipSeenFromAnotherThread) {
    CUMutex mutex;
    EXPECT_TRUE(mutex.WaitOne());
    EXPECT_TRUE(mutex.WaitOne());
    auto tryFromOtherThread = [&mutex] {
        int rc = -1;
        std::thread([&] {
            rc = pthread_mutex_trylock(mutex.GetMutex());
            if (rc == 0) pthread_mutex_unlock(mutex.GetMutex());
        }).join();
        return rc;
    };
    EXPECT_NE(tryFromOtherThread(), 0);
    mutex.ReleaseMutex();
    EXPECT_NE(tryFromOtherThread(), 0);
    mutex.ReleaseMutex();
    EXPECT_EQ(tryFromOtherThread(), 0);
}

TEST(CURecursiveLock, GuardsASharedCounter) {
    CUSharedPtr<CURecursiveLock> lock = CURecursiveLock::Create();
    long counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 5000; ++i) {
                CUAutoLock outer(lock);
                CUAutoLock inner(lock.get());  // nested guard on the same thread
                ++counter;
            }
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(counter, 20000);
}

// Guards release on every exit path; null locks are ignored; a shared lock
// is held alive by its guard.
TEST(CUAutoLock, GuardsAndMonitorPairEveryEnterWithAnExit) {
    CUSharedPtr<CountingLock> lock(new CountingLock());
    try {
        CUAutoLock guard{CUSharedPtr<CULockAbstract>(lock)};
        EXPECT_EQ(lock->RetainCount(), 2);
        throw std::runtime_error("pass");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(lock->RetainCount(), 1);
    { CUAutoLock guard(lock.get()); }
    { CUAutoLock nothing(static_cast<CULockAbstract*>(nullptr)); }
    { CUAutoLock nothing(CUSharedPtr<CULockAbstract>{}); }
    CUSimpleMonitor::Enter(static_cast<CULockAbstract*>(nullptr));
    CUSimpleMonitor::Exit(CUSharedPtr<CULockAbstract>());
    CUSimpleMonitor::Enter(CUSharedPtr<CULockAbstract>(lock));
    CUSimpleMonitor::Exit(lock.get());
    EXPECT_EQ(lock->locks, 3);
    EXPECT_EQ(lock->unlocks, 3);
}

}  // namespace
