// The host's services to plug-ins: event cycles standing in for the
// autorelease pool, the notification center and the alert presenter.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "HostAlert.h"
#include "HostEventCycle.h"
#include "HostNotificationCenter.h"

using namespace ComVantoVantoQZ64RADPlug;

TEST(HostEventCycleTest, DeferredObjectsLiveUntilTheirCycleEnds) {
    auto object = std::make_shared<int>(1);
    std::weak_ptr<int> watch = object;
    HostEventCycle::Defer(std::move(object));  // no cycle: released at once
    EXPECT_TRUE(watch.expired());
    {
        HostEventCycle outer;
        {
            HostEventCycle inner;
            object = std::make_shared<int>(2);
            watch = object;
            HostEventCycle::Defer(std::move(object));
            // Another thread has no event cycle of its own.
            std::thread([] { HostEventCycle::Defer(std::make_shared<int>(3)); }).join();
            EXPECT_FALSE(watch.expired());
        }
        EXPECT_TRUE(watch.expired());
        object = std::make_shared<int>(4);
        watch = object;
        HostEventCycle::Defer(std::move(object));
        EXPECT_FALSE(watch.expired());
    }
    EXPECT_TRUE(watch.expired());
}

TEST(HostNotificationCenterTest, ObserversMayPostAndLeaveFromTheirCallbacksWhileOthersPost) {
    HostNotificationCenter center;
    std::atomic<int> seen{0};
    HostNotificationCenter::Token self = 0;
    self = center.addObserver("once", [&](const std::string&) {
        ++seen;
        center.removeObserver(self);
        center.postNotification("other");
    });
    center.addObserver("other", [&](const std::string&) { ++seen; });
    center.postNotification("once");
    center.postNotification("once");
    EXPECT_EQ(seen.load(), 2);

    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 200; ++i) {
                const auto token = center.addObserver("burst", [](const std::string&) {});
                center.postNotification("burst");
                center.removeObserver(token);
            }
        });
    for (std::thread& thread : threads) thread.join();
}

TEST(HostAlertTest, AlertsReachThePresenterOrAreDropped) {
    HostAlert::RunModal("dropped", "no presenter");
    std::vector<std::string> shown;
    HostAlert::SetPresenter([&](const std::string& title, const std::string& message) {
        shown.push_back(title + ": " + message);
    });
    HostAlert::RunModal("Title", "100% literal");
    HostAlert::SetPresenter(nullptr);
    EXPECT_EQ(shown, std::vector<std::string>{"Title: 100% literal"});
}
