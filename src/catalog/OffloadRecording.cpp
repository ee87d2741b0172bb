#include "OffloadRecording.h"

#include "CFBCContent.h"
#include "CardCopies.h"
#include "CardReading.h"
#include "HashSet.h"
#include "HistoryReading.h"
#include "MhlHistory.h"
#include "OffloadError.h"

#include <map>
#include <set>

namespace qzcatalog {

using namespace ComVantoVantoQZ64RADPlug;

namespace {

// The files some destination kept from an earlier run (a resumed or
// repeated offload) whose hashes the catalog does not hold for their
// present size and time: the generation's hashes of a kept file are of the
// copy on the drive, which says nothing of the card, so they are read from
// the card now, in the run's formats. A file that cannot be read stays
// without (erasable then says it has no hash to compare).
void HashKeptFiles(Catalog& catalog, const qzoffload::OffloadReport& report, CardSeen& card) {
    std::set<std::string> kept;
    for (const qzoffload::DestinationReport& destination : report.destinations)
        for (const qzoffload::OffloadedFile& written : destination.written)
            if (written.kept) kept.insert(written.path);
    if (kept.empty()) return;
    std::map<std::string, KnownFile> known;
    catalog.Read([&] { known = CardCopies::LoadByKey(catalog.Db(), card.Key()); });
    for (CardFileSeen& file : card.files) {
        if (!kept.count(file.path)) continue;
        const auto found = known.find(file.path);
        if (found != known.end() && !found->second.HashesOf(file.size, file.modifiedNs).empty()) continue;
        std::string failure;
        const qzoffload::FileHashes hashes =
            qzoffload::HashSet::OfFile(report.card + "/" + file.path, report.formats, failure);
        if (failure.empty()) file.hashes = hashes;
    }
}

qzoffload::MhlHistory LoadHistory(const std::string& folder) {
    try {
        return qzoffload::MhlHistory::Load(folder);
    } catch (const qzoffload::OffloadError& e) {
        throw CatalogError(e.what(), CUFailureKind::kProblems);
    }
}

}  // namespace

void OffloadRecording::Record(Catalog& catalog, const qzoffload::OffloadReport& report, int64_t now) {
    CardSeen card = report.cardContent ? CardReading::Read(report.card, report.cardContent, {}, now)
                                       : CardReading::Read(report.card, {}, now);
    HashKeptFiles(catalog, report, card);
    Record(catalog, report, std::move(card), now);
}

void OffloadRecording::Record(Catalog& catalog, const qzoffload::OffloadReport& report, CardSeen card,
                              int64_t now) {
    std::map<std::string, CardFileSeen*> files;
    for (CardFileSeen& file : card.files) files[file.path] = &file;
    std::vector<CopiesSeen> copies;
    for (const qzoffload::DestinationReport& destination : report.destinations) {
        if (destination.generation.empty()) continue;
        const qzoffload::MhlHistory history = LoadHistory(destination.path);
        for (const qzoffload::OffloadedFile& written : destination.written) {
            const auto file = files.find(written.path);
            // A file copied this run has the hashes read from the card (`original`, or `verified`
            // when an earlier generation recorded the same); a kept file's are the copy's, a
            // failed file's are not the card's.
            if (written.kept || written.failed || written.hashes.empty() || file == files.end() ||
                !file->second->size || !file->second->modifiedNs)
                continue;
            // The hashes belong to the file as the card holds it now when it is as the run read it.
            if (written.size != static_cast<uint64_t>(*file->second->size) ||
                written.modified != *file->second->modifiedNs / 1000000000)
                continue;
            for (const auto& [format, value] : written.hashes) file->second->hashes[format] = value;
        }
        // The copy holds the card just read when its media index, which names the medium, is
        // the card's: it then need not be opened again (999 clips read twice over).
        const std::string index =
            std::string(kContentsFolderName) + "/" + kClipsFolderName + "/" + kMediaIndexFileName;
        bool indexCopied = !card.mediumId.empty();
        for (const qzoffload::FileFailure& failure : destination.failures)
            indexCopied &= !failure.path.empty() && failure.path != index;
        for (CopiesSeen& seen : HistoryReading::Read(
                 destination.path, history, indexCopied ? std::optional<CardSeen>(card) : std::nullopt, now))
            copies.push_back(std::move(seen));
    }
    catalog.Record({{card}, copies, {}, {}});
}

void OffloadRecording::RecordCheck(Catalog& catalog, const qzoffload::CheckReport& report, int64_t now) {
    RunSeen run;
    run.copies = HistoryReading::Read(report.folder, now);
    const std::set<std::string> missing(report.missing.begin(), report.missing.end());
    std::set<std::string> changed;
    for (const qzoffload::FileFailure& failure : report.changed) changed.insert(failure.path);
    for (const CopiesSeen& seen : run.copies) {
        CheckSeen check;
        check.kind = "offload-check";
        check.checkedAt = now;
        check.mediumId = seen.card.mediumId;
        check.volume = seen.volume;
        check.historyPath = seen.historyPath;
        const std::string prefix = seen.historyPath.empty() ? "" : seen.historyPath + "/";
        for (const CopySeen& copy : seen.copies) {
            // The path as the check names it: relative to the checked folder.
            const std::string path = copy.path.substr(prefix.size());
            const char* result = missing.count(path) ? "missing" : changed.count(path) ? "changed" : "clean";
            check.results.push_back({"", path, result, ""});
        }
        run.checks.push_back(std::move(check));
    }
    catalog.Record(run);
}

}  // namespace qzcatalog
