// Throughput of the card writer: the built-in sample card and the long
// 50 Mbps clip, written into a scratch folder that is removed afterwards.
#include "CardWriter.h"
#include "SampleCard.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

using namespace ComVantoVantoQZ64RADPlug::CardWriter;
namespace fs = std::filesystem;

// A fresh folder under QZ_BENCH_TMP (or the system temp folder).
std::string ScratchFolder() {
    const char* base = std::getenv("QZ_BENCH_TMP");
    const fs::path root = base ? fs::path(base) : fs::temp_directory_path();
    fs::create_directories(root);
    std::string pattern = (root / "cardwriter-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) return {};
    return pattern;
}

uint64_t FolderBytes(const std::string& folder) {
    uint64_t total = 0;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file()) total += entry.file_size();
    return total;
}

void WriteAndMeasure(benchmark::State& state, const CardDescription& card) {
    const std::string folder = ScratchFolder();
    if (folder.empty()) {
        state.SkipWithError("cannot create a scratch folder");
        return;
    }
    uint64_t bytes = 0;
    for (auto _ : state) {
        WriteCard(card, folder);
        state.PauseTiming();
        bytes += FolderBytes(folder);
        fs::remove_all(folder);
        fs::create_directories(folder);
        state.ResumeTiming();
    }
    fs::remove_all(folder);
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
}

void BM_WriteSampleCard(benchmark::State& state) {
    SampleCardOptions options;
    options.durationFrames = static_cast<uint32_t>(state.range(0));
    WriteAndMeasure(state, SampleCardDescription(options));
}
BENCHMARK(BM_WriteSampleCard)->Arg(60)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_WriteLongClip(benchmark::State& state) {
    WriteAndMeasure(state, LongClipCardDescription(static_cast<uint32_t>(state.range(0))));
}
BENCHMARK(BM_WriteLongClip)->Arg(3000)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
