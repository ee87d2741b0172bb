// Eight host threads importing every clip of a card at once through the one
// loaded plug-in, each with its own volume and clip descriptors as a host's
// import threads have, several rounds: every import gives the same bytes as
// every other. Labelled "threaded", so that it also runs under ThreadSanitizer.
#include "EsOutputFormat.h"
#include "ExportProgress.h"
#include "Exporter.h"
#include "HostEventCycle.h"
#include "PluginHost.h"

#include <gtest/gtest.h>
#include "ScratchFolder.h"
#include "TestFiles.h"
#include "WrittenClip.h"

#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace ComVantoVantoQZ64RADPlug;
namespace fs = std::filesystem;
namespace cw = ComVantoVantoQZ64RADPlug::CardWriter;

constexpr int kThreads = 8;
constexpr int kRounds = 2;

// Imports every clip the volume offers into `out` through an export of its
// own; the clip IDs written.
std::vector<std::string> ImportAll(qzimport::PluginHost& host, const std::string& card,
                                   const std::string& out) {
    struct Written : qzimport::ExportObserver {
        std::vector<std::string> ids;
        void Notice(const std::string&) override {}
        void SetDone(const qzimport::OutputSetResult& result) override {
            if (result.status == qzimport::OutputSetResult::Status::kWritten) ids.push_back(result.baseName);
        }
    } written;
    HostEventCycle cycle;
    qzimport::ExportSettings settings;
    settings.cards = {card};
    settings.outputFolder = out;
    const qzimport::EsOutputFormat format;
    qzimport::ExportProgress progress(qzimport::ProgressMode::kSilent, stderr);
    qzimport::Exporter(host, format, progress).Run(settings, written);
    return written.ids;
}

TEST(ThreadedImportTest, EightHostThreadsImportingEveryClipAtOnceGetTheSameBytes) {
    qztest::ScratchFolder scratch("threaded");
    const std::string card = scratch.Path() + "/card";
    cw::CardDescription description;
    description.clips = {qztest::SmallClip(cw::FrameRate::k29_97p, {8}),
                         qztest::SmallClip(cw::FrameRate::k59_94i, {6}),
                         qztest::SmallClip(cw::FrameRate::k23_98p, {6, 6})};
    for (uint32_t i = 0; i < 3; ++i) description.clips[i].id.number = i + 1;
    cw::WriteCard(description, card);

    qzimport::PluginHost host(qzimport::PluginHost::DefaultBundlePath(),
                              qzimport::PluginHost::kDefaultHostVersion);
    std::map<std::string, std::vector<uint8_t>> reference;  // output name -> bytes
    for (int round = 0; round < kRounds; ++round) {
        std::vector<std::vector<std::string>> imported(kThreads);
        std::vector<std::thread> threads;
        const auto out = [&](int t) {
            return scratch.Path() + "/out" + std::to_string(round) + "-" + std::to_string(t);
        };
        for (int t = 0; t < kThreads; ++t)
            threads.emplace_back([&, t] { imported[t] = ImportAll(host, card, out(t)); });
        for (std::thread& thread : threads) thread.join();
        for (int t = 0; t < kThreads; ++t) {
            SCOPED_TRACE("round " + std::to_string(round) + ", thread " + std::to_string(t));
            EXPECT_EQ(imported[t], (std::vector<std::string>{"QZ0001", "QZ0002", "QZ0003"}));
            for (const std::string& id : imported[t])
                for (const std::string suffix : {".m2v", ".wav"}) {
                    const std::vector<uint8_t> bytes = qztest::ReadFile(out(t) + "/" + id + suffix);
                    EXPECT_FALSE(bytes.empty()) << id << suffix;
                    if (!reference.count(id + suffix)) reference[id + suffix] = bytes;
                    EXPECT_TRUE(bytes == reference[id + suffix]) << id << suffix << " differs";
                }
        }
    }
}

}  // namespace
