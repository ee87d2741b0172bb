// Throughput of the card writer's picture and tone generation: the long
// 3000-frame 50 Mbps clip must be producible in seconds.
#include <benchmark/benchmark.h>

#include "Mpeg2Encoder.h"
#include "ToneGenerator.h"

namespace CW = ComVantoVantoQZ64RADPlug::CardWriter;

static void BM_EncodeLongGop1080i50Mbps(benchmark::State& state) {
    CW::Mpeg2Settings settings;  // 1920x1080 59.94i, 50 Mbps CBR, N=15, M=3
    const int64_t frames = 3000;
    CW::Mpeg2Encoder encoder(settings, frames);
    CW::CodedPicture picture;
    int64_t k = 0;
    uint64_t bytes = 0;
    for (auto _ : state) {
        encoder.EncodePicture(k, picture);
        bytes += picture.bytes.size();
        benchmark::DoNotOptimize(picture.bytes.data());
        k = (k + 1) % frames;
    }
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EncodeLongGop1080i50Mbps);

static void BM_ToneOneFrameFourChannels(benchmark::State& state) {
    std::vector<uint8_t> out;
    int64_t first = 0;
    for (auto _ : state) {
        out.clear();
        for (int ch = 0; ch < 4; ++ch) CW::ToneGenerator::AppendSamples(ch, first, 1602, 16, out);
        benchmark::DoNotOptimize(out.data());
        first += 1602;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ToneOneFrameFourChannels);

BENCHMARK_MAIN();
