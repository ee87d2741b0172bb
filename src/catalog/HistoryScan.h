#pragma once
// `catalog scan`: every ASC MHL history under the folders given (a folder
// holding ascmhl/ with its chain or generations, at any depth, nested ones
// too; symbolic links are not followed) read by HistoryReading, and what
// they vouch for recorded in one transaction, so a lost catalog is rebuilt
// from the drives. A history that cannot be read is a problem of its own;
// the others are recorded. The drives are only read. One thread.
#include "Catalog.h"

#include <cstddef>
#include <string>
#include <vector>

namespace qzcatalog {

struct ScanProblem {
    std::string folder;
    std::string reason;
};

struct ScanResult {
    std::vector<std::string> histories;  // the folders whose history was recorded
    size_t cards = 0;                    // cards (and copies of what is not a card) they hold
    size_t copies = 0;
    std::vector<ScanProblem> problems;
};

class HistoryScan {
public:
    // Folders below this depth under a root are not looked into.
    static constexpr int kMaxDepth = 64;

    // The folders holding a history, each folder before those inside it.
    // Throws CatalogError (kUsage) for a root that is not a folder.
    static std::vector<std::string> FindHistories(const std::vector<std::string>& roots,
                                                  std::vector<ScanProblem>& problems);
    static ScanResult Run(Catalog& catalog, const std::vector<std::string>& roots, int64_t now);
};

}  // namespace qzcatalog
