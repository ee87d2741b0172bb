#include "DestinationPlan.h"

#include "CUDriveFileReader.h"
#include "CUFailure.h"
#include "CUFileStatus.h"
#include "CUInterruption.h"
#include "CUOutputFile.h"
#include "DriveHash.h"
#include "OffloadError.h"

#include <map>
#include <set>
#include <system_error>

namespace qzoffload {

using namespace ComVantoVantoQZ64RADPlug;
namespace fs = std::filesystem;

namespace {

void RemoveStalePartials(const fs::path& root) {
    CUOutputFile::RemoveStalePartials(root.string());
    std::error_code error;
    for (fs::recursive_directory_iterator it(root, error), end; !error && it != end; it.increment(error))
        if (it->is_directory(error) && !it->is_symlink(error))
            CUOutputFile::RemoveStalePartials(it->path().string());
}

// The hashes of a destination file as the drive holds it; nothing when it
// cannot be read, has not `expectedSize` bytes or the run is interrupted.
std::optional<FileHashes> RehashOnDrive(const std::string& path, const std::vector<HashFormat>& formats,
                                        uint64_t expectedSize) {
    try {
        CUDriveFileReader::Buffer buffer;
        const std::optional<DriveHash> read = HashOnDrive(path, formats, buffer);
        if (!read || read->bytes != expectedSize) return std::nullopt;
        return read->hashes;
    } catch (const CUError&) {
        return std::nullopt;  // reported as changed, and copied again
    }
}

bool SameTime(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

std::pair<std::string, std::string> FolderAndName(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return {std::string(), path};
    return {path.substr(0, slash), path.substr(slash + 1)};
}

}  // namespace

bool DestinationPlan::Exists() const {
    std::error_code error;
    return fs::exists(fs::symlink_status(m_Root, error));
}

void DestinationPlan::Lock(double waitSeconds) {
    const std::optional<CUFileStatus> status = CUFileStatus::Of(m_Root.string());
    if (!status || status->kind != CUFileStatus::Kind::kFolder)
        throw OffloadError(m_Root.string() + " is in the way of the copy: it is not a folder",
                           CUFailureKind::kSetup);
    m_Lock = std::make_unique<CUFolderLock>(m_Root.string(), waitSeconds);
}

void DestinationPlan::Prepare(const std::vector<CopyJob>& jobs, const std::vector<CardFile>& cardFiles) {
    m_Copy.assign(jobs.size(), false);
    m_Vouched.assign(jobs.size(), std::nullopt);
    m_Kept.assign(jobs.size(), std::nullopt);
    m_Refused.assign(jobs.size(), std::nullopt);
    m_Foreign.clear();
    m_Found = {};
    m_Journal.reset();
    m_StaleJournal = false;
    if (!Exists()) {
        m_History = MhlHistory::Load(m_Root.string());  // empty, for the folder to come
        m_Copy.assign(jobs.size(), true);
        return;
    }
    RemoveStalePartials(m_Root);
    m_History = MhlHistory::Load(m_Root.string());
    m_Journal = OffloadJournal::Read(m_Root.string());
    if (m_Journal && m_History.NewestRecordRun() == m_Journal->run) {
        m_Journal.reset();  // its run wrote its generation and was stopped before removing it
        m_StaleJournal = true;
    }

    for (size_t j = 0; j < jobs.size(); ++j) {
        const CopyJob& job = jobs[j];
        // The journal is newer than any generation: an unfinished run verified the file.
        if (m_Journal) {
            const auto done = m_Journal->done.find(job.relativePath);
            if (done != m_Journal->done.end() && done->second.size == job.size &&
                SameTime(done->second.modified, job.modified)) {
                m_Vouched[j] = done->second.hashes;
                continue;
            }
        }
        if (const MhlFileEntry* entry = m_History.NewestVouched(job.relativePath)) {
            if (entry->size == job.size && entry->modified == static_cast<int64_t>(job.modified.tv_sec)) {
                FileHashes hashes;
                for (const auto& [format, hash] : entry->hashes) hashes[format] = hash.value;
                m_Vouched[j] = hashes;
            } else {
                m_Refused[j] =
                    FileFailure{job.relativePath,
                                "the copy's history records another version of this file; it is not "
                                "replaced (offload this card under another --name)",
                                {},
                                {},
                                FileProblem::kNotCopied};
            }
            continue;
        }
        const std::optional<CUFileStatus> there = CUFileStatus::Of((m_Root / job.relativePath).string());
        // A file of our own interrupted run has the card file's size and time.
        const bool ours = there && there->kind == CUFileStatus::Kind::kRegular && there->size == job.size &&
                          SameTime(there->modified, job.modified);
        if (!there || ours)
            m_Copy[j] = true;
        else
            m_Refused[j] = FileFailure{job.relativePath,
                                       "another file is in the way in the copy; it is not replaced",
                                       {},
                                       {},
                                       FileProblem::kNotCopied};
    }

    // What the copy holds that is neither the card's nor vouched for.
    std::set<std::string> card;
    for (const CardFile& file : cardFiles) card.insert(file.relativePath);
    for (const SourceFile& file : SourceTree::Walk(m_Root.string()).files) {
        if (card.count(file.relativePath) || m_History.NewestVouched(file.relativePath) ||
            (m_Journal && m_Journal->done.count(file.relativePath)))
            continue;
        m_Foreign.push_back(file);
        m_Found.foreign.push_back(file.relativePath);
    }
}

void DestinationPlan::Rehash(const std::vector<CopyJob>& jobs, const std::vector<HashFormat>& formats) {
    std::map<std::string, std::set<std::pair<std::string, uint64_t>>> gone;
    for (size_t j = 0; j < jobs.size(); ++j) {
        if (!m_Vouched[j]) continue;
        if (CUInterruption::Requested()) return;
        const CopyJob& job = jobs[j];
        const std::string path = (m_Root / job.relativePath).string();
        const std::optional<CUFileStatus> there = CUFileStatus::Of(path);
        if (!there || there->kind != CUFileStatus::Kind::kRegular) {
            m_Found.missing.push_back(job.relativePath);
            const auto [folder, name] = FolderAndName(job.relativePath);
            gone[folder].insert({name, job.size});
            m_Copy[j] = true;
            continue;
        }
        std::set<HashFormat> all(formats.begin(), formats.end());
        for (const auto& [format, value] : *m_Vouched[j]) all.insert(format);
        const std::optional<FileHashes> found = RehashOnDrive(path, {all.begin(), all.end()}, job.size);
        if (CUInterruption::Requested()) return;
        bool same = found.has_value();
        for (const auto& [format, value] : *m_Vouched[j])
            if (same && found->at(format) != value) same = false;
        if (same) {
            m_Kept[j] = found;
            if (!m_History.NewestVouched(job.relativePath)) ++m_Found.resumed;
        } else {
            m_Found.changed.push_back(job.relativePath);
            m_Copy[j] = true;
        }
    }
    // A folder whose files are gone while another holds files of the same names and sizes.
    std::map<std::string, std::set<std::pair<std::string, uint64_t>>> extra;
    for (const SourceFile& file : m_Foreign) {
        const auto [folder, name] = FolderAndName(file.relativePath);
        extra[folder].insert({name, file.size});
    }
    for (const auto& [folder, files] : gone)
        for (const auto& [other, others] : extra)
            if (files == others) m_Found.renamed.push_back({folder, other});
}

}  // namespace qzoffload
