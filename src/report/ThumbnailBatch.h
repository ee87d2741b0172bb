#pragma once
// Makes the thumbnails of many clips on a bounded pool of threads: each
// worker takes the next clip, so at most one clip's movie and one picture
// per worker are in memory whatever the number of clips. Run() is called by
// one thread; the progress callback is called under a lock, one call at a time.
#include "ThumbnailMaker.h"

#include <cstddef>
#include <functional>
#include <vector>

namespace qzreport {

class ThumbnailBatch {
public:
    // (clips done, clips in all)
    using Progress = std::function<void(size_t, size_t)>;

    // `threads` 0: one per core. Results in the order of the requests. The
    // first exception a worker meets (ReportError for an output) is thrown
    // here once every worker has stopped (the others stop taking clips); an
    // interrupting signal (CUInterruption) stops them too and throws
    // CUInterrupted here.
    static std::vector<ClipPictures> Run(const std::vector<ThumbnailRequest>& requests, unsigned threads,
                                         const Progress& progress = nullptr);
};

}  // namespace qzreport
