#include "CUObject.h"
#include "CUSharedPtr.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using namespace ComVantoVantoQZ64RADPlug;

namespace {

std::atomic<int> g_deleted{0};

class Tracked : public virtual CUObject {
public:
    ~Tracked() override { ++g_deleted; }
};
class DerivedTracked : public Tracked {};
class Other : public virtual CUObject {};

class SharedPtrTest : public ::testing::Test {
protected:
    void SetUp() override { g_deleted = 0; }
};

TEST_F(SharedPtrTest, CountsFollowCopiesAndLastReleaseDeletesOnce) {
    auto* raw = new Tracked;
    EXPECT_EQ(raw->RetainCount(), 0);
    {
        CUSharedPtr<Tracked> a(raw);
        EXPECT_EQ(raw->RetainCount(), 1);
        {
            CUSharedPtr<Tracked> b(a);
            EXPECT_EQ(raw->RetainCount(), 2);
            CUSharedPtr<Tracked> c;
            c = b;
            EXPECT_EQ(raw->RetainCount(), 3);
        }
        EXPECT_EQ(raw->RetainCount(), 1);
        CUSharedPtr<Tracked>& alias = a;
        a = alias;  // self-assignment keeps the object
        EXPECT_EQ(raw->RetainCount(), 1);
        EXPECT_EQ(g_deleted, 0);
        a = CUSharedPtr<Tracked>(new Tracked);  // assignment releases the previous object
        EXPECT_EQ(g_deleted, 1);
        a = nullptr;
        EXPECT_EQ(g_deleted, 2);
    }
    EXPECT_EQ(g_deleted, 2);
}

TEST_F(SharedPtrTest, UpCastAndCheckedDownCastKeepCountsRight) {
    CUSharedPtr<DerivedTracked> derived(new DerivedTracked);
    CUSharedPtr<CUObject> base = derived;  // up-cast retains
    EXPECT_EQ(derived->RetainCount(), 2);

    CUSharedPtr<Tracked> ok = base;  // succeeds: one more count
    ASSERT_TRUE(ok);
    EXPECT_EQ(ok.get(), derived.get());
    EXPECT_EQ(derived->RetainCount(), 3);

    CUSharedPtr<Other> wrong = base;  // fails: null and count unchanged
    EXPECT_TRUE(wrong.IsNull());
    EXPECT_EQ(derived->RetainCount(), 3);

    CUSharedPtr<CUObject> none;
    CUSharedPtr<Tracked> fromNull = none;
    EXPECT_TRUE(fromNull.IsNull());

    EXPECT_TRUE(CUDynamicCast<Other>(base).IsNull());
    EXPECT_EQ(CUDynamicCast<DerivedTracked>(base).get(), derived.get());
    EXPECT_EQ(derived->RetainCount(), 3);

    ok.Reset();
    base.Reset();
    EXPECT_EQ(g_deleted, 0);
    derived.Reset();
    EXPECT_EQ(g_deleted, 1);
}

TEST_F(SharedPtrTest, EightThreadsRetainingAndReleasingAtOnce) {
    CUSharedPtr<Tracked> shared(new Tracked);
    constexpr int kThreads = 8;
    constexpr int kRounds = 20000;
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            while (!go) std::this_thread::yield();
            std::vector<CUSharedPtr<Tracked>> held;
            for (int i = 0; i < kRounds; ++i) {
                CUSharedPtr<Tracked> copy(shared);
                CUSharedPtr<CUObject> up = copy;
                CUSharedPtr<Tracked> down = up;
                if (i % 64 == 0) held.push_back(down);
            }
        });
    }
    go = true;
    for (auto& th : threads) th.join();
    EXPECT_EQ(shared->RetainCount(), 1);
    EXPECT_EQ(g_deleted, 0);
    shared.Reset();
    EXPECT_EQ(g_deleted, 1);
}

TEST_F(SharedPtrTest, LastReleaseFromAnotherThreadDeletesExactlyOnce) {
    constexpr int kObjects = 200;
    std::vector<CUSharedPtr<Tracked>> objects;
    for (int i = 0; i < kObjects; ++i) objects.emplace_back(new Tracked);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([copies = objects]() mutable { copies.clear(); });
    }
    objects.clear();
    for (auto& th : threads) th.join();
    EXPECT_EQ(g_deleted, kObjects);
}

}  // namespace
