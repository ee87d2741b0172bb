#include "Offload.h"

#include "CFBCCardFolder.h"
#include "CUFailure.h"
#include "CUFileStatus.h"
#include "CUFileSystemSpace.h"
#include "CUInterruption.h"
#include "CUSpaceReserve.h"
#include "CardFileList.h"
#include "CopyEngine.h"
#include "DestinationPlan.h"
#include "FBC_Utl_HostName.h"
#include "FBC_Utl_Megabytes.h"
#include "FBC_Utl_PathInside.h"
#include "MhlHistory.h"
#include "OffloadError.h"
#include "OffloadJournal.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <system_error>
#include <thread>

namespace qzoffload {

using namespace ComVantoVantoQZ64RADPlug;
namespace fs = std::filesystem;

namespace {

// Room kept free on each destination for the journal and the folders.
constexpr uint64_t kSpareBytes = 1u << 20;

// Room held back on each destination for the generation and the chain, so
// that a drive filled midway still takes the record of what failed: a
// generation entry takes a few hundred bytes per file.
uint64_t HistoryReserveBytes(size_t cardFiles) {
    return (64u << 10) + 1024 * static_cast<uint64_t>(cardFiles);
}

std::string Text(const std::error_code& error) {
    return error.message();
}

// 128 random bits as hexadecimal: ties a journal to the generation of its run.
std::string NewRunId() {
    std::random_device random;
    char text[33];
    for (int i = 0; i < 4; ++i) std::snprintf(text + 8 * i, 9, "%08x", static_cast<unsigned>(random()));
    return text;
}

// Everything one destination needs between set-up and its history.
struct Destination {
    std::string given;  // as on the command line
    fs::path folder;    // DEST, canonical
    DestinationPlan plan;
    bool created = false;  // this run made DEST/NAME
    std::unique_ptr<OffloadJournal> journal;
    std::unique_ptr<CUSpaceReserve> historyRoom;
};

// Removes the copy folders this run made while they are still empty (a
// refusal after they were made), unless the copy has begun.
struct CreatedFolders {
    std::vector<Destination>& destinations;
    bool begun = false;
    ~CreatedFolders() {
        if (begun) return;
        for (Destination& destination : destinations) {
            if (!destination.created) continue;
            std::error_code error;
            fs::remove(destination.plan.Root(), error);  // refused by the system unless empty
        }
    }
};

// The free space of each file system against what every destination on it
// needs: destinations on one file system share its room.
void CheckSpace(const std::vector<Destination>& destinations, const std::vector<CopyJob>& jobs,
                size_t cardFiles) {
    struct Drive {
        CUFileSystemSpace space;
        uint64_t needed = 0;
        std::vector<std::pair<std::string, uint64_t>> copies;  // DEST/NAME, bytes
    };
    std::map<uint64_t, Drive> drives;
    std::vector<uint64_t> order;
    for (const Destination& destination : destinations) {
        std::string reason;
        const std::optional<CUFileSystemSpace> space =
            CUFileSystemSpace::Of(destination.folder.string(), &reason);
        if (!space)
            throw OffloadError("cannot read the free space of " + destination.given + ": " + reason,
                               CUFailureKind::kSetup);
        uint64_t needed = kSpareBytes + HistoryReserveBytes(cardFiles);
        for (size_t j = 0; j < jobs.size(); ++j)
            if (destination.plan.Copy(j)) needed += space->Allocated(jobs[j].size);
        if (!drives.count(space->device)) order.push_back(space->device);
        Drive& drive = drives[space->device];
        drive.space = *space;
        drive.needed += needed;
        drive.copies.push_back({destination.plan.Root().string(), needed});
    }
    for (uint64_t device : order) {
        const Drive& drive = drives[device];
        if (drive.needed <= drive.space.available) continue;
        const std::string free = FBC_Utl_MegabytesAndBytesText(drive.space.available);
        const std::string needs = FBC_Utl_MegabytesAndBytesText(drive.needed);
        if (drive.copies.size() == 1)
            throw OffloadError(
                drive.copies[0].first + ": its file system has " + free + " free; the copy needs " + needs,
                CUFailureKind::kSetup);
        std::string each;
        for (const auto& [copy, bytes] : drive.copies)
            each += (each.empty() ? "" : ", ") + copy + " " + FBC_Utl_MegabytesText(bytes);
        throw OffloadError(std::to_string(drive.copies.size()) + " copies share one file system with " +
                               free + " free; together they need " + needs + " (" + each + ")",
                           CUFailureKind::kSetup);
    }
}

// Why a file this destination wanted was not done, the run having ended.
std::string NotDoneReason(const CopyEngine::Result& copied, const DestinationRun& run) {
    if (!run.failure.empty())
        return "not copied: the destination stopped at " + run.failedFile + " (" + run.failure + ")";
    if (copied.interruptSignal != 0) return "not copied: the offload was interrupted";
    if (!copied.cardFailure.empty()) return "not copied: the card could not be read to the end";
    return "not copied";
}

MhlHash Hash(const std::string& value, HashAction action, int64_t date) {
    return MhlHash{value, action, date};
}

// The generation's entries of the card's files for one destination, and
// in `out` what it holds: kept, copied and read back, failed or not done.
void RecordFiles(const Destination& destination, const DestinationRun& run, const CopyEngine::Result& copied,
                 const std::vector<CopyJob>& jobs, const CardFileList& card, int64_t now,
                 DestinationReport& out, HashList& list, CardFileRecord& record) {
    const DestinationPlan& plan = destination.plan;
    const MhlHistory& history = plan.History();
    std::map<std::string, size_t> jobOf;
    for (size_t j = 0; j < jobs.size(); ++j) jobOf[jobs[j].relativePath] = j;
    for (const CardFile& file : card.files) {
        if (!file.OnCard()) {
            out.failures.push_back(
                {file.relativePath, file.absentReason, {}, {}, FileProblem::kMissingOnCard});
            record.absent.push_back(file.relativePath);
            continue;
        }
        const size_t j = jobOf.at(file.relativePath);
        const CopyJob& job = jobs[j];
        MhlFileEntry entry{job.relativePath, job.size, static_cast<int64_t>(job.modified.tv_sec), {}};
        const MhlFileEntry* earlier = history.NewestVouched(job.relativePath);
        const auto earlierHas = [earlier](HashFormat format) {
            return earlier && earlier->hashes.count(format);
        };
        if (const FileHashes* kept = plan.Kept(j)) {
            for (const auto& [format, value] : *kept)
                entry.hashes[format] =
                    Hash(value, earlierHas(format) ? HashAction::kVerified : HashAction::kOriginal, now);
            ++out.kept;
            out.keptFiles.push_back(job.relativePath);
            ++out.files;
            list.files.push_back(entry);
            continue;
        }
        if (const FileFailure* refused = plan.Refused(j)) {
            out.failures.push_back(*refused);
            record.absent.push_back(job.relativePath);
            continue;
        }
        const CopyOutcome& outcome = run.outcomes[j];
        switch (outcome.state) {
            case CopyOutcome::State::kVerified:
            case CopyOutcome::State::kCopied:
                for (const auto& [format, value] : outcome.cardHashes) {
                    HashAction action = HashAction::kOriginal;
                    if (earlierHas(format)) {
                        const std::string& recorded = earlier->hashes.at(format).value;
                        action = recorded == value ? HashAction::kVerified : HashAction::kFailed;
                        if (action == HashAction::kFailed)
                            out.failures.push_back(
                                {job.relativePath,
                                 "the card file no longer has the hash the copy's history records",
                                 {{format, recorded}},
                                 {{format, value}},
                                 FileProblem::kFailed});
                    }
                    entry.hashes[format] = Hash(value, action, now);
                }
                ++out.copied;
                ++out.files;
                if (outcome.state == CopyOutcome::State::kCopied) ++out.notReadBack;
                break;
            case CopyOutcome::State::kFailed:
                for (const auto& [format, value] : outcome.cardHashes)
                    entry.hashes[format] = Hash(value, HashAction::kFailed, now);
                out.failures.push_back({job.relativePath, outcome.reason, outcome.cardHashes,
                                        outcome.copyHashes, FileProblem::kFailed});
                break;
            case CopyOutcome::State::kNotDone: {
                const bool stoppedHere = !run.failure.empty() && run.failedFile == job.relativePath;
                out.failures.push_back(
                    {job.relativePath,
                     stoppedHere ? "the destination failed: " + run.failure : NotDoneReason(copied, run),
                     {},
                     {},
                     stoppedHere ? FileProblem::kFailed : FileProblem::kNotCopied});
                // Its hashes when the card was read whole: recorded as failed on this copy.
                if (j < copied.cardHashes.size() && copied.cardHashes[j])
                    for (const auto& [format, value] : *copied.cardHashes[j])
                        entry.hashes[format] = Hash(value, HashAction::kFailed, now);
                break;
            }
        }
        if (entry.hashes.empty())
            record.absent.push_back(job.relativePath);
        else
            list.files.push_back(entry);
    }
}

// A copy that holds every file must open as a card listing the card's clips.
void CheckCopyOpensAsCard(const OffloadReport& report, DestinationReport& out) {
    try {
        const std::vector<std::string> clips = CardClips::Of(out.path).clips;
        if (clips != report.clips) {
            std::string text;
            for (const std::string& clip : clips) text += (text.empty() ? "" : " ") + clip;
            out.failures.push_back({"",
                                    "the copy lists the clips [" + text + "], not those of the card",
                                    {},
                                    {},
                                    FileProblem::kFailed});
        }
    } catch (const OffloadError& e) {
        out.failures.push_back(
            {"", std::string("the copy does not open as a card: ") + e.what(), {}, {}, FileProblem::kFailed});
    }
}

// The copy's folders take the card's times (set last: writing inside changes them).
void KeepFolderTimes(const DestinationPlan& plan, const CardFileList& card) {
    for (auto folder = card.tree.folders.rbegin(); folder != card.tree.folders.rend(); ++folder)
        CUFileStatus::SetModificationTime((plan.Root() / folder->relativePath).string(), folder->modified);
    CUFileStatus::SetModificationTime(plan.Root().string(), card.tree.rootModified);
}

// Appends the generation to the copy's history, whose room was held back
// for it; the journal goes once its files are in the generation.
void AppendGeneration(Destination& destination, HashList& list, DestinationReport& out) {
    if (destination.historyRoom) destination.historyRoom->Release();
    try {
        out.generation = destination.plan.History().Append(list);
        destination.journal.reset();
        OffloadJournal::Remove(out.path);
    } catch (const OffloadError& e) {
        out.failures.push_back({"", e.what(), {}, {}, FileProblem::kFailed});
        out.recorded = false;
        out.verified = false;
    }
}

// What one destination holds after the run, and its generation.
DestinationReport Finish(Destination& destination, const DestinationRun& run,
                         const CopyEngine::Result& copied, const std::vector<CopyJob>& jobs,
                         const CardFileList& card, const OffloadReport& report, const OffloadOptions& options,
                         const std::string& runId, int64_t now) {
    DestinationReport out;
    out.path = destination.plan.Root().string();
    out.cardFiles = card.files.size();
    out.readBack = options.verify;
    out.bytes = run.bytesWritten;
    out.seconds = run.seconds;
    out.found = destination.plan.Found();

    HashList list = options.creator.Generation(MhlProcess::kTransfer, now);
    CardFileRecord record;
    record.cardFiles = card.files.size();
    record.readBack = options.verify;
    record.run = runId;
    record.source = options.copiedFrom;
    RecordFiles(destination, run, copied, jobs, card, now, out, list, record);
    out.verified = out.files == out.cardFiles && out.notReadBack == 0;

    const bool wholeRun = copied.cardFailure.empty() && copied.interruptSignal == 0 && run.failure.empty();
    if (wholeRun && out.files == out.cardFiles) {
        CheckCopyOpensAsCard(report, out);
        KeepFolderTimes(destination.plan, card);
    }
    list.comment = out.Status() + (out.notReadBack ? " (copied with --no-verify: not read back)" : "");
    list.card = record;
    AppendGeneration(destination, list, out);
    return out;
}

// The card and every file a copy of it must hold; fills the report's card fields.
CardFileList ReadCard(const OffloadOptions& options, OffloadReport& report, fs::path& cardRoot) {
    std::error_code error;
    const std::string refusal = CFBCCardFolder::LayoutRefusal(options.card);
    if (!refusal.empty()) throw OffloadError(refusal, CUFailureKind::kNotACard);
    if (!fs::is_directory(options.card, error))
        throw OffloadError(options.card + " is not a card: no such folder", CUFailureKind::kNotACard);
    cardRoot = fs::canonical(options.card, error);
    if (error)
        throw OffloadError("cannot read " + options.card + ": " + Text(error), CUFailureKind::kNotACard);
    report.card = cardRoot.string();
    CardFileList card = CardFileList::Of(report.card);
    report.clips = card.card.clips;
    report.cardContent = card.card.content;
    report.cardFiles = card.files.size();
    report.cardBytes = card.tree.totalBytes;
    report.skipped = card.tree.skipped;
    report.name = options.name.empty() ? cardRoot.filename().string() : options.name;
    if (report.name.empty() || report.name == "." || report.name == ".." ||
        report.name.find('/') != std::string::npos)
        throw OffloadError("the name '" + report.name + "' is not a folder name", CUFailureKind::kUsage);
    if (options.destinations.empty()) throw OffloadError("no destination given", CUFailureKind::kUsage);
    return card;
}

// The destinations: existing folders apart from the card, each once.
// Nothing is created on any of them here.
std::vector<Destination> PlanDestinations(const OffloadOptions& options, const fs::path& cardRoot,
                                          const OffloadReport& report) {
    std::error_code error;
    std::vector<Destination> destinations;
    for (const std::string& given : options.destinations) {
        if (!fs::is_directory(given, error))
            throw OffloadError(
                "the destination " + given +
                    (fs::exists(fs::symlink_status(given, error)) ? " is not a folder" : " does not exist"),
                CUFailureKind::kSetup);
        const fs::path folder = fs::canonical(given, error);
        if (error) throw OffloadError("cannot read " + given + ": " + Text(error), CUFailureKind::kSetup);
        if (FBC_Utl_PathIsInside(folder, cardRoot))
            throw OffloadError("the destination " + given + " lies inside the card " + report.card,
                               CUFailureKind::kSetup);
        if (FBC_Utl_PathIsInside(cardRoot, folder))
            throw OffloadError("the card " + report.card + " lies inside the destination " + given,
                               CUFailureKind::kSetup);
        for (const Destination& other : destinations)
            if (other.folder == folder)
                throw OffloadError("the destination " + given + " is given twice", CUFailureKind::kSetup);
        destinations.push_back(
            {given, folder, DestinationPlan(folder / report.name), false, nullptr, nullptr});
    }
    return destinations;
}

// One job per file on the card, wanted by no destination yet.
std::vector<CopyJob> CopyJobs(const CardFileList& card, const fs::path& cardRoot, size_t destinations) {
    std::vector<CopyJob> jobs;
    for (const CardFile& file : card.files)
        if (file.OnCard())
            jobs.push_back({(cardRoot / file.relativePath).string(), file.relativePath, file.size,
                            file.modified, std::vector<bool>(destinations, false)});
    return jobs;
}

// Re-hashes, on each destination in its own thread, the files its plan keeps.
void Rehash(const std::vector<Destination*>& which, const std::vector<CopyJob>& jobs,
            const std::vector<HashFormat>& formats) {
    std::vector<std::thread> threads;
    for (Destination* destination : which)
        threads.emplace_back([&jobs, &formats, destination] { destination->plan.Rehash(jobs, formats); });
    for (std::thread& thread : threads) thread.join();
    CUInterruption::ThrowIfRequested();
}

// Existing copies are locked before they are read; what each needs, and
// whether their file systems have room for it.
void PlanCopies(std::vector<Destination>& destinations, const std::vector<CopyJob>& jobs,
                const CardFileList& card, const OffloadReport& report, double waitSeconds) {
    std::vector<Destination*> all;
    for (Destination& destination : destinations) {
        if (destination.plan.Exists()) destination.plan.Lock(waitSeconds);
        destination.plan.Prepare(jobs, card.files);
        all.push_back(&destination);
    }
    Rehash(all, jobs, report.formats);
    CheckSpace(destinations, jobs, card.files.size());
}

// Every check passed: the copy folders that did not exist are made and
// locked. One that another offload filled meanwhile is read again.
void MakeCopyFolders(std::vector<Destination>& destinations, const std::vector<CopyJob>& jobs,
                     const CardFileList& card, const OffloadReport& report, double waitSeconds) {
    std::error_code error;
    for (Destination& destination : destinations) {
        if (destination.plan.Locked()) continue;
        if (fs::create_directory(destination.plan.Root(), error)) destination.created = true;
        if (error)
            throw OffloadError("cannot create " + destination.plan.Root().string() + ": " + Text(error),
                               CUFailureKind::kSetup);
        destination.plan.Lock(waitSeconds);
        if (!fs::is_empty(destination.plan.Root(), error)) {
            destination.plan.Prepare(jobs, card.files);
            Rehash({&destination}, jobs, report.formats);
        }
    }
}

// Makes a destination ready to take files: the jobs it wants, the card's
// folders, the history folder with room held back, a journal of this run
// that already lists the files kept.
void BeginCopy(Destination& destination, size_t d, std::vector<CopyJob>& jobs, const CardFileList& card,
               const OffloadOptions& options, const std::string& runId, int64_t started) {
    std::error_code error;
    const DestinationPlan& plan = destination.plan;
    if (options.found && !plan.Found().Empty()) options.found(plan.Root().string(), plan.Found());
    for (size_t j = 0; j < jobs.size(); ++j) jobs[j].wanted[d] = plan.Copy(j);
    if (plan.StaleJournal()) OffloadJournal::Remove(plan.Root().string());
    for (const SourceFile& folder : card.tree.folders) {
        fs::create_directories(plan.Root() / folder.relativePath, error);
        if (error)
            throw OffloadError(
                "cannot create " + (plan.Root() / folder.relativePath).string() + ": " + Text(error),
                CUFailureKind::kSetup);
    }
    fs::create_directories(plan.Root() / MhlHistory::kFolderName, error);
    if (error)
        throw OffloadError(
            "cannot create " + (plan.Root() / MhlHistory::kFolderName).string() + ": " + Text(error),
            CUFailureKind::kSetup);
    try {
        destination.historyRoom =
            std::make_unique<CUSpaceReserve>((plan.Root() / MhlHistory::kFolderName).string(),
                                             "offload-history", HistoryReserveBytes(card.files.size()));
    } catch (const CUError& e) {
        throw OffloadError(e.Failure().What(), CUFailureKind::kSetup);
    }
    destination.journal = std::make_unique<OffloadJournal>(plan.Root().string(), runId, started, card.files);
    for (size_t j = 0; j < jobs.size(); ++j)
        if (const FileHashes* kept = plan.Kept(j))
            destination.journal->Append({jobs[j].relativePath, jobs[j].size, jobs[j].modified, *kept, true});
}

// Reads the card once into every destination (CopyEngine).
CopyEngine::Result CopyCard(const std::vector<Destination>& destinations, const std::vector<CopyJob>& jobs,
                            const OffloadReport& report, const OffloadOptions& options) {
    std::vector<std::string> roots;
    std::vector<OffloadJournal*> journals;
    for (const Destination& destination : destinations) {
        roots.push_back(destination.plan.Root().string());
        journals.push_back(destination.journal.get());
    }
    CopyEngine engine(roots, journals, report.formats, options.verify, options.hooks, options.progress);
    return engine.Run(jobs);
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

std::string MhlCreator::RunId() const {
    return runId ? runId() : NewRunId();
}

HashList MhlCreator::Generation(MhlProcess process, int64_t now) const {
    HashList list;
    list.creationDate = now;
    list.hostName = Host();
    list.tool = "qzcard";
    list.toolVersion = toolVersion;
    list.process = process;
    list.ignore = DefaultIgnorePatterns();
    return list;
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
    fs::path cardRoot;
    const CardFileList card = ReadCard(options, report, cardRoot);
    std::vector<Destination> destinations = PlanDestinations(options, cardRoot, report);
    std::vector<CopyJob> jobs = CopyJobs(card, cardRoot, destinations.size());
    PlanCopies(destinations, jobs, card, report, options.waitSeconds);

    CreatedFolders created{destinations};
    MakeCopyFolders(destinations, jobs, card, report, options.waitSeconds);
    const std::string runId = options.creator.RunId();
    const int64_t started = options.creator.Now();
    for (size_t d = 0; d < destinations.size(); ++d)
        BeginCopy(destinations[d], d, jobs, card, options, runId, started);
    created.begun = true;

    const CopyEngine::Result copied = CopyCard(destinations, jobs, report, options);
    report.cardFailure = copied.cardFailure;
    report.interruptSignal = copied.interruptSignal;
    const int64_t now = options.creator.Now();
    for (size_t d = 0; d < destinations.size(); ++d)
        report.destinations.push_back(
            Finish(destinations[d], copied.destinations[d], copied, jobs, card, report, options, runId, now));
    return report;
}

}  // namespace qzoffload
