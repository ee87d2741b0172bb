#include "DestinationWriter.h"

#include "CUDriveFileReader.h"
#include "CUFailure.h"
#include "CUInterruption.h"
#include "CUOutputFile.h"
#include "DriveHash.h"

#include <chrono>
#include <thread>

namespace qzoffload {

using namespace ComVantoVantoQZ64RADPlug;

DestinationWriter::DestinationWriter(size_t index, DestinationRun& run, const std::vector<CopyJob>& jobs,
                                     const std::vector<HashFormat>& formats, bool verify,
                                     const CopyHooks& hooks, const CardHashFutures& cardHashes,
                                     ChunkPool& pool, ChunkQueue& queue, OffloadJournal* journal)
    : m_Index(index),
      m_Run(run),
      m_Jobs(jobs),
      m_Formats(formats),
      m_Verify(verify),
      m_Hooks(hooks),
      m_CardHashes(cardHashes),
      m_Journal(journal),
      m_Pool(pool),
      m_Queue(queue) {}

DestinationWriter::~DestinationWriter() = default;

void DestinationWriter::Run() {
    const auto started = std::chrono::steady_clock::now();
    std::thread readBack([this] { CheckWrittenFiles(); });
    WriteFiles();
    m_Written.Close();
    readBack.join();
    m_Run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
}

void DestinationWriter::WriteFiles() {
    for (;;) {
        const ChunkItem item = m_Queue.Pop();
        if (item.kind == ChunkItem::Kind::kStop) break;
        // A stopped destination only gives the chunks back.
        if (m_Failed.load()) {
            m_Output.reset();
            m_Pool.Release(item.chunk);
            continue;
        }
        const CopyJob& job = m_Jobs[item.job];
        try {
            switch (item.kind) {
                case ChunkItem::Kind::kBegin:
                    m_Output = std::make_unique<CUOutputFile>(m_Run.root + "/" + job.relativePath,
                                                              CUOutputFile::Caching::kDirect);
                    break;
                case ChunkItem::Kind::kData:
                    m_Output->Write(item.chunk->data, item.chunk->size);
                    m_Run.bytesWritten += item.chunk->size;
                    m_Pool.Release(item.chunk);
                    break;
                case ChunkItem::Kind::kEnd:
                    m_Output->Flush();
                    m_Output->SetModificationTime(job.modified);
                    // Refused once the destination has stopped: the partial goes.
                    m_Written.Push({item.job, std::move(m_Output)});
                    break;
                case ChunkItem::Kind::kStop:
                    break;
            }
        } catch (const CUError& e) {
            if (item.kind == ChunkItem::Kind::kData) m_Pool.Release(item.chunk);
            Fail(item.job, e.Failure().What());
            m_Output.reset();
        }
    }
    // Stopped in the middle of a file: its partial goes.
    m_Output.reset();
}

void DestinationWriter::CheckWrittenFiles() {
    CUDriveFileReader::Buffer buffer;  // allocated at the first read-back
    while (std::optional<WrittenFile> file = m_Written.Pop()) {
        // Once stopped or interrupted, files not yet checked are not done.
        if (!m_Failed.load() && !CUInterruption::Requested()) {
            try {
                FinishFile(*file, buffer);
            } catch (const CUError& e) {
                Fail(file->job, e.Failure().What());
            }
        }
        file->output.reset();  // not committed: the partial goes
        m_Written.Done();
    }
}

void DestinationWriter::FinishFile(WrittenFile& file, CUDriveFileReader::Buffer& buffer) {
    const CopyJob& job = m_Jobs[file.job];
    CopyOutcome& outcome = m_Run.outcomes[file.job];
    CUOutputFile& output = *file.output;
    output.Sync();
    if (m_Hooks.afterSync) m_Hooks.afterSync(m_Index, output.PartialPath(), job.relativePath);
    if (m_Verify) {
        uint64_t bytes = 0;
        const std::optional<FileHashes> copy = ReadBack(output.PartialPath(), bytes, buffer);
        if (!copy) return;  // interrupted: the partial goes, the file is not done
        outcome.copyHashes = *copy;
        if (bytes != job.size)
            outcome.reason = "read back " + std::to_string(bytes) + " bytes of " + std::to_string(job.size);
    }
    const std::optional<FileHashes> card = m_CardHashes[file.job].get();
    if (!card) return;  // the card file was abandoned
    outcome.cardHashes = *card;
    if (m_Verify && outcome.reason.empty() && outcome.copyHashes != outcome.cardHashes)
        outcome.reason = "read back from the drive, the copy hashes " + DescribeHashes(outcome.copyHashes) +
                         " but the card " + DescribeHashes(outcome.cardHashes);
    if (!outcome.reason.empty()) {
        // Nothing that looks finished may hold bytes that are not the card's.
        output.Discard();
        outcome.state = CopyOutcome::State::kFailed;
    } else {
        output.Commit(true);
        outcome.state = m_Verify ? CopyOutcome::State::kVerified : CopyOutcome::State::kCopied;
        if (m_Journal) m_Journal->Append({job.relativePath, job.size, job.modified, *card, m_Verify});
        if (m_Hooks.afterCommit) m_Hooks.afterCommit(m_Index, job.relativePath);
    }
    ++m_FilesDone;
    // Before the file's place in the queue is freed: the writer is then
    // at most kFilesAhead files further on.
    if (m_Hooks.afterFile) m_Hooks.afterFile(m_Index, m_FilesDone);
}

std::optional<FileHashes> DestinationWriter::ReadBack(const std::string& path, uint64_t& bytes,
                                                      CUDriveFileReader::Buffer& buffer) {
    const std::optional<DriveHash> read = HashOnDrive(path, m_Formats, buffer);
    if (!read) return std::nullopt;
    bytes = read->bytes;
    return read->hashes;
}

void DestinationWriter::Fail(size_t job, const std::string& reason) {
    {
        std::lock_guard<std::mutex> lock(m_FailureMutex);
        if (!m_Failed.load()) {
            m_Run.failure = reason;
            m_Run.failedFile = m_Jobs[job].relativePath;
        }
        m_Failed.store(true);
    }
    // A writer waiting for room gives up; the files handed over are dropped.
    m_Written.Close();
}

}  // namespace qzoffload
