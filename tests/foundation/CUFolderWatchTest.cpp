// The folder watch: arrivals reported once and only once settled, nothing
// for files, links or deeper folders, stops, and parents missing or gone.
#include "CUFolderWatch.h"
#include "CUHostError.h"
#include "MountedFolder.h"
#include "ScratchFolder.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using ComVantoVantoQZ64RADPlug::CUFailureKind;
using ComVantoVantoQZ64RADPlug::CUFolderWatch;
using ComVantoVantoQZ64RADPlug::CUHostError;
using Kind = ComVantoVantoQZ64RADPlug::CUFolderWatchEvent::Kind;

constexpr auto kSettle = 100ms;

struct WatchedScratch {
    qztest::ScratchFolder scratch{"folder-watch"};
    const std::string parent = fs::canonical(scratch.Path()).string() + "/parent";
    const std::string outside = fs::canonical(scratch.Path()).string() + "/outside";
    WatchedScratch() {
        fs::create_directories(parent + "/existing");
        fs::create_directories(outside + "/card/CONTENTS");
        std::ofstream(outside + "/card/CONTENTS/INDEX.MIF") << "index";
    }
};

struct ArrivalCase {
    const char* name;
    std::function<void(const WatchedScratch&)> act;
    std::optional<Kind> kind;  // empty: nothing is reported
    const char* reported;      // the folder reported, in the parent
};

TEST(CUFolderWatchTest, ArrivalsInAParentAreReportedOnceEachAndNothingElse) {
    std::unique_ptr<qztest::MountedFolder> mount;
    const ArrivalCase cases[] = {
        {"made", [](auto& s) { fs::create_directory(s.parent + "/CARD"); }, Kind::kCreated, "CARD"},
        {"moved in", [](auto& s) { fs::rename(s.outside + "/card", s.parent + "/CARD"); }, Kind::kMovedIn,
         "CARD"},
        {"mounted on",
         [&](auto& s) {
             mount.reset(
                 new qztest::MountedFolder(s.parent + "/existing", "none", s.outside + "/card", "bind"));
         },
         Kind::kMounted, "existing"},
        {"mounted elsewhere",
         [&](auto& s) {
             mount.reset(new qztest::MountedFolder(s.outside + "/card", "none", s.outside, "bind"));
         },
         std::nullopt, ""},
        {"a plain file", [](auto& s) { std::ofstream(s.parent + "/CARD") << "x"; }, std::nullopt, ""},
        {"a link to a folder", [](auto& s) { fs::create_directory_symlink(s.outside, s.parent + "/CARD"); },
         std::nullopt, ""},
        {"a folder deeper down", [](auto& s) { fs::create_directory(s.parent + "/existing/CARD"); },
         std::nullopt, ""},
    };
    for (const ArrivalCase& c : cases) {
        SCOPED_TRACE(c.name);
        if (std::string(c.name).rfind("mounted", 0) == 0 && ::geteuid() != 0) continue;  // needs root
        WatchedScratch scratch;
        CUFolderWatch watch({scratch.parent}, kSettle);
        c.act(scratch);
        EXPECT_TRUE(!mount || mount->ok);
        if (c.kind) {
            const auto event = watch.Next(5s);
            ASSERT_TRUE(event);
            EXPECT_EQ(event->kind, *c.kind);
            EXPECT_EQ(event->path, scratch.parent + "/" + c.reported);
        }
        EXPECT_FALSE(watch.Next(2 * kSettle)) << "reported more than once, or something not arrived";
        mount.reset();
    }
}

