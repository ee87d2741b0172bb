// Reading every picture element of a long written clip through
// MXFStream::ReadEssenceData (index lookup, key read, block cache) beside a
// plain pread of the same byte ranges. The clip (3000 frames, 59.94i,
// 50 Mbps CBR, four mono PCM tracks) is written once by the card writer and
// kept in QZ_BENCH_TMP (default /tmp) for later runs.
#include "CUStringMac.h"
#include "CacheFileStream.h"
#include "MXFStream.h"
#include "LongWrittenClip.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace ComVantoVantoQZ64RADPlug;
namespace cw = ComVantoVantoQZ64RADPlug::CardWriter;

namespace {

constexpr uint32_t kFrames = qzbench::kLongClipFrames;

struct Clip {
    std::string path;
    std::vector<MXFEssenceRange> pictures;  // value offset, length per frame
    uint64_t totalBytes = 0;
    uint32_t largest = 0;
    bool ok = false;
};

const Clip& TheClip() {
    static Clip clip = [] {
        Clip c;
        c.path = qzbench::LongWrittenClip("qz-mxfstream-bench-3000.mxf");
        if (c.path.empty()) return c;
        CUSharedPtr<MXFStream> mxf(new MXFStream(CUStringMac::Create(c.path.c_str())));
        if (mxf->Parse() != 0 || mxf->Duration() != kFrames) return c;
        for (int64_t e = 0; e < mxf->Duration(); ++e) {
            const MXFEssenceRange r = mxf->RangeEssenceData(e, cw::kMxfPictureElement);
            if (r.second == 0) return c;
            c.pictures.push_back(r);
            c.totalBytes += r.second;
            if (r.second > c.largest) c.largest = uint32_t(r.second);
        }
        c.ok = true;
        return c;
    }();
    return clip;
}

// A freshly opened and parsed stream per iteration: index segments load
// lazily as the frames are read, as they do for a clip being played.
void BM_MXFStreamReadEssenceData(benchmark::State& state) {
    const Clip& clip = TheClip();
    if (!clip.ok) {
        state.SkipWithError("no clip");
        return;
    }
    std::vector<unsigned char> buffer(clip.largest);
    for (auto _ : state) {
        CUSharedPtr<MXFStream> mxf(new MXFStream(CUStringMac::Create(clip.path.c_str())));
        if (mxf->Parse() != 0) {
            state.SkipWithError("parse failed");
            return;
        }
        uint64_t bytes = 0;
        for (int64_t e = 0; e < int64_t(kFrames); ++e)
            bytes += mxf->ReadEssenceData(e, cw::kMxfPictureElement, buffer.data(), uint32_t(buffer.size()));
        benchmark::DoNotOptimize(bytes);
        if (bytes != clip.totalBytes) state.SkipWithError("short read");
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(clip.totalBytes));
}
BENCHMARK(BM_MXFStreamReadEssenceData)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same byte ranges through the block cache alone.
void BM_CacheFileStreamRead(benchmark::State& state) {
    const Clip& clip = TheClip();
    if (!clip.ok) {
        state.SkipWithError("no clip");
        return;
    }
    std::vector<unsigned char> buffer(clip.largest);
    CUSharedPtr<CacheFileStream> stream = CacheFileStream::Create(CUStringMac::Create(clip.path.c_str()));
    for (auto _ : state) {
        uint64_t bytes = 0;
        for (const MXFEssenceRange& r : clip.pictures)
            bytes += stream->Read(buffer.data(), r.second, int64_t(r.first), kCUStreamSeekBegin);
        benchmark::DoNotOptimize(bytes);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(clip.totalBytes));
}
BENCHMARK(BM_CacheFileStreamRead)->Unit(benchmark::kMillisecond)->UseRealTime();

// Plain pread of the same byte ranges.
void BM_PreadSameRanges(benchmark::State& state) {
    const Clip& clip = TheClip();
    if (!clip.ok) {
        state.SkipWithError("no clip");
        return;
    }
    std::vector<unsigned char> buffer(clip.largest);
    const int fd = ::open(clip.path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        state.SkipWithError("cannot open");
        return;
    }
    for (auto _ : state) {
        uint64_t bytes = 0;
        for (const MXFEssenceRange& r : clip.pictures) {
            const ssize_t n = ::pread(fd, buffer.data(), r.second, off_t(r.first));
            if (n > 0) bytes += uint64_t(n);
        }
        benchmark::DoNotOptimize(bytes);
    }
    ::close(fd);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(clip.totalBytes));
}
BENCHMARK(BM_PreadSameRanges)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
