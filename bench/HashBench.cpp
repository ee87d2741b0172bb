// In-memory throughput of each hash format of an offload (the card's bytes
// are hashed once per format while they are copied): 64 MiB fed in the
// copy engine's chunks. bench/compare.sh prints the figures in GB/s.
#include "CopyEngine.h"
#include "Hasher.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

namespace {

void BM_Hash(benchmark::State& state) {
    const auto format = static_cast<qzoffload::HashFormat>(state.range(0));
    std::vector<unsigned char> bytes(64u << 20);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<unsigned char>(i * 2654435761u >> 24);
    const size_t chunk = qzoffload::CopyEngine::kChunkBytes;
    for (auto _ : state) {
        std::unique_ptr<qzoffload::Hasher> hasher = qzoffload::Hasher::Create(format);
        for (size_t at = 0; at < bytes.size(); at += chunk) hasher->Update(bytes.data() + at, chunk);
        benchmark::DoNotOptimize(hasher->Finish());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
    state.SetLabel(qzoffload::HashFormatName(format));
}

}  // namespace

BENCHMARK(BM_Hash)->DenseRange(0, 5)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
