#include "ThumbnailBatch.h"

#include "CUInterruption.h"
#include "ReportError.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <thread>

namespace qzreport {

using ComVantoVantoQZ64RADPlug::CUInterruption;

std::vector<ClipPictures> ThumbnailBatch::Run(const std::vector<ThumbnailRequest>& requests, unsigned threads,
                                              const Progress& progress) {
    std::vector<ClipPictures> results(requests.size());
    if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
    threads = static_cast<unsigned>(std::min<size_t>(threads, std::max<size_t>(1, requests.size())));
    std::atomic<size_t> next{0};
    std::atomic<bool> stop{false};
    std::mutex lock;  // guards done, failure and the progress callback
    size_t done = 0;
    std::exception_ptr failure;
    auto work = [&] {
        for (size_t i = next++; i < requests.size() && !stop && !CUInterruption::Requested(); i = next++) {
            try {
                results[i] = ThumbnailMaker::Make(requests[i]);
            } catch (const std::exception&) {  // carried to the caller's thread, thrown there
                std::lock_guard<std::mutex> guard(lock);
                if (!failure) failure = std::current_exception();
                stop = true;
                return;
            }
            std::lock_guard<std::mutex> guard(lock);
            ++done;
            if (progress) progress(done, requests.size());
        }
    };
    std::vector<std::thread> workers;
    for (unsigned t = 1; t < threads; ++t) workers.emplace_back(work);
    work();
    for (std::thread& worker : workers) worker.join();
    if (failure) std::rethrow_exception(failure);
    CUInterruption::ThrowIfRequested();
    return results;
}

}  // namespace qzreport
