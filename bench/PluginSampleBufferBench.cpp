// Building the host's video and audio sample buffers of every frame of a
// long written clip through FBCMovieSampleForFCPX (index lookup, one read
// of the picture straight into its block buffer, one read per sound track
// and the stereo interleave) beside a plain pread of the same element
// bytes. The clip (3000 frames, 59.94i, 50 Mbps CBR, four mono PCM tracks)
// is written once by the card writer and kept in QZ_BENCH_TMP (default
// /tmp) for later runs.
#include "CFHolder.h"
#include "CUStringMac.h"
#include "FBCMovieSampleForFCPX.h"
#include "LongWrittenClip.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

using namespace ComVantoVantoQZ64RADPlug;

namespace {

constexpr uint32_t kFrames = qzbench::kLongClipFrames;

struct Clip {
    std::string path;
    std::vector<std::pair<int64_t, int32_t>> elements;  // picture, left, right of every frame
    uint64_t totalBytes = 0;
    int32_t largest = 0;
    bool ok = false;
};

CUSharedPtr<FBCMovieSampleForFCPX> OpenClip(const std::string& path) {
    return FBCMovieSampleForFCPX::Create(CUStringMac::Create(path.c_str()), nullptr, kFBCDefaultCodecType);
}

const Clip& TheClip() {
    static Clip clip = [] {
        Clip c;
        c.path = qzbench::LongWrittenClip("qz-plugin-bench-3000.mxf");
        if (c.path.empty()) return c;
        CUSharedPtr<FBCMovieSampleForFCPX> movie = OpenClip(c.path);
        if (!movie || movie->FrameCountInClip() != kFrames || !movie->audioFormatDescription()) return c;
        const int32_t tracks[3] = {movie->trackIndexFromType(kMxfTrackPicture, 0),
                                   movie->trackIndexFromType(kMxfTrackSound, 0),
                                   movie->trackIndexFromType(kMxfTrackSound, 1)};
        for (uint32_t f = 0; f < kFrames; ++f) {
            for (int32_t element : tracks) {
                int64_t offset = 0;
                int32_t length = 0;
                if (element < 0 || !movie->editInfoAtIndex(f, uint32_t(element), &offset, &length)) return c;
                c.elements.emplace_back(offset, length);
                c.totalBytes += uint64_t(length);
                if (length > c.largest) c.largest = length;
            }
        }
        c.ok = true;
        return c;
    }();
    return clip;
}

// A freshly opened movie per iteration, as for a clip being imported.
void BM_PluginVideoAndAudioSampleBuffers(benchmark::State& state) {
    const Clip& clip = TheClip();
    if (!clip.ok) {
        state.SkipWithError("no clip");
        return;
    }
    for (auto _ : state) {
        CUSharedPtr<FBCMovieSampleForFCPX> movie = OpenClip(clip.path);
        if (!movie) {
            state.SkipWithError("cannot open");
            return;
        }
        uint64_t bytes = 0;
        for (uint32_t f = 0; f < kFrames; ++f) {
            CFHolder<CMSampleBufferRef> video =
                CFHolder<CMSampleBufferRef>::Adopt(movie->createVideoSampleBufferAtIndex(f));
            CFHolder<CMSampleBufferRef> audio = CFHolder<CMSampleBufferRef>::Adopt(
                movie->createAudioSampleBufferAtIndex(f, 0, kCMTimePositiveInfinity));
            if (!video || !audio) {
                state.SkipWithError("no buffer");
                return;
            }
            // The bytes taken from the file: the picture and two mono tracks.
            bytes += CMSampleBufferGetTotalSampleSize(video.Get()) +
                     CMBlockBufferGetDataLength(CMSampleBufferGetDataBuffer(audio.Get()));
        }
        benchmark::DoNotOptimize(bytes);
        if (bytes != clip.totalBytes) state.SkipWithError("short read");
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(clip.totalBytes));
}
BENCHMARK(BM_PluginVideoAndAudioSampleBuffers)->Unit(benchmark::kMillisecond)->UseRealTime();

// Plain pread of the same element bytes into one reused buffer.
void BM_PreadSameElements(benchmark::State& state) {
    const Clip& clip = TheClip();
    if (!clip.ok) {
        state.SkipWithError("no clip");
        return;
    }
    std::vector<unsigned char> buffer(size_t(clip.largest));
    const int fd = ::open(clip.path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        state.SkipWithError("cannot open");
        return;
    }
    for (auto _ : state) {
        uint64_t bytes = 0;
        for (const auto& [offset, length] : clip.elements) {
            const ssize_t n = ::pread(fd, buffer.data(), size_t(length), off_t(offset));
            if (n > 0) bytes += uint64_t(n);
        }
        benchmark::DoNotOptimize(bytes);
    }
    ::close(fd);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(clip.totalBytes));
}
BENCHMARK(BM_PreadSameElements)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
