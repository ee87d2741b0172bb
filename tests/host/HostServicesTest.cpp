// The host's services to plug-ins: event cycles standing in for the
// autorelease pool, the notification center, the alert presenter and images.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <thread>

#include "HostAlert.h"
#include "HostEventCycle.h"
#include "HostImage.h"
#include "HostNotificationCenter.h"
#include "ScratchFolder.h"

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
            std::thread([] { HostEventCycle::Defer(std::make_shared<int>(3)); }).join();  // other thread: no cycle
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

TEST(HostImageTest, MalformedFilesAndMismatchedPixelsGiveNoImage) {
    const struct {
        const char* text;
        const char* reason;
    } cases[] = {
        {"P5\n1 1\n255\n\x01", "not a PPM"},
        {"P3\n2", "incomplete"},
        {"P3\n0 1\n255\n", "out of range"},
        {"P3\n100000 1\n255\n", "out of range"},
        {"P3\n1 1\n256\n1 2 3", "maximum value"},
        {"P3\n2 2\n255\n1 2 3", "truncated"},
        {"P6\n2 2\n255\nabc", "truncated"},
    };
    qztest::ScratchFolder folder("image");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const std::string path = folder.Path() + "/image.ppm";
        std::ofstream(path, std::ios::binary) << c.text;
        CUFailure why;
        EXPECT_FALSE(HostImage::ImageWithContentsOfFile(path, &why));
        EXPECT_NE(why.What().find(c.reason), std::string::npos) << why.Describe();
    }
    // Pixels that do not fill the stated size make an empty image, never one
    // whose readers would run past its pixels.
    for (size_t bytes : {size_t{0}, size_t{15}, size_t{17}}) {
        const HostImage image(2, 2, std::vector<uint8_t>(bytes, 255));
        EXPECT_EQ(image.width(), 0u);
        EXPECT_EQ(image.height(), 0u);
        EXPECT_TRUE(image.rgba().empty());
    }
    EXPECT_EQ(HostImage(2, 2, std::vector<uint8_t>(16, 255)).width(), 2u);
}