TEST(CUFolderWatchTest, AFolderBeingFilledIsReportedOnlyAfterItsLastChange) {
    WatchedScratch scratch;
    constexpr auto settle = 250ms;  // well above the writer's pauses, however loaded the machine
    CUFolderWatch watch({scratch.parent}, settle);
    std::atomic<bool> filled{false};
    std::thread writer([&] {
        fs::create_directories(scratch.parent + "/CARD/CONTENTS/CLIPS001");  // folders made after the first
        for (int i = 0; i < 20; ++i) {
            std::this_thread::sleep_for(settle / 10);
            std::ofstream(scratch.parent + "/CARD/CONTENTS/CLIPS001/F" + std::to_string(i % 4), std::ios::app)
                << std::string(4096, 'x');
        }
        filled = true;
    });
    const auto event = watch.Next(10s);
    const bool filledWhenReported = filled;
    writer.join();
    ASSERT_TRUE(event);
    EXPECT_EQ(event->path, scratch.parent + "/CARD");
    EXPECT_TRUE(filledWhenReported) << "reported while still being filled";
}

TEST(CUFolderWatchTest, AStopRequestEndsTheWaitFromAnotherThreadOrASignalHandler) {
    static CUFolderWatch* s_watch = nullptr;
    struct sigaction action {
    }, previous{};
    action.sa_handler = [](int) { s_watch->RequestStop(); };
    ASSERT_EQ(::sigaction(SIGUSR1, &action, &previous), 0);
    const std::function<void(CUFolderWatch&)> stoppers[] = {
        [](CUFolderWatch& watch) { watch.RequestStop(); },
        [](CUFolderWatch&) { ::kill(::getpid(), SIGUSR1); },
    };
    for (const auto& stop : stoppers) {
        WatchedScratch scratch;
        CUFolderWatch watch({scratch.parent}, kSettle);
        s_watch = &watch;
        std::thread stopper([&] {
            std::this_thread::sleep_for(kSettle);
            stop(watch);
        });
        const auto started = std::chrono::steady_clock::now();
        EXPECT_FALSE(watch.Next(CUFolderWatch::kWaitForever));
        stopper.join();
        EXPECT_LT(std::chrono::steady_clock::now() - started, 30s);
        EXPECT_TRUE(watch.Stopped());
        fs::create_directory(scratch.parent + "/CARD");
        EXPECT_FALSE(watch.Next(CUFolderWatch::kWaitForever)) << "a stopped watch stays stopped";
    }
    ::sigaction(SIGUSR1, &previous, nullptr);
}

TEST(CUFolderWatchTest, ParentsThatAreMissingOrGoAwayAreRefusedOrReported) {
    WatchedScratch scratch;
    for (const std::vector<std::string>& parents : {std::vector<std::string>{},
                                                    {scratch.parent + "/missing"},
                                                    {scratch.outside + "/card/CONTENTS/INDEX.MIF"}}) {
        try {
            CUFolderWatch watch(parents, kSettle);
            ADD_FAILURE() << "watched " << parents.size() << " unusable parents";
        } catch (const CUHostError& error) {
            EXPECT_EQ(error.Kind(), CUFailureKind::kUsage);
            EXPECT_TRUE(parents.empty() || std::string(error.what()).find(parents[0]) != std::string::npos);
        }
    }
    const std::pair<std::function<void(const std::string&)>, const char*> goings[] = {
        {[](const std::string& p) { fs::remove(p + "/existing"), fs::remove(p); }, "removed"},
        {[&](const std::string& p) { fs::rename(p, scratch.scratch.Path() + "/renamed"); }, "renamed"},
    };
    for (const auto& [go, why] : goings) {
        fs::create_directories(scratch.parent + "/existing");
        CUFolderWatch watch({scratch.parent, scratch.outside}, kSettle);
        go(scratch.parent);
        const auto event = watch.Next(5s);
        ASSERT_TRUE(event && event->kind == Kind::kParentLost);
        EXPECT_EQ(event->path, scratch.parent);
        EXPECT_NE(event->reason.find(why), std::string::npos) << event->reason;
        EXPECT_EQ(watch.Parents(), std::vector<std::string>{scratch.outside});
        EXPECT_FALSE(watch.Next(2 * kSettle));
    }
}

}  // namespace
