#pragma once
// The two threads that copy to one destination. The writer writes each file
// as a hidden partial beside its final name (direct I/O where the file
// system takes it: the chunks go from memory to the drive) and hands it,
// written whole, to the read-back thread, which syncs it, reads it back
// from the drive (not the page cache), hashes it and compares the hashes
// with the card's, then renames it into place (the folder synced) or, when
// the read-back differs, removes it; a file in place is appended to the
// copy's journal. So file N is read back while file N+1
// is written, and the writer runs at most kFilesAhead files ahead. A failure
// of the destination (no space, an I/O error, the drive gone) on either
// thread stops it: the partials not yet checked are removed and the rest of
// its work drained, so the other destinations go on. Run() is called on one
// thread; the object is then not touched by others until it returns, but
// for Failed().
#include "ChunkPool.h"
#include "ChunkQueue.h"
#include "CopyJob.h"
#include "OffloadJournal.h"
#include "ReadBackQueue.h"

#include <atomic>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace qzoffload {

// The hashes of each job's card bytes as the hashing thread finishes them;
// nothing when the file was abandoned.
using CardHashFutures = std::vector<std::shared_future<std::optional<FileHashes>>>;

class DestinationWriter {
public:
    // Files written whole and not yet read back (the one being read back
    // included) before the writer waits.
    // Enough to write on through the small files of a clip while the
    // read-back syncs them one by one.
    static constexpr size_t kFilesAhead = 4;

    DestinationWriter(size_t index, DestinationRun& run, const std::vector<CopyJob>& jobs,
                      const std::vector<HashFormat>& formats, bool verify, const CopyHooks& hooks,
                      const CardHashFutures& cardHashes, ChunkPool& pool, ChunkQueue& queue,
                      OffloadJournal* journal);
    ~DestinationWriter();

    // Writes on the calling thread, reads back on a thread of its own, and
    // returns when the queue says stop and every file handed over is done.
    void Run();
    // Whether the destination has stopped (read by the reading thread).
    bool Failed() const { return m_Failed.load(); }

private:
    void WriteFiles();
    void CheckWrittenFiles();
    // Syncs, reads back and commits or removes one written file.
    void FinishFile(WrittenFile& file, ComVantoVantoQZ64RADPlug::CUDriveFileReader::Buffer& buffer);
    // The hashes of the partial as the drive holds it; nothing when
    // interrupted. `bytes` gets the count read.
    std::optional<FileHashes> ReadBack(const std::string& path, uint64_t& bytes,
                                       ComVantoVantoQZ64RADPlug::CUDriveFileReader::Buffer& buffer);
    // Either thread; the first failure is the one reported.
    void Fail(size_t job, const std::string& reason);

    size_t m_Index;
    DestinationRun& m_Run;
    const std::vector<CopyJob>& m_Jobs;
    const std::vector<HashFormat>& m_Formats;
    bool m_Verify;
    const CopyHooks& m_Hooks;
    const CardHashFutures& m_CardHashes;
    OffloadJournal* m_Journal;  // null for none; appended to by the read-back thread
    ChunkPool& m_Pool;
    ChunkQueue& m_Queue;
    ReadBackQueue m_Written{kFilesAhead};
    std::atomic<bool> m_Failed{false};
    std::mutex m_FailureMutex;  // m_Run.failure and failedFile
    size_t m_FilesDone = 0;     // read-back thread
    std::unique_ptr<ComVantoVantoQZ64RADPlug::CUOutputFile>
        m_Output;  // writer thread: the file being written
};

}  // namespace qzoffload
