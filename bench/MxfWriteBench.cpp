// Throughput of the card writer's MXF file writer: a 3000-frame 50 Mbps
// 59.94i file with four audio channels, written to the temp folder.
#include "MxfFileWriter.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

using namespace ComVantoVantoQZ64RADPlug::CardWriter;

std::string BenchPath() {
    const char* base = std::getenv("QZ_BENCH_TMP");
    const std::filesystem::path root = base ? base : std::filesystem::temp_directory_path();
    return (root / "qz-mxf-write-bench.mxf").string();
}

void BM_WriteMxf3000Frames50Mbps(benchmark::State& state) {
    MxfFileDescription d;
    d.frameCount = 3000;
    d.video.bitRate = 50000000;
    d.audioChannels = 4;
    const std::string path = BenchPath();
    uint64_t bytes = 0;
    for (auto _ : state) {
        const MxfFileLayout layout = WriteMxfFile(d, path);
        bytes += layout.fileSize;
    }
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
}
BENCHMARK(BM_WriteMxf3000Frames50Mbps)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
