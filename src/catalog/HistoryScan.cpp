#include "HistoryScan.h"

#include "HistoryReading.h"
#include "MhlHistory.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>

namespace qzcatalog {

namespace fs = std::filesystem;

namespace {

void Walk(const fs::path& folder, int depth, std::vector<std::string>& found,
          std::vector<ScanProblem>& problems) {
    if (depth > HistoryScan::kMaxDepth) {
        problems.push_back({folder.string(), "folders nested too deeply; not looked into"});
        return;
    }
    std::vector<fs::path> folders;
    bool history = false;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::error_code kind;
        // A symbolic link is not followed: it may lead back up or to another drive.
        if (!it->is_directory(kind) || it->is_symlink(kind)) continue;
        if (it->path().filename() == qzoffload::MhlHistory::kFolderName)
            history = true;
        else
            folders.push_back(it->path());
    }
    if (error) {
        problems.push_back({folder.string(), "cannot be listed: " + error.message()});
        return;
    }
    if (history) found.push_back(folder.string());
    std::sort(folders.begin(), folders.end());
    for (const fs::path& child : folders) Walk(child, depth + 1, found, problems);
}

}  // namespace

std::vector<std::string> HistoryScan::FindHistories(const std::vector<std::string>& roots,
                                                    std::vector<ScanProblem>& problems) {
    std::vector<std::string> found;
    std::set<std::string> seen;
    for (const std::string& root : roots) {
        std::error_code error;
        if (!fs::is_directory(root, error))
            throw CatalogError(root + " is not a folder", CUFailureKind::kUsage);
        const fs::path canonical = fs::canonical(root, error);
        if (error) throw CatalogError("cannot read " + root + ": " + error.message(), CUFailureKind::kUsage);
        std::vector<std::string> under;
        Walk(canonical, 0, under, problems);
        // A root given twice, or inside another, is read once.
        for (const std::string& folder : under)
            if (seen.insert(folder).second) found.push_back(folder);
    }
    return found;
}

ScanResult HistoryScan::Run(Catalog& catalog, const std::vector<std::string>& roots, int64_t now) {
    ScanResult result;
    std::vector<CopiesSeen> all;
    for (const std::string& folder : FindHistories(roots, result.problems)) {
        try {
            std::vector<CopiesSeen> copies = HistoryReading::Read(folder, now);
            if (copies.empty()) continue;
            result.histories.push_back(folder);
            for (CopiesSeen& seen : copies) {
                result.copies += seen.copies.size();
                all.push_back(std::move(seen));
            }
        } catch (const CatalogError& e) {
            if (e.Kind() != CUFailureKind::kProblems) throw;
            result.problems.push_back({folder, e.what()});
        }
    }
    std::set<std::string> cards;
    for (const CopiesSeen& seen : all) cards.insert(seen.card.Key());
    result.cards = cards.size();
    if (!all.empty()) catalog.RecordCopies(all);
    return result;
}

}  // namespace qzcatalog
