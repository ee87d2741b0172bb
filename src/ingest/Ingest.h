#pragma once
// One ingest: every card given read once into every first destination
// (--to) by the offload engine, each file verified from each drive and
// told as soon as it is verified on all of them. Cards on different
// devices are read at the same time, one worker per device; cards on one
// device in the order given. A card whose copies are already whole by
// their histories is not read at all ("alreadyIngested"). When every file
// is verified on every first destination the card is free: the observer is
// told at once ("cardFree"), the copies are recorded in the catalog, and
// the card is never read again. Then, from the first verified copy read as
// a card: the second destinations (--then, an offload whose histories name
// the copy as the files' source), one at a time beside the movies and
// proxies (one export at a time), then the report of the copies and the
// recordings across the cards. Every output is recorded in the catalog.
// Run again with the same options it continues: verified copies are kept
// by their histories, finished movies are "up to date", nothing
// half-written is left (the offload, export and report layers' own
// rules). Run() is called by one thread; it starts one more per card
// device and one for the cascade, and joins them before it returns or
// throws.
#include "Catalog.h"
#include "IngestMedia.h"
#include "IngestObserver.h"
#include "IngestOptions.h"
#include "OffloadReport.h"

#include <cstdint>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <vector>

namespace qzingest {

struct IngestSummary {
    size_t cards = 0;
    size_t freed = 0;     // cards whose every file is verified on every first destination
    size_t problems = 0;  // "problem" events told
    bool Complete() const { return problems == 0 && freed == cards; }
};

// What one run tells the catalog; the recording calls it with the catalog
// opened and the time of the run.
using CatalogWork = std::function<void(qzcatalog::Catalog&, int64_t now)>;
// Records `work` in the catalog the user chose, or does nothing when told
// not to. Never throws: a catalog that cannot be updated is the caller's
// to tell.
using CatalogRecording = std::function<void(const CatalogWork& work)>;

class Ingest {
public:
    // `media` may be null when no movies, proxies or report are asked for.
    Ingest(IngestOptions options, const IngestMedia* media, IngestObserver& observer,
           CatalogRecording record);
    ~Ingest();
    Ingest(const Ingest&) = delete;
    Ingest& operator=(const Ingest&) = delete;

    // Throws CUHostError: kUsage for options it cannot use (before anything
    // is read), kSetup/kNotACard/kBusy as the offload or export refuses a
    // card or folder, kInterrupted (with the signal) when a signal stopped it.
    IngestSummary Run();

private:
    struct CardOutcome {
        std::string card;
        std::string copy;  // the first verified copy, DEST/NAME; empty when the card is not free
        std::vector<std::string> copies;  // every verified first copy, `copy` first
    };

    void CheckOptions() const;
    // Every card read, one worker per device; the outcomes in the order given.
    void IngestCards();
    CardOutcome IngestCard(const std::string& card);
    CardOutcome Outcome(const qzoffload::OffloadReport& report, const std::string& card);
    void CardFree(const qzoffload::OffloadReport& report, const std::string& card);
    void StartCascade(const CardOutcome& outcome);
    void Cascade(const CardOutcome& outcome);
    void Export(const std::string& formatName, const std::string& folder);
    void WriteReport();
    void TellRecordings();
    void WaitForCascades();

    void Emit(nlohmann::ordered_json event);
    void Problem(const std::string& card, const std::string& what);
    void Record(const CatalogWork& work);
    std::string CardOfCopy(const std::string& copy) const;

    IngestOptions m_options;
    const IngestMedia* m_media;
    IngestObserver& m_observer;
    CatalogRecording m_record;
    IngestSummary m_summary;
    std::vector<CardOutcome> m_freed;
    std::vector<std::string> m_thenCopies;  // verified second copies, for the report
    std::shared_future<void> m_cascade;     // the last cascade started; each waits for the one before
    std::mutex m_cascadeMutex;              // m_cascade, as the card workers start cascades
    std::mutex m_eventMutex;                // the observer, m_summary.problems, m_thenCopies
    std::mutex m_catalogMutex;
};

}  // namespace qzingest
