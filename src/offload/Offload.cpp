#include "Offload.h"

#include "CUDriveFileReader.h"
#include "CUFailure.h"
#include "CUFileStatus.h"
#include "CUFolderLock.h"
#include "CUInterruption.h"
#include "CUOutputFile.h"
#include "CardClips.h"
#include "CopyEngine.h"
#include "FBC_Utl_HostName.h"
#include "MhlHistory.h"
#include "OffloadError.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <system_error>
#include <thread>

namespace qzoffload {

using namespace ComVantoVantoQZ64RADPlug;
namespace fs = std::filesystem;

namespace {

constexpr const char* kLockName = "offload";
// Room kept free for the history and the folders.
constexpr uint64_t kSpareBytes = 1u << 20;

// Whether `inner` is `outer` or lies inside it (both canonical).
bool Within(const fs::path& inner, const fs::path& outer) {
    auto o = outer.begin();
    for (auto i = inner.begin(); o != outer.end(); ++i, ++o)
        if (i == inner.end() || *i != *o) return false;
    return true;
}

std::string Text(const std::error_code& error) {
    return error.message();
}

// Everything one destination needs between set-up and its history.
struct Destination {
    fs::path root;  // DEST/NAME
    std::unique_ptr<CUFolderLock> lock;
    MhlHistory history;
    std::vector<FileFailure> failures;
    // Per job: the hashes of a vouched file re-hashed on the destination and kept.
    std::vector<std::optional<FileHashes>> kept;
    std::vector<bool> candidate;  // vouched with the card file's size and time: re-hash it
    std::vector<bool> recopy;     // a candidate that no longer hashes as recorded
};

void RemoveStalePartials(const fs::path& root) {
    CUOutputFile::RemoveStalePartials(root.string());
    std::error_code error;
    for (fs::recursive_directory_iterator it(root, error), end; !error && it != end; it.increment(error))
        if (it->is_directory(error) && !it->is_symlink(error))
            CUOutputFile::RemoveStalePartials(it->path().string());
}

// The hashes of a destination file as the drive holds it; nothing when it
// cannot be read or the run is interrupted.
std::optional<FileHashes> HashOnDrive(const std::string& path, const std::vector<HashFormat>& formats,
                                      uint64_t expectedSize) {
    try {
        CUDriveFileReader reader(path, CUDriveFileReader::Source::kFromDrive);
        CUDriveFileReader::Buffer buffer = CUDriveFileReader::AllocateBuffer(CopyEngine::kChunkBytes);
        HashSet hashes(formats);
        while (const size_t got = reader.Read(buffer.get(), CopyEngine::kChunkBytes)) {
            if (CUInterruption::Requested()) return std::nullopt;
            hashes.Update(buffer.get(), got);
        }
        if (reader.Offset() != expectedSize) return std::nullopt;
        return hashes.Finish();
    } catch (const CUError&) {
        return std::nullopt;  // copied again instead
    }
}

std::vector<HashFormat> Union(const std::vector<HashFormat>& formats, const MhlFileEntry& entry) {
    std::set<HashFormat> all(formats.begin(), formats.end());
    for (const auto& [format, hash] : entry.hashes) all.insert(format);
    return {all.begin(), all.end()};
}

// Re-hashes the files a destination's history vouches for; those that still
// hash as recorded are kept, the others copied again.
void RehashVouched(Destination& destination, const std::vector<CopyJob>& jobs,
                   const std::vector<HashFormat>& formats) {
    destination.recopy.assign(jobs.size(), false);
    for (size_t j = 0; j < jobs.size() && !CUInterruption::Requested(); ++j) {
        if (!destination.candidate[j]) continue;
        const MhlFileEntry* entry = destination.history.NewestVouched(jobs[j].relativePath);
        const std::optional<FileHashes> found = HashOnDrive(
            (destination.root / jobs[j].relativePath).string(), Union(formats, *entry), jobs[j].size);
        bool same = found.has_value();
        for (const auto& [format, hash] : entry->hashes)
            if (same && found->at(format) != hash.value) same = false;
        if (same)
            destination.kept[j] = found;
        else
            destination.recopy[j] = true;
    }
}

MhlHash Hash(const std::string& value, HashAction action, int64_t date) {
    return MhlHash{value, action, date};
}

}  // namespace

int64_t MhlCreator::Now() const {
    if (clock) return clock();
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string MhlCreator::Host() const {
    return hostName.empty() ? FBC_Utl_HostName() : hostName;
}

std::vector<HashFormat> Offload::Formats(const std::vector<HashFormat>& asked) {
    std::set<HashFormat> formats(asked.begin(), asked.end());
    if (formats.empty()) formats.insert(HashFormat::kXxh64);
    return {formats.begin(), formats.end()};
}

OffloadReport Offload::Run(const OffloadOptions& options) {
    OffloadReport report;
    report.formats = Formats(options.formats);
    report.verify = options.verify;
    std::error_code error;

    // The card.
    if (!fs::is_directory(options.card, error))
        throw OffloadError(options.card + " is not a card: no such folder", OffloadFailure::kNotACard);
    const fs::path card = fs::canonical(options.card, error);
    if (error)
        throw OffloadError("cannot read " + options.card + ": " + Text(error), OffloadFailure::kNotACard);
    report.card = card.string();
    report.clips = CardClips::Of(report.card);
    report.name = options.name.empty() ? card.filename().string() : options.name;
    if (report.name.empty() || report.name == "." || report.name == ".." ||
        report.name.find('/') != std::string::npos)
        throw OffloadError("the name '" + report.name + "' is not a folder name", OffloadFailure::kUsage);
    if (options.destinations.empty()) throw OffloadError("no destination given", OffloadFailure::kUsage);

    // The destinations: existing folders apart from the card.
    std::vector<Destination> destinations(options.destinations.size());
    for (size_t d = 0; d < destinations.size(); ++d) {
        const std::string& given = options.destinations[d];
        if (!fs::is_directory(given, error))
            throw OffloadError("the destination " + given + " is not a folder", OffloadFailure::kSetup);
        const fs::path folder = fs::canonical(given, error);
        if (error) throw OffloadError("cannot read " + given + ": " + Text(error), OffloadFailure::kSetup);
        if (Within(folder, card))
            throw OffloadError("the destination " + given + " lies inside the card " + report.card,
                               OffloadFailure::kSetup);
        if (Within(card, folder))
            throw OffloadError("the card " + report.card + " lies inside the destination " + given,
                               OffloadFailure::kSetup);
        destinations[d].root = folder / report.name;
        for (size_t e = 0; e < d; ++e)
            if (destinations[e].root == destinations[d].root)
                throw OffloadError("the destination " + given + " is given twice", OffloadFailure::kSetup);
    }

    const SourceTree tree = SourceTree::Walk(report.card);
    report.cardFiles = tree.files.size();
    report.cardBytes = tree.totalBytes;
    report.skipped = tree.skipped;

    // Lock, clean up after dead runs, read the histories.
    for (Destination& destination : destinations) {
        const fs::path ascmhl = destination.root / MhlHistory::kFolderName;
        fs::create_directories(ascmhl, error);
        if (error)
            throw OffloadError("cannot create " + ascmhl.string() + ": " + Text(error),
                               OffloadFailure::kSetup);
        try {
            destination.lock =
                std::make_unique<CUFolderLock>(ascmhl.string(), kLockName, options.waitSeconds);
        } catch (const CUError& e) {
            throw OffloadError(e.Failure().What(), e.Code() == kResultFolderBusy ? OffloadFailure::kBusy
                                                                                 : OffloadFailure::kSetup);
        }
        RemoveStalePartials(destination.root);
        destination.history = MhlHistory::Load(destination.root.string());
    }

    // What each destination needs: every card file, less those its history
    // vouches for (kept once re-hashed), never replacing what we cannot
    // account for.
    std::vector<CopyJob> jobs;
    for (const SourceFile& file : tree.files)
        jobs.push_back({(card / file.relativePath).string(), file.relativePath, file.size, file.modified,
                        std::vector<bool>(destinations.size(), false)});
    for (size_t d = 0; d < destinations.size(); ++d) {
        Destination& destination = destinations[d];
        destination.kept.resize(jobs.size());
        destination.candidate.assign(jobs.size(), false);
        for (size_t j = 0; j < jobs.size(); ++j) {
            const CopyJob& job = jobs[j];
            const MhlFileEntry* entry = destination.history.NewestVouched(job.relativePath);
            if (entry) {
                if (entry->size == job.size && entry->modified == static_cast<int64_t>(job.modified.tv_sec))
                    destination.candidate[j] = true;
                else
                    destination.failures.push_back({job.relativePath,
                                                    "the copy's history records another version of this "
                                                    "file; it is not replaced (offload "
                                                    "this card under another --name)",
                                                    {},
                                                    {}});
                continue;
            }
            const std::optional<CUFileStatus> there =
                CUFileStatus::Of((destination.root / job.relativePath).string());
            // A file of our own interrupted run has the card file's size and time.
            const bool ours = there && there->kind == CUFileStatus::Kind::kRegular &&
                              there->size == job.size && there->modified.tv_sec == job.modified.tv_sec &&
                              there->modified.tv_nsec == job.modified.tv_nsec;
            if (!there || ours)
                jobs[j].wanted[d] = true;
            else
                destination.failures.push_back(
                    {job.relativePath, "another file is in the way in the copy; it is not replaced", {}, {}});
        }
    }
    {
        std::vector<std::thread> rehashers;
        for (size_t d = 0; d < destinations.size(); ++d)
            rehashers.emplace_back(RehashVouched, std::ref(destinations[d]), std::cref(jobs),
                                   std::cref(report.formats));
        for (std::thread& thread : rehashers) thread.join();
        for (size_t d = 0; d < destinations.size(); ++d)
            for (size_t j = 0; j < jobs.size(); ++j)
                if (destinations[d].recopy[j]) jobs[j].wanted[d] = true;
    }
    CUInterruption::ThrowIfRequested();

    // Room for what is to be written, then the folders.
    for (size_t d = 0; d < destinations.size(); ++d) {
        uint64_t needed = kSpareBytes;
        for (const CopyJob& job : jobs)
            if (job.wanted[d]) needed += job.size;
        const fs::space_info space = fs::space(destinations[d].root, error);
        if (error)
            throw OffloadError("cannot read the free space of " + destinations[d].root.string(),
                               OffloadFailure::kSetup);
        if (needed > space.available)
            throw OffloadError(destinations[d].root.string() + " has " + std::to_string(space.available) +
                                   " bytes free; the copy needs " + std::to_string(needed),
                               OffloadFailure::kSetup);
    }
    for (size_t d = 0; d < destinations.size(); ++d) {
        for (const SourceFile& folder : tree.folders) {
            fs::create_directories(destinations[d].root / folder.relativePath, error);
            if (error)
                throw OffloadError("cannot create " + (destinations[d].root / folder.relativePath).string() +
                                       ": " + Text(error),
                                   OffloadFailure::kSetup);
        }
    }

    std::vector<std::string> roots;
    for (const Destination& destination : destinations) roots.push_back(destination.root.string());
    CopyEngine engine(roots, report.formats, options.verify, options.hooks, options.progress);
    const CopyEngine::Result copied = engine.Run(jobs);
    report.cardFailure = copied.cardFailure;
    report.interruptSignal = copied.interruptSignal;
    const bool wholeRun = copied.cardFailure.empty() && copied.interruptSignal == 0;

    const int64_t now = options.creator.Now();
    for (size_t d = 0; d < destinations.size(); ++d) {
        Destination& destination = destinations[d];
        const DestinationRun& run = copied.destinations[d];
        DestinationReport out;
        out.path = destination.root.string();
        out.bytes = run.bytesWritten;
        out.seconds = run.seconds;
        out.failures = destination.failures;
        if (!run.failure.empty())
            out.failures.push_back({run.failedFile, "the destination failed: " + run.failure, {}, {}});

        HashList list;
        list.creationDate = now;
        list.hostName = options.creator.Host();
        list.tool = "qzcard";
        list.toolVersion = options.creator.toolVersion;
        list.process = MhlProcess::kTransfer;
        list.ignore = DefaultIgnorePatterns();
        for (size_t j = 0; j < jobs.size(); ++j) {
            const CopyJob& job = jobs[j];
            MhlFileEntry entry{job.relativePath, job.size, static_cast<int64_t>(job.modified.tv_sec), {}};
            const MhlFileEntry* earlier = destination.history.NewestVouched(job.relativePath);
            if (destination.kept[j]) {
                for (const auto& [format, value] : *destination.kept[j])
                    entry.hashes[format] =
                        Hash(value,
                             earlier && earlier->hashes.count(format) ? HashAction::kVerified
                                                                      : HashAction::kOriginal,
                             now);
                ++out.kept;
            } else {
                const CopyOutcome& outcome = run.outcomes[j];
                if (outcome.state == CopyOutcome::State::kNotDone) continue;
                for (const auto& [format, value] : outcome.cardHashes) {
                    HashAction action = HashAction::kOriginal;
                    if (outcome.state == CopyOutcome::State::kFailed)
                        action = HashAction::kFailed;
                    else if (earlier && earlier->hashes.count(format))
                        action = earlier->hashes.at(format).value == value ? HashAction::kVerified
                                                                           : HashAction::kFailed;
                    entry.hashes[format] = Hash(value, action, now);
                    if (action == HashAction::kFailed && outcome.state != CopyOutcome::State::kFailed)
                        out.failures.push_back(
                            {job.relativePath,
                             "the card file no longer has the hash the copy's history records",
                             {{format, earlier->hashes.at(format).value}},
                             {{format, value}}});
                }
                if (outcome.state == CopyOutcome::State::kFailed)
                    out.failures.push_back(
                        {job.relativePath, outcome.reason, outcome.cardHashes, outcome.copyHashes});
                else
                    ++out.copied;
            }
            list.files.push_back(entry);
        }
        out.files = out.kept + out.copied;

        // The copy must list the card's clips.
        if (wholeRun && run.failure.empty()) {
            try {
                const std::vector<std::string> clips = CardClips::Of(out.path);
                if (clips != report.clips) {
                    std::string text;
                    for (const std::string& clip : clips) text += (text.empty() ? "" : " ") + clip;
                    out.failures.push_back(
                        {"", "the copy lists the clips [" + text + "], not those of the card", {}, {}});
                }
            } catch (const OffloadError& e) {
                out.failures.push_back(
                    {"", std::string("the copy does not open as a card: ") + e.what(), {}, {}});
            }
        }
        if (run.failure.empty() && wholeRun) {
            // The folders keep the card's times (set last: writing inside changes them).
            for (auto folder = tree.folders.rbegin(); folder != tree.folders.rend(); ++folder)
                CUFileStatus::SetModificationTime((destination.root / folder->relativePath).string(),
                                                  folder->modified);
            CUFileStatus::SetModificationTime(destination.root.string(), tree.rootModified);
        }
        if (!list.files.empty()) {
            try {
                out.generation = destination.history.Append(list);
            } catch (const OffloadError& e) {
                out.failures.push_back({"", e.what(), {}, {}});
            }
        }
        out.verified = options.verify && wholeRun && out.failures.empty() && out.files == jobs.size();
        report.destinations.push_back(out);
    }
    return report;
}

}  // namespace qzoffload
