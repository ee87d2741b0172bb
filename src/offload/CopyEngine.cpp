#include "CopyEngine.h"

#include "CUDriveFileReader.h"
#include "CUFailure.h"
#include "CUInterruption.h"
#include "ChunkPool.h"
#include "ChunkQueue.h"
#include "DestinationWriter.h"

#include <memory>
#include <thread>

namespace qzoffload {

using namespace ComVantoVantoQZ64RADPlug;

namespace {

// The hashing thread: the card's bytes of each file in every format.
void HashCardBytes(ChunkQueue& queue, ChunkPool& pool, const std::vector<HashFormat>& formats,
                   std::vector<std::promise<std::optional<FileHashes>>>& promises, std::vector<bool>& kept) {
    std::unique_ptr<HashSet> hashes;
    for (;;) {
        const ChunkItem item = queue.Pop();
        if (item.kind == ChunkItem::Kind::kStop) break;
        switch (item.kind) {
            case ChunkItem::Kind::kBegin:
                hashes = std::make_unique<HashSet>(formats);
                break;
            case ChunkItem::Kind::kData:
                hashes->Update(item.chunk->data, item.chunk->size);
                pool.Release(item.chunk);
                break;
            case ChunkItem::Kind::kEnd:
                promises[item.job].set_value(hashes->Finish());
                kept[item.job] = true;
                break;
            case ChunkItem::Kind::kStop:
                break;
        }
    }
}

bool SameTime(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

}  // namespace

CopyEngine::CopyEngine(std::vector<std::string> roots, std::vector<OffloadJournal*> journals,
                       std::vector<HashFormat> formats, bool verify, CopyHooks hooks,
                       CopyProgressFunction progress)
    : m_Roots(std::move(roots)),
      m_Journals(std::move(journals)),
      m_Formats(std::move(formats)),
      m_Verify(verify),
      m_Hooks(std::move(hooks)),
      m_Progress(std::move(progress)) {}

CopyEngine::Result CopyEngine::Run(const std::vector<CopyJob>& jobs) {
    Result result;
    ChunkPool pool(kChunks, kChunkBytes);
    std::vector<std::promise<std::optional<FileHashes>>> promises(jobs.size());
    CardHashFutures futures;
    for (auto& promise : promises) futures.push_back(promise.get_future().share());
    std::vector<bool> hashed(jobs.size(), false);

    ChunkQueue hashQueue;
    std::vector<std::unique_ptr<ChunkQueue>> queues;
    std::vector<std::unique_ptr<DestinationWriter>> writers;
    result.destinations.resize(m_Roots.size());
    for (size_t d = 0; d < m_Roots.size(); ++d) {
        result.destinations[d].root = m_Roots[d];
        result.destinations[d].outcomes.resize(jobs.size());
        queues.push_back(std::make_unique<ChunkQueue>());
        writers.push_back(std::make_unique<DestinationWriter>(
            d, result.destinations[d], jobs, m_Formats, m_Verify, m_Hooks, futures, pool, *queues[d],
            d < m_Journals.size() ? m_Journals[d] : nullptr));
    }
    std::vector<std::thread> threads;
    threads.emplace_back(HashCardBytes, std::ref(hashQueue), std::ref(pool), std::cref(m_Formats),
                         std::ref(promises), std::ref(hashed));
    for (auto& writer : writers) threads.emplace_back([&writer] { writer->Run(); });

    uint64_t total = 0, done = 0;
    for (const CopyJob& job : jobs) total += job.size;
    try {
        for (size_t j = 0; j < jobs.size(); ++j) {
            const CopyJob& job = jobs[j];
            std::vector<ChunkQueue*> consumers{&hashQueue};
            for (size_t d = 0; d < writers.size(); ++d)
                if (job.wanted[d] && !writers[d]->Failed()) consumers.push_back(queues[d].get());
            if (consumers.size() == 1) continue;  // no destination takes it (any more)
            CUInterruption::ThrowIfRequested();
            for (ChunkQueue* queue : consumers) queue->Push({ChunkItem::Kind::kBegin, j, nullptr});
            CUDriveFileReader reader(job.sourcePath, CUDriveFileReader::Source::kCached);
            for (;;) {
                Chunk* chunk = pool.Acquire(static_cast<int>(consumers.size()),
                                            [] { return CUInterruption::Requested(); });
                CUInterruption::ThrowIfRequested();
                chunk->size = reader.Read(chunk->data, pool.ChunkBytes());
                // A card on a slow reader: the next chunk comes in while this one is handed out.
                if (reader.Offset() < job.size) reader.ReadAhead(pool.ChunkBytes());
                if (chunk->size == 0) {
                    for (size_t u = 0; u < consumers.size(); ++u) pool.Release(chunk);
                    break;
                }
                if (reader.Offset() > job.size)
                    throw CUError(CUFailure(kResultReadFailure,
                                            job.relativePath + " grew while being copied (it had " +
                                                std::to_string(job.size) + " bytes)",
                                            job.sourcePath, static_cast<int64_t>(job.size)));
                for (ChunkQueue* queue : consumers) queue->Push({ChunkItem::Kind::kData, j, chunk});
                done += chunk->size;
                if (m_Hooks.afterCardRead) m_Hooks.afterCardRead(job.relativePath, reader.Offset());
                if (m_Progress) m_Progress(job.relativePath, reader.Offset(), job.size, done, total);
            }
            const CUFileStatus now = reader.Status();
            if (reader.Offset() != job.size || now.size != job.size ||
                !SameTime(now.modified, job.modified)) {
                // What changed: its length, or (same length) its time.
                const std::string what =
                    reader.Offset() != job.size || now.size != job.size
                        ? std::to_string(reader.Offset()) + " bytes read of " + std::to_string(job.size) +
                              ", its size is now " + std::to_string(now.size)
                        : "its modification time changed from " + CUFileStatus::TimeText(job.modified) +
                              " to " + CUFileStatus::TimeText(now.modified);
                throw CUError(CUFailure(kResultReadFailure,
                                        job.relativePath + " changed while being copied: " + what,
                                        job.sourcePath, static_cast<int64_t>(reader.Offset())));
            }
            if (m_Progress && job.size == 0) m_Progress(job.relativePath, 0, 0, done, total);
            for (ChunkQueue* queue : consumers) queue->Push({ChunkItem::Kind::kEnd, j, nullptr});
        }
    } catch (const CUInterrupted& e) {
        result.interruptSignal = e.Signal();
    } catch (const CUError& e) {
        result.cardFailure = e.Failure().Describe();
    }
    hashQueue.Push({ChunkItem::Kind::kStop, 0, nullptr});
    for (auto& queue : queues) queue->Push({ChunkItem::Kind::kStop, 0, nullptr});
    // The hashing thread ends first: a writer may wait for a card hash that
    // it then knows will never come.
    threads.front().join();
    for (size_t j = 0; j < jobs.size(); ++j)
        if (!hashed[j]) promises[j].set_value(std::nullopt);
    for (size_t t = 1; t < threads.size(); ++t) threads[t].join();
    for (const auto& future : futures) result.cardHashes.push_back(future.get());
    return result;
}

}  // namespace qzoffload
