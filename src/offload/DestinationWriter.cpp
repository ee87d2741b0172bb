#include "DestinationWriter.h"

#include "CUDriveFileReader.h"
#include "CUFailure.h"
#include "CUInterruption.h"
#include "CUOutputFile.h"

#include <chrono>

namespace qzoffload {

using namespace ComVantoVantoQZ64RADPlug;

DestinationWriter::DestinationWriter(size_t index, DestinationRun& run, const std::vector<CopyJob>& jobs,
                                     const std::vector<HashFormat>& formats, bool verify,
                                     const CopyHooks& hooks, const CardHashFutures& cardHashes,
                                     ChunkPool& pool, ChunkQueue& queue)
    : m_Index(index),
      m_Run(run),
      m_Jobs(jobs),
      m_Formats(formats),
      m_Verify(verify),
      m_Hooks(hooks),
      m_CardHashes(cardHashes),
      m_Pool(pool),
      m_Queue(queue) {}

DestinationWriter::~DestinationWriter() = default;

void DestinationWriter::Run() {
    const auto started = std::chrono::steady_clock::now();
    for (;;) {
        const ChunkItem item = m_Queue.Pop();
        if (item.kind == ChunkItem::Kind::kStop) break;
        // A stopped destination only gives the chunks back.
        if (m_Failed.load()) {
            m_Pool.Release(item.chunk);
            continue;
        }
        const CopyJob& job = m_Jobs[item.job];
        try {
            switch (item.kind) {
                case ChunkItem::Kind::kBegin:
                    m_Output = std::make_unique<CUOutputFile>(m_Run.root + "/" + job.relativePath);
                    break;
                case ChunkItem::Kind::kData:
                    m_Output->Write(item.chunk->data, item.chunk->size);
                    m_Run.bytesWritten += item.chunk->size;
                    m_Pool.Release(item.chunk);
                    break;
                case ChunkItem::Kind::kEnd:
                    FinishFile(item.job);
                    break;
                case ChunkItem::Kind::kStop:
                    break;
            }
        } catch (const CUError& e) {
            if (item.kind == ChunkItem::Kind::kData) m_Pool.Release(item.chunk);
            Fail(item.job, e.Failure().What());
        }
    }
    // Stopped in the middle of a file: its partial goes.
    m_Output.reset();
    m_Run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
}

void DestinationWriter::FinishFile(size_t index) {
    const CopyJob& job = m_Jobs[index];
    CopyOutcome& outcome = m_Run.outcomes[index];
    m_Output->SetModificationTime(job.modified);
    m_Output->Sync();
    if (m_Hooks.afterSync) m_Hooks.afterSync(m_Index, m_Output->PartialPath(), job.relativePath);
    if (m_Verify) {
        uint64_t bytes = 0;
        const std::optional<FileHashes> copy = ReadBack(m_Output->PartialPath(), bytes);
        if (!copy) {  // interrupted: the partial goes, the file is not done
            m_Output.reset();
            return;
        }
        outcome.copyHashes = *copy;
        if (bytes != job.size)
            outcome.reason = "read back " + std::to_string(bytes) + " bytes of " + std::to_string(job.size);
    }
    const std::optional<FileHashes> card = m_CardHashes[index].get();
    if (!card) {  // the card file was abandoned
        m_Output.reset();
        return;
    }
    outcome.cardHashes = *card;
    if (m_Verify && outcome.reason.empty() && outcome.copyHashes != outcome.cardHashes)
        outcome.reason = "read back from the drive, the copy hashes " + DescribeHashes(outcome.copyHashes) +
                         " but the card " + DescribeHashes(outcome.cardHashes);
    if (!outcome.reason.empty()) {
        // Nothing that looks finished may hold bytes that are not the card's.
        m_Output->Discard();
        outcome.state = CopyOutcome::State::kFailed;
    } else {
        m_Output->Commit(true);
        outcome.state = m_Verify ? CopyOutcome::State::kVerified : CopyOutcome::State::kCopied;
    }
    m_Output.reset();
    ++m_FilesDone;
    if (m_Hooks.afterFile) m_Hooks.afterFile(m_Index, m_FilesDone);
}

std::optional<FileHashes> DestinationWriter::ReadBack(const std::string& path, uint64_t& bytes) {
    static thread_local CUDriveFileReader::Buffer buffer = CUDriveFileReader::AllocateBuffer(kReadBackBytes);
    CUDriveFileReader reader(path, CUDriveFileReader::Source::kFromDrive);
    HashSet hashes(m_Formats);
    while (const size_t got = reader.Read(buffer.get(), kReadBackBytes)) {
        if (CUInterruption::Requested()) return std::nullopt;
        hashes.Update(buffer.get(), got);
    }
    bytes = reader.Offset();
    return hashes.Finish();
}

void DestinationWriter::Fail(size_t job, const std::string& reason) {
    m_Output.reset();
    m_Run.failure = reason;
    m_Run.failedFile = m_Jobs[job].relativePath;
    m_Failed.store(true);
}

}  // namespace qzoffload
