// Display offsets of a 1500-frame MXF file holding one group of pictures
// (no I picture after the first, as ffmpeg writes it with -g 1500), asked
// for backwards from the last frame, and forwards: the cost of a lookup
// must not grow with the distance to the next I picture. The file is
// written once by ffmpeg and kept in QZ_BENCH_TMP (default /tmp).
#include "CUStringMac.h"
#include "FBCMovieStream.h"

#include <benchmark/benchmark.h>

#include <sys/stat.h>

#include <cstdlib>
#include <string>

using namespace ComVantoVantoQZ64RADPlug;

namespace {

constexpr uint32_t kFrames = 1500;

const std::string& OneGopFile() {
    static const std::string path = [] {
        const char* tmp = std::getenv("QZ_BENCH_TMP");
        const std::string file = std::string(tmp ? tmp : "/tmp") + "/qz-movie-bench-one-gop.mxf";
        struct stat info {};
        if (::stat(file.c_str(), &info) == 0) return file;
        const std::string command = "ffmpeg -v error -y -f lavfi -i testsrc=size=320x240:rate=25 -frames:v " +
                                    std::to_string(kFrames) + " -c:v mpeg2video -g " +
                                    std::to_string(kFrames) + " -bf 2 -sc_threshold 1000000000 -f mxf '" +
                                    file + "'";
        return std::system(command.c_str()) == 0 ? file : std::string();
    }();
    return path;
}

void Lookups(benchmark::State& state, bool backwards) {
    if (OneGopFile().empty()) {
        state.SkipWithError("ffmpeg could not write the file");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        CUSharedPtr<FBCMovieStream> movie = FBCMovieStream::Create(CUStringMac::Create(OneGopFile().c_str()));
        state.ResumeTiming();
        if (!movie || movie->FrameCountInClip() != kFrames) {
            state.SkipWithError("the file does not open");
            return;
        }
        int64_t sum = 0;
        for (uint32_t i = 0; i < kFrames; ++i)
            sum += movie->DisplayOffsetAtIndex(backwards ? kFrames - 1 - i : i);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kFrames);
}

void BM_DisplayOffsetsBackwards(benchmark::State& state) {
    Lookups(state, true);
}
void BM_DisplayOffsetsForwards(benchmark::State& state) {
    Lookups(state, false);
}
BENCHMARK(BM_DisplayOffsetsBackwards)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DisplayOffsetsForwards)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
