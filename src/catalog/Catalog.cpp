#include "Catalog.h"

#include "CardCopies.h"
#include "CardFileTable.h"
#include "CardTable.h"
#include "CheckTable.h"
#include "ClipTable.h"
#include "CopyTable.h"
#include "Migrations.h"
#include "OutputTable.h"
#include "QzcardVersion.h"
#include "VolumeTable.h"

#include <algorithm>
#include <ctime>
#include <map>
#include <set>

namespace qzcatalog {

namespace {

int64_t Now() {
    return static_cast<int64_t>(std::time(nullptr));
}

}  // namespace

Catalog::Catalog(const CatalogLocation& location) : m_Database(location.Connect()) {
    Migrations::Apply(*m_Database);
}

void Catalog::Write(const std::function<void()>& work) {
    for (int attempt = 1;; ++attempt) {
        try {
            Transaction transaction(*m_Database, TransactionKind::kWrite);
            work();
            if (m_BeforeCommit) m_BeforeCommit();
            transaction.Commit();
            return;
        } catch (const CatalogError& e) {
            if (!e.Retryable() || attempt == kWriteAttempts) throw;
        }
    }
}

void Catalog::Read(const std::function<void()>& work) {
    Transaction transaction(*m_Database, TransactionKind::kRead);
    work();
    transaction.Commit();
}

Catalog::CardRows Catalog::RecordCardRows(const CardSeen& card) {
    Database& db = *m_Database;
    CardRows rows;
    const int64_t cardId = rows.cardId = CardTable(db).Record(card);
    ClipTable clips(db);
    for (const ClipSeen& clip : card.clips) clips.Record(cardId, clip);
    const std::map<std::string, int64_t> clipRows = clips.IdsOfCard(cardId);
    CardFileTable files(db);
    std::set<int64_t> present;
    for (const CardFileSeen& file : card.files) {
        std::optional<int64_t> clip;
        if (file.clipId) {
            const auto found = clipRows.find(*file.clipId);
            if (found != clipRows.end()) clip = found->second;
        }
        const int64_t fileId = files.Record(cardId, file, clip, card.direct);
        files.RecordHashes(fileId, file, card.seenAt);
        present.insert(fileId);
        rows.fileIds[file.path] = fileId;
    }
    if (card.direct) files.ForgetAbsent(cardId, present);
    return rows;
}

void Catalog::Record(const RunSeen& run) {
    const int64_t now = Now();
    Write([&] {
        std::set<int64_t> touched;
        for (const CardSeen& card : run.cards) touched.insert(RecordCardRows(card).cardId);
        RecordCopyRows(run.copies, now, touched);
        for (const CheckSeen& check : run.checks) RecordCheckRows(check, touched);
        RecordOutputRows(run.outputs);
        // Every card whose files, hashes, copies or checks changed is judged again.
        for (int64_t cardId : touched) CardCopies::Refresh(*m_Database, cardId);
    });
}

void Catalog::RecordCopyRows(const std::vector<CopiesSeen>& histories, int64_t now,
                             std::set<int64_t>& touched) {
    // Cards in one order for every process, so that two stations locking
    // the rows of the same cards wait for each other instead of deadlocking.
    std::vector<const CopiesSeen*> ordered;
    for (const CopiesSeen& history : histories) ordered.push_back(&history);
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const CopiesSeen* a, const CopiesSeen* b) { return a->card.Key() < b->card.Key(); });
    Database& db = *m_Database;
    for (const CopiesSeen* history : ordered) {
        const CardRows card = RecordCardRows(history->card);
        touched.insert(card.cardId);
        const int64_t volumeId = VolumeTable(db).Record(history->volume, now);
        CopyTable copies(db);
        for (const CopySeen& copy : history->copies) {
            const auto file = card.fileIds.find(copy.cardPath);
            if (file == card.fileIds.end())
                throw CatalogError("the copy " + copy.path + " names no file of its card",
                                   CUFailureKind::kProblems);
            copies.Record(file->second, volumeId, copy, history->historyPath, now);
        }
    }
}

void Catalog::RecordCheckRows(const CheckSeen& check, std::set<int64_t>& touched) {
    Database& db = *m_Database;
    const std::optional<int64_t> cardId =
        check.mediumId.empty() ? std::nullopt : CardTable(db).IdOfKey("medium:" + check.mediumId);
    const std::map<std::string, int64_t> clipRows =
        cardId ? ClipTable(db).IdsOfCard(*cardId) : std::map<std::string, int64_t>();
    // 0 (no row has it) when the check is not of a copy or its volume is not known.
    const int64_t volumeId = check.volume ? VolumeTable(db).IdOfKey(check.volume->Key()).value_or(0) : 0;
    if (cardId) touched.insert(*cardId);
    CheckTable checks(db);
    for (const CheckResultSeen& result : check.results) {
        CheckRow row;
        row.kind = check.kind;
        row.checkedAt = check.checkedAt;
        row.qzcardVersion = qzimport::QzcardVersion();
        row.cardId = cardId;
        if (!result.clipId.empty()) {
            const auto clip = clipRows.find(result.clipId);
            if (clip != clipRows.end()) row.clip = clip->second;
        }
        if (!result.path.empty()) {
            row.path = result.path;
            if (volumeId != 0) {
                const std::string onVolume =
                    check.historyPath.empty() ? result.path : check.historyPath + "/" + result.path;
                row.copyId = CopyTable(db).IdOf(volumeId, onVolume);
            }
        }
        row.result = result.result;
        if (!result.detail.empty()) row.detail = result.detail;
        checks.Record(row);
    }
    if (volumeId != 0)
        for (int64_t id : CopyTable(db).CardsOfHistory(volumeId, check.historyPath)) touched.insert(id);
}

void Catalog::RecordOutputRows(const std::vector<OutputSeen>& outputs) {
    Database& db = *m_Database;
    OutputTable table(db);
    for (const OutputSeen& output : outputs) {
        std::optional<int64_t> clip;
        if (const std::optional<int64_t> cardId = CardTable(db).IdOfKey("medium:" + output.mediumId)) {
            const std::map<std::string, int64_t> rows = ClipTable(db).IdsOfCard(*cardId);
            const auto found = rows.find(output.clipId);
            if (found != rows.end()) clip = found->second;
        }
        table.Record(output, clip, qzimport::QzcardVersion());
    }
}

}  // namespace qzcatalog
