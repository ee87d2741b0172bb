#pragma once
// The thread that writes one destination: each file as a hidden partial
// beside its final name, synced, read back from the drive (not the page
// cache) and hashed, compared with the card's hashes, then renamed into
// place (the folder synced) or, when the read-back differs, removed. A
// failure of the destination (no space, an I/O error, the drive gone)
// stops it: the partial is removed and the rest of its work drained, so the
// other destinations go on. Run() is called on its own thread; the object
// is then not touched by others until it returns.
#include "ChunkPool.h"
#include "ChunkQueue.h"
#include "CopyJob.h"

#include <atomic>
#include <future>
#include <memory>
#include <optional>
#include <vector>

namespace ComVantoVantoQZ64RADPlug {
class CUOutputFile;
}

namespace qzoffload {

// The hashes of each job's card bytes as the hashing thread finishes them;
// nothing when the file was abandoned.
using CardHashFutures = std::vector<std::shared_future<std::optional<FileHashes>>>;

class DestinationWriter {
public:
    // Bytes asked of the drive in one read-back read.
    static constexpr size_t kReadBackBytes = 4u << 20;

    DestinationWriter(size_t index, DestinationRun& run, const std::vector<CopyJob>& jobs,
                      const std::vector<HashFormat>& formats, bool verify, const CopyHooks& hooks,
                      const CardHashFutures& cardHashes, ChunkPool& pool, ChunkQueue& queue);
    ~DestinationWriter();

    void Run();
    // Whether the destination has stopped (read by the reading thread).
    bool Failed() const { return m_Failed.load(); }

private:
    void FinishFile(size_t job);
    // The hashes of the partial as the drive holds it; nothing when
    // interrupted. `bytes` gets the count read.
    std::optional<FileHashes> ReadBack(const std::string& path, uint64_t& bytes);
    void Fail(size_t job, const std::string& reason);

    size_t m_Index;
    DestinationRun& m_Run;
    const std::vector<CopyJob>& m_Jobs;
    const std::vector<HashFormat>& m_Formats;
    bool m_Verify;
    const CopyHooks& m_Hooks;
    const CardHashFutures& m_CardHashes;
    ChunkPool& m_Pool;
    ChunkQueue& m_Queue;
    std::atomic<bool> m_Failed{false};
    size_t m_FilesDone = 0;
    std::unique_ptr<ComVantoVantoQZ64RADPlug::CUOutputFile> m_Output;  // the file being written
};

}  // namespace qzoffload
