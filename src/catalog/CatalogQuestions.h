#pragma once
// The questions the catalog answers from what it holds (each in one read
// transaction, one snapshot): which clips and files lack copies, the
// cards, the clips of a card or with a value, the clips a text names,
// every copy and output of one clip, and the recordings that run across
// clips and cards. `erasable` is ErasableQuestion. One thread.
#include "CardFileTable.h"
#include "CardTable.h"
#include "Catalog.h"
#include "CheckTable.h"
#include "ClipTable.h"
#include "CopyTable.h"
#include "OutputTable.h"
#include "RecordingSpans.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qzcatalog {

struct LackingClip {
    std::string cardFolder;
    std::optional<std::string> mediumId;
    std::string clipId;
    std::optional<std::string> title;
    size_t filesLacking = 0;
    int64_t fewestVolumes = 0;
};

struct LackingAnswer {
    int64_t copies = 2;
    std::optional<int64_t> since;
    std::vector<LackingClip> clips;     // with at least one file lacking, by card and clip
    std::vector<LackingFileRow> files;  // every file lacking, by card and path

    bool Empty() const { return files.empty(); }
};

struct ClipCopies {
    ClipRow clip;
    std::vector<ClipCopyRow> copies;
    std::vector<OutputRow> outputs;
    std::vector<CheckRow> checks;  // newest first
};

class CatalogQuestions {
public:
    explicit CatalogQuestions(Catalog& catalog) : m_Catalog(catalog) {}

    // Files with fewer than `copies` volumes holding a copy that counts, of
    // cards last seen at or after `since`, and the clips they belong to.
    LackingAnswer Lacking(int64_t copies, std::optional<int64_t> since);
    // The same within the caller's transaction.
    static LackingAnswer LackingIn(Database& database, int64_t copies, std::optional<int64_t> since);
    std::vector<CardRow> Cards(int64_t copies);
    std::vector<ClipRow> Clips(const std::optional<std::string>& card,
                               const std::optional<ClipFieldMatch>& match);
    std::vector<ClipRow> Find(const std::string& text);
    // Every clip with that ID or UMID, with its copies, outputs and checks.
    std::vector<ClipCopies> Copies(const std::string& clipOrUmid);
    // The recordings the clips of every card make; with `all` false only
    // those of more than one piece (the ones that run across clips or cards,
    // or miss a piece).
    std::vector<qzimport::Recording> Recordings(bool all);

private:
    Catalog& m_Catalog;
};

}  // namespace qzcatalog
