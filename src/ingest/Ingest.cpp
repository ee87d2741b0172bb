#include "Ingest.h"

#include "CUFileStatus.h"
#include "CUHostError.h"
#include "CUInterruption.h"
#include "CUVolumeIdentity.h"
#include "CardOpening.h"
#include "CardReading.h"
#include "ExportProgress.h"
#include "Exporter.h"
#include "HistoryReading.h"
#include "HostEventCycle.h"
#include "Offload.h"
#include "OffloadRecording.h"
#include "PluginHost.h"
#include "QzcardVersion.h"
#include "RecordedCopies.h"
#include "RecordingSpans.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <exception>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <thread>

namespace qzingest {

using namespace ComVantoVantoQZ64RADPlug;
using nlohmann::ordered_json;
namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The volume key of `path`, or the path itself when it cannot be told (the
// count of volumes is then an upper bound, and only told).
std::string VolumeKeyOf(const std::string& path) {
    try {
        return CUVolumeIdentity::Of(path).Key();
    } catch (const std::exception&) {
        return "path:" + path;
    }
}

// The cards by the device they live on (the card folder's, links
// followed), each list in the order given: one worker reads each list. A
// card that cannot be reached has a list of its own, where its ingest
// tells why.
std::vector<std::vector<size_t>> CardsByDevice(const std::vector<std::string>& cards) {
    std::vector<std::vector<size_t>> lists;
    std::map<uint64_t, size_t> listOfDevice;
    for (size_t c = 0; c < cards.size(); ++c) {
        std::error_code error;
        const fs::path folder = fs::canonical(cards[c], error);
        const std::optional<CUFileStatus> status = error ? std::nullopt : CUFileStatus::Of(folder.string());
        if (!status) {
            lists.push_back({c});
            continue;
        }
        const auto [list, added] = listOfDevice.emplace(status->device, lists.size());
        if (added) lists.emplace_back();
        lists[list->second].push_back(c);
    }
    return lists;
}

// An export's observer turning each output set into an event.
class ExportEvents : public qzimport::ExportObserver {
public:
    using SetDoneFunction = std::function<void(const qzimport::OutputSetResult&)>;
    ExportEvents(std::function<void(const std::string&)> notice, SetDoneFunction done)
        : m_notice(std::move(notice)), m_done(std::move(done)) {}
    void Notice(const std::string& text) override { m_notice(text); }
    void SetDone(const qzimport::OutputSetResult& result) override { m_done(result); }

private:
    std::function<void(const std::string&)> m_notice;
    SetDoneFunction m_done;
};

}  // namespace

Ingest::Ingest(IngestOptions options, const IngestMedia* media, IngestObserver& observer,
               CatalogRecording record)
    : m_options(std::move(options)), m_media(media), m_observer(observer), m_record(std::move(record)) {}

Ingest::~Ingest() {
    // A cascade still running (Run threw) is waited for: it uses this object.
    if (m_cascade.valid()) m_cascade.wait();
}

void Ingest::CheckOptions() const {
    if (m_options.cards.empty()) throw CUHostError("give at least one card", CUFailureKind::kUsage);
    if (m_options.to.empty()) throw CUHostError("give at least one --to destination", CUFailureKind::kUsage);
    const bool media = !m_options.movies.empty() || !m_options.proxies.empty() || !m_options.report.empty();
    if (media && !m_media)
        throw CUHostError("movies, proxies and the report need the media layers", CUFailureKind::kSetup);
    if (!m_options.proxies.empty() && !m_media->OutputFormatNamed("proxy"))
        throw CUHostError("this qzcard writes no proxies (--proxies)", CUFailureKind::kUsage);
    if (m_options.copies < 1) throw CUHostError("--copies takes 1 or more", CUFailureKind::kUsage);
    // Every destination is there before any card is read, so that a typing
    // mistake is told before the first card has been copied.
    std::error_code error;
    for (const std::vector<std::string>* list : {&m_options.to, &m_options.then})
        for (const std::string& destination : *list)
            if (!fs::is_directory(destination, error))
                throw CUHostError("the destination " + destination + " is not a folder",
                                  CUFailureKind::kSetup);
    std::set<std::string> seen;
    for (const std::vector<std::string>* list : {&m_options.to, &m_options.then})
        for (const std::string& destination : *list)
            if (!seen.insert(fs::weakly_canonical(destination, error).string()).second)
                throw CUHostError("the destination " + destination + " is given twice",
                                  CUFailureKind::kUsage);
}

IngestSummary Ingest::Run() {
    CheckOptions();
    m_summary.cards = m_options.cards.size();
    try {
        IngestCards();
        // The cascades copy while the movies and proxies encode: one copy
        // and one encode at a time on the machine.
        if (!m_freed.empty() && !m_options.movies.empty()) Export("mov", m_options.movies);
        if (!m_freed.empty() && !m_options.proxies.empty()) Export("proxy", m_options.proxies);
        WaitForCascades();
        if (!m_freed.empty() && !m_options.report.empty()) WriteReport();
        if (!m_freed.empty()) TellRecordings();
    } catch (...) {
        // Whatever ends the run, the cascade ends first (an interruption
        // stops it as well); the failure then goes on to the caller as it is.
        if (m_cascade.valid()) m_cascade.wait();
        throw;
    }
    CUInterruption::ThrowIfRequested();
    Emit({{"event", "done"},
          {"qzcardVersion", qzimport::QzcardVersion()},
          {"cards", m_summary.cards},
          {"freed", m_summary.freed},
          {"problems", m_summary.problems},
          {"complete", m_summary.Complete()}});
    return m_summary;
}

void Ingest::IngestCards() {
    std::vector<std::optional<CardOutcome>> outcomes(m_options.cards.size());
    std::vector<std::exception_ptr> failures(m_options.cards.size());
    std::atomic<bool> failed{false};
    std::vector<std::thread> workers;
    for (const std::vector<size_t>& list : CardsByDevice(m_options.cards))
        workers.emplace_back([this, list, &outcomes, &failures, &failed] {
            for (const size_t c : list) {
                // A card that failed ends the run: the other workers start no new card.
                if (failed.load()) return;
                try {
                    outcomes[c] = IngestCard(m_options.cards[c]);
                    if (!outcomes[c]->copy.empty()) StartCascade(*outcomes[c]);
                } catch (...) {
                    failures[c] = std::current_exception();  // rethrown by the calling thread
                    failed = true;
                    return;
                }
            }
        });
    for (std::thread& worker : workers) worker.join();
    for (const std::exception_ptr& failure : failures)
        if (failure) std::rethrow_exception(failure);
    for (const std::optional<CardOutcome>& outcome : outcomes)
        if (outcome && !outcome->copy.empty()) m_freed.push_back(*outcome);
}

Ingest::CardOutcome Ingest::IngestCard(const std::string& card) {
    CUInterruption::ThrowIfRequested();
    Emit({{"event", "started"},
          {"qzcardVersion", qzimport::QzcardVersion()},
          {"card", card},
          {"to", m_options.to}});
    // Copies whole by their histories: the card is not read again at all.
    if (const std::optional<qzoffload::OffloadReport> recorded =
            RecordedCopies::WholeOnRecord(card, m_options.to, m_options.hashes)) {
        ordered_json destinations = ordered_json::array();
        for (const qzoffload::DestinationReport& destination : recorded->destinations)
            destinations.push_back(destination.path);
        Emit({{"event", "alreadyIngested"},
              {"card", card},
              {"files", recorded->cardFiles},
              {"destinations", destinations}});
        return Outcome(*recorded, card);
    }
    qzoffload::OffloadOptions options;
    options.card = card;
    options.destinations = m_options.to;
    options.formats = m_options.hashes;
    options.creator.toolVersion = qzimport::QzcardVersion();
    // Each file is told as soon as it is in place on every first
    // destination (the read-back threads call this).
    std::mutex placedMutex;
    std::map<std::string, size_t> placed;  // by path: the destinations holding it verified
    options.hooks.afterCommit = [&](size_t, const std::string& relativePath) {
        {
            const std::lock_guard<std::mutex> lock(placedMutex);
            if (++placed[relativePath] != m_options.to.size()) return;
        }
        Emit({{"event", "fileVerified"},
              {"card", card},
              {"path", relativePath},
              {"destinations", m_options.to.size()}});
    };
    const Clock::time_point start = Clock::now();
    options.progress = [&](const std::string&, uint64_t, uint64_t, uint64_t done, uint64_t total) {
        const std::lock_guard<std::mutex> lock(m_eventMutex);
        m_observer.Progress({card, "copy", done, total, SecondsSince(start)});
    };
    const qzoffload::OffloadReport report = qzoffload::Offload::Run(options);
    if (report.interruptSignal != 0)
        throw CUHostError::Interrupted(card + ": interrupted while copying; the files verified are kept",
                                       report.interruptSignal);
    return Outcome(report, card);
}

// The card free or not, as the offload's (or the histories') report says.
Ingest::CardOutcome Ingest::Outcome(const qzoffload::OffloadReport& report, const std::string& card) {
    bool free = report.cardFailure.empty();
    for (const qzoffload::DestinationReport& destination : report.destinations)
        free = free && destination.verified;
    if (!free) {
        std::string why =
            report.cardFailure.empty() ? "" : "the card could not be read: " + report.cardFailure;
        for (const qzoffload::DestinationReport& destination : report.destinations)
            if (!destination.verified)
                why += (why.empty() ? "" : "; ") + destination.path + " " + destination.Status();
        Problem(card, "the card is not free: " + why);
        // Recorded as an offload records it: the card is still to be read.
        Record([&report](qzcatalog::Catalog& catalog, int64_t now) {
            qzcatalog::OffloadRecording::Record(catalog, report, now);
        });
        return {card, "", {}};
    }
    CardFree(report, card);
    CardOutcome outcome{card, report.destinations.front().path, {}};
    for (const qzoffload::DestinationReport& destination : report.destinations)
        outcome.copies.push_back(destination.path);
    return outcome;
}

void Ingest::CardFree(const qzoffload::OffloadReport& report, const std::string& card) {
    const std::string cardVolume = VolumeKeyOf(report.card);
    std::set<std::string> volumes;
    ordered_json destinations = ordered_json::array();
    for (const qzoffload::DestinationReport& destination : report.destinations) {
        destinations.push_back(destination.path);
        const std::string volume = VolumeKeyOf(destination.path);
        if (volume != cardVolume) volumes.insert(volume);
    }
    {
        const std::lock_guard<std::mutex> lock(m_eventMutex);
        ++m_summary.freed;
    }
    Emit({{"event", "cardFree"},
          {"card", card},
          {"files", report.cardFiles},
          {"destinations", destinations},
          {"volumes", volumes.size()},
          {"copiesNeeded", m_options.copies},
          // Whether the catalog will call the card erasable: copies on enough
          // volumes other than the card's own (told, not a problem: the copies are sound).
          {"erasable", static_cast<int64_t>(volumes.size()) >= m_options.copies}});
    // The card as its verified copy shows it (the same files, sizes and
    // times), so that the card is not opened again; it lies on its own volume.
    const std::string copy = report.destinations.front().path;
    Record([&](qzcatalog::Catalog& catalog, int64_t now) {
        qzcatalog::CardSeen seen = qzcatalog::CardReading::Read(copy, {}, now);
        seen.volumeKey = cardVolume;
        seen.folderName = fs::path(report.card).filename().string();
        if (seen.mediumId.empty()) seen.copyKey = report.card;
        qzcatalog::OffloadRecording::Record(catalog, report, std::move(seen), now);
    });
}

void Ingest::StartCascade(const CardOutcome& outcome) {
    if (m_options.then.empty()) return;
    const std::lock_guard<std::mutex> lock(m_cascadeMutex);
    std::shared_future<void> before = m_cascade;
    m_cascade = std::async(std::launch::async, [this, outcome, before] {
                    if (before.valid()) before.wait();
                    Cascade(outcome);
                }).share();
}

void Ingest::Cascade(const CardOutcome& outcome) {
    // Runs on the cascade's thread: every failure becomes a problem told.
    try {
        if (CUInterruption::Requested()) return;
        qzoffload::OffloadOptions options;
        options.card = outcome.copy;
        options.destinations = m_options.then;
        options.formats = m_options.hashes;
        options.creator.toolVersion = qzimport::QzcardVersion();
        options.copiedFrom = outcome.copy;
        const Clock::time_point start = Clock::now();
        options.progress = [&](const std::string&, uint64_t, uint64_t, uint64_t done, uint64_t total) {
            const std::lock_guard<std::mutex> lock(m_eventMutex);
            m_observer.Progress({outcome.card, "cascade", done, total, SecondsSince(start)});
        };
        const qzoffload::OffloadReport report = qzoffload::Offload::Run(options);
        if (report.interruptSignal != 0) return;  // Run() tells the interruption
        for (const qzoffload::DestinationReport& destination : report.destinations) {
            Emit({{"event", "copied"},
                  {"card", outcome.card},
                  {"from", outcome.copy},
                  {"destination", destination.path},
                  {"status", destination.Status()},
                  {"files", destination.files},
                  {"cardFiles", destination.cardFiles}});
            if (destination.verified) {
                const std::lock_guard<std::mutex> lock(m_eventMutex);
                m_thenCopies.push_back(destination.path);
            } else {
                Problem(outcome.card, destination.path + " " + destination.Status());
            }
        }
        // Only the copies: the card was recorded from the card's own run.
        Record([&report](qzcatalog::Catalog& catalog, int64_t now) {
            std::vector<qzcatalog::CopiesSeen> copies;
            for (const qzoffload::DestinationReport& destination : report.destinations)
                if (!destination.generation.empty())
                    for (qzcatalog::CopiesSeen& seen : qzcatalog::HistoryReading::Read(destination.path, now))
                        copies.push_back(std::move(seen));
            catalog.RecordCopies(copies);
        });
    } catch (const std::exception& e) {
        Problem(outcome.card, "copying from " + outcome.copy + ": " + e.what());
    }
}

void Ingest::WaitForCascades() {
    if (m_cascade.valid()) m_cascade.wait();
    m_cascade = {};
    CUInterruption::ThrowIfRequested();
}

void Ingest::Export(const std::string& formatName, const std::string& folder) {
    CUInterruption::ThrowIfRequested();
    const std::unique_ptr<qzimport::OutputFormat> format = m_media->OutputFormatNamed(formatName);
    if (!format) throw CUHostError("this qzcard writes no " + formatName + " outputs", CUFailureKind::kUsage);
    qzimport::PluginHost host(qzimport::PluginHost::DefaultBundlePath(),
                              qzimport::PluginHost::kDefaultHostVersion);
    HostEventCycle cycle;
    qzimport::ExportProgress progress(qzimport::ProgressMode::kSilent, stderr);
    qzimport::Exporter exporter(host, *format, progress);
    qzimport::ExportSettings settings;
    for (const CardOutcome& freed : m_freed) settings.cards.push_back(freed.copy);
    // One output per recording, the pieces on cards not ingested left out.
    settings.selection.join = true;
    settings.selection.allowMissing = true;
    settings.outputFolder = folder;
    if (formatName == "proxy") {
        settings.options.proxyCodec = m_options.proxyCodec;
        settings.options.proxySize = m_options.proxySize;
    }
    const char* kind = formatName == "proxy" ? "proxy" : "movie";
    std::vector<qzcatalog::OutputSeen> outputs;
    std::map<std::string, std::string> mediumOfCopy;
    for (const std::string& copy : settings.cards)
        if (const auto seen = qzcatalog::CardReading::Identify(copy, 0)) mediumOfCopy[copy] = seen->mediumId;
    // A notice (an in point moved back, pieces on cards not ingested) is told, not a problem.
    ExportEvents events(
        [this](const std::string& text) {
            Emit({{"event", "notice"}, {"notice", text}});
        },
        [&](const qzimport::OutputSetResult& set) {
            // A set written in part is a problem, not an output of the clip.
            if (set.status == qzimport::OutputSetResult::Status::kFailed ||
                set.status == qzimport::OutputSetResult::Status::kPartial) {
                Problem(CardOfCopy(set.card), set.baseName + ": " + set.failure);
                return;
            }
            const bool upToDate = set.status == qzimport::OutputSetResult::Status::kUpToDate;
            Emit({{"event", "outputWritten"},
                  {"kind", kind},
                  {"card", CardOfCopy(set.card)},
                  {"name", set.baseName},
                  {"folder", folder},
                  {"files", set.files},
                  {"pieces", set.pieces},
                  {"status", upToDate ? "up to date" : "written"}});
            if (set.files.empty()) return;
            qzcatalog::OutputSeen seen;
            seen.mediumId = mediumOfCopy[set.card];
            seen.clipId = set.baseName;
            seen.path = fs::absolute(fs::path(folder) / set.files.front()).string();
            std::error_code error;
            const uintmax_t size = fs::file_size(seen.path, error);
            if (!error) seen.size = static_cast<int64_t>(size);
            seen.format = formatName;
            seen.recordPath = fs::absolute(fs::path(folder) / set.files.back()).string();
            seen.exportedAt = static_cast<int64_t>(std::time(nullptr));
            outputs.push_back(std::move(seen));
        });
    try {
        exporter.Run(settings, events);
    } catch (...) {
        // What was finished before the failure is still recorded.
        Record([&outputs](qzcatalog::Catalog& catalog, int64_t) { catalog.RecordOutputs(outputs); });
        throw;
    }
    Record([&outputs](qzcatalog::Catalog& catalog, int64_t) { catalog.RecordOutputs(outputs); });
}

void Ingest::WriteReport() {
    CUInterruption::ThrowIfRequested();
    std::vector<std::string> cards, copies;
    for (const CardOutcome& freed : m_freed) cards.push_back(freed.copy);
    for (const CardOutcome& freed : m_freed)
        copies.insert(copies.end(), freed.copies.begin(), freed.copies.end());
    copies.insert(copies.end(), m_thenCopies.begin(), m_thenCopies.end());
    const WrittenReport written = m_media->WriteReport(cards, copies, m_options.report);
    Emit({{"event", "outputWritten"},
          {"kind", "report"},
          {"folder", m_options.report},
          {"files", {written.page, written.json}},
          {"status", "written"}});
    if (written.failedCopies > 0)
        Problem("", "the report found " + std::to_string(written.failedCopies) + " copies not verified");
}

void Ingest::TellRecordings() {
    std::vector<std::string> copies;
    std::vector<CUSharedPtr<CFBCContent>> contents;
    for (const CardOutcome& freed : m_freed) {
        copies.push_back(freed.copy);
        contents.push_back(qzimport::OpenCard(freed.copy));
    }
    for (const qzimport::Recording& recording : qzimport::FindRecordings(copies, contents)) {
        const ordered_json told = qzimport::RecordingJson(recording);
        ordered_json event = {{"event", "recording"}};
        for (auto item = told.begin(); item != told.end(); ++item) event[item.key()] = item.value();
        for (ordered_json& piece : event["pieces"])
            if (piece.contains("card") && piece["card"].is_string())
                piece["card"] = CardOfCopy(piece["card"].get<std::string>());
        Emit(std::move(event));
    }
}

std::string Ingest::CardOfCopy(const std::string& copy) const {
    for (const CardOutcome& freed : m_freed)
        if (freed.copy == copy) return freed.card;
    return copy;
}

void Ingest::Emit(ordered_json event) {
    const std::lock_guard<std::mutex> lock(m_eventMutex);
    m_observer.Event(event);
}

void Ingest::Problem(const std::string& card, const std::string& what) {
    ordered_json event = {{"event", "problem"}};
    if (!card.empty()) event["card"] = card;
    event["problem"] = what;
    const std::lock_guard<std::mutex> lock(m_eventMutex);
    ++m_summary.problems;
    m_observer.Event(event);
}

void Ingest::Record(const CatalogWork& work) {
    if (!m_record) return;
    const std::lock_guard<std::mutex> lock(m_catalogMutex);
    m_record(work);
}

}  // namespace qzingest
