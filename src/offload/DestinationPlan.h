#pragma once
// One destination of an offload before its copy begins: its copy folder
// DEST/NAME and the lock on it, the history and the journal of an
// unfinished run found there, and per card file what the run does with it:
// keep it (the journal or the history vouches for it with the card file's
// size and time, and it still hashes so on the drive), copy it, or leave
// what is in its place (a file no run of ours wrote, or the history's other
// version of it) - and what the copy held that its history did not expect
// (files changed or gone since their verification, files of neither the
// card nor the history, a folder renamed). The card is never touched.
// Prepare, Rehash and Lock are called by one thread at a time; Rehash of
// several destinations may run side by side.
#include "CUFolderLock.h"
#include "CardFileList.h"
#include "CopyJob.h"
#include "MhlHistory.h"
#include "OffloadJournal.h"
#include "OffloadReport.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qzoffload {

class DestinationPlan {
public:
    explicit DestinationPlan(std::filesystem::path root) : m_Root(std::move(root)) {}

    const std::filesystem::path& Root() const { return m_Root; }
    // Whether the copy folder exists (it is then locked before Prepare).
    bool Exists() const;
    bool Locked() const { return m_Lock != nullptr; }
    // Takes the lock on the existing copy folder. Throws OffloadError
    // (kSetup: not a folder), CUHostError as CUFolderLock does (kBusy after
    // `waitSeconds`, kSetup); CUInterrupted.
    void Lock(double waitSeconds);

    // Removes partials of dead processes, reads the history (OffloadError
    // when it does not match its chain) and the journal, and decides per
    // job. `jobs` are the card files on the card, in the card's order.
    void Prepare(const std::vector<CopyJob>& jobs, const std::vector<CardFile>& cardFiles);
    // Re-hashes, on the drive, every file to keep (in the recorded formats
    // and `formats`); those that no longer hash as vouched are copied again.
    // Stops early when interrupted.
    void Rehash(const std::vector<CopyJob>& jobs, const std::vector<HashFormat>& formats);

    const MhlHistory& History() const { return m_History; }
    MhlHistory& History() { return m_History; }
    // The journal of an unfinished run, when there is one to fold in.
    const std::optional<JournalContents>& Journal() const { return m_Journal; }
    // A journal whose run's generation was written (a crash in between): remove it.
    bool StaleJournal() const { return m_StaleJournal; }

    bool Copy(size_t job) const { return m_Copy[job]; }
    // The hashes found on the drive of a file kept; null when not kept.
    const FileHashes* Kept(size_t job) const { return m_Kept[job] ? &*m_Kept[job] : nullptr; }
    // Why a card file is not copied (something else is in its place); null when it is.
    const FileFailure* Refused(size_t job) const { return m_Refused[job] ? &*m_Refused[job] : nullptr; }
    const DestinationFindings& Found() const { return m_Found; }

private:
    std::filesystem::path m_Root;
    std::unique_ptr<ComVantoVantoQZ64RADPlug::CUFolderLock> m_Lock;
    MhlHistory m_History;
    std::optional<JournalContents> m_Journal;
    bool m_StaleJournal = false;
    std::vector<bool> m_Copy;
    std::vector<std::optional<FileHashes>> m_Vouched;  // the hashes a file to keep must have
    std::vector<std::optional<FileHashes>> m_Kept;
    std::vector<std::optional<FileFailure>> m_Refused;
    std::vector<SourceFile> m_Foreign;  // with their sizes, to tell a renamed folder
    DestinationFindings m_Found;
};

}  // namespace qzoffload
