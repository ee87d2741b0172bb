#pragma once
// What `export` and `report` learned, read back from the JSON they have just
// put in place (an export's record ID.json, a report's report.json), so that
// the catalog takes the values those files promise their readers and the
// commands need no second way of telling them. Never reads a card. Bad or
// foreign JSON throws CatalogError (kProblems) naming the file. Stateless.
#include "CatalogRecords.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qzcatalog {

class CommandOutputReading {
public:
    // Every output file the export record at `recordPath` lists (its own
    // record left out), with the set's first clip and card, the in and out
    // frames written, the format and, for a proxy, its codec and picture
    // size; paths absolute, the record's among them.
    static std::vector<OutputSeen> ExportOutputs(const std::string& recordPath, int64_t exportedAt);
    // The check a `report --check` made of each clip, one per card (the
    // pictures were decoded: kind "verify-decode"); none when the report
    // was written without --check.
    static std::vector<CheckSeen> ReportChecks(const std::string& reportJsonPath, int64_t checkedAt);
};

}  // namespace qzcatalog
