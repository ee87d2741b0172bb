#pragma once
// The production catalog: every card, clip, file, copy, check and output
// qzcard learned of, in SQLite or PostgreSQL. Opening brings the schema up
// to date (Migrations). Each Record call is one run's recording and one
// transaction (Record takes all a run learned at once): a process killed in the middle leaves the catalog as
// it was before it; several processes may record at once (each store serialises what they share). After each
// recording the copies of every card touched are judged again (CardCopies). The questions are
// CatalogQuestions and ErasableQuestion. Failures throw CatalogError. One thread.
#include "CatalogLocation.h"
#include "CatalogRecords.h"
#include "Database.h"

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace qzcatalog {

class Catalog {
public:
    // How often a write transaction the server ended (a deadlock, a
    // serialisation failure) is run.
    static constexpr int kWriteAttempts = 5;

    explicit Catalog(const CatalogLocation& location);

    Database& Db() { return *m_Database; }
    const std::string& Where() const { return m_Database->Where(); }

    // All one run learned.
    void Record(const RunSeen& run);
    // A card seen: its row, clips and files (and their hashes, when given).
    // Taken by value: a card read for the call is moved, not copied (999 clips, thousands of files).
    void RecordCard(CardSeen card) {
        RunSeen run;
        run.cards.push_back(std::move(card));
        Record(run);
    }
    // The copies one or more ASC MHL histories vouch for (a scan, an
    // offload's destinations), with the cards they hold.
    void RecordCopies(const std::vector<CopiesSeen>& histories) { Record({{}, histories, {}, {}}); }
    void RecordCheck(const CheckSeen& check) { Record({{}, {}, {check}, {}}); }
    void RecordOutputs(const std::vector<OutputSeen>& outputs) { Record({{}, {}, {}, outputs}); }

    // Runs `work` in one write transaction, again when the server asks.
    void Write(const std::function<void()>& work);
    // Called inside every write transaction once its work is done, just
    // before the commit: lets a test stop a process there. Empty: nothing.
    void SetBeforeCommit(std::function<void()> hook) { m_BeforeCommit = std::move(hook); }
    // Runs `work` in one read transaction (one snapshot).
    void Read(const std::function<void()>& work);

private:
    struct CardRows {
        int64_t cardId = 0;
        std::map<std::string, int64_t> fileIds;  // by path
    };
    // The rows of a card, its clips and files.
    CardRows RecordCardRows(const CardSeen& card);
    // The rows of the copies; the cards they hold into `touched`.
    void RecordCopyRows(const std::vector<CopiesSeen>& histories, int64_t now, std::set<int64_t>& touched);
    // The rows of a check; the cards whose clips or copies it checked into `touched`.
    void RecordCheckRows(const CheckSeen& check, std::set<int64_t>& touched);
    void RecordOutputRows(const std::vector<OutputSeen>& outputs);

    std::unique_ptr<Database> m_Database;
    std::function<void()> m_BeforeCommit;
};

}  // namespace qzcatalog
