#include "HistoryCheck.h"

#include "CUFailure.h"
#include "CUFolderLock.h"
#include "HashSet.h"
#include "MhlHistory.h"
#include "OffloadError.h"
#include "SourceTree.h"

#include <filesystem>
#include <map>
#include <system_error>

namespace qzoffload {

using namespace ComVantoVantoQZ64RADPlug;
namespace fs = std::filesystem;

CheckReport HistoryCheck::Run(const CheckOptions& options) {
    CheckReport report;
    std::error_code error;
    if (!fs::is_directory(options.folder, error))
        throw OffloadError(options.folder + " is not a folder", OffloadFailure::kSetup);
    const fs::path folder = fs::canonical(options.folder, error);
    if (error)
        throw OffloadError("cannot read " + options.folder + ": " + error.message(), OffloadFailure::kSetup);
    report.folder = folder.string();
    const fs::path ascmhl = folder / MhlHistory::kFolderName;
    if (!fs::is_directory(ascmhl, error))
        throw OffloadError(report.folder + " has no ASC MHL history (no ascmhl folder)");
    std::unique_ptr<CUFolderLock> lock;
    try {
        lock = std::make_unique<CUFolderLock>(ascmhl.string(), "offload", options.waitSeconds);
    } catch (const CUError& e) {
        throw OffloadError(e.Failure().What(),
                           e.Code() == kResultFolderBusy ? OffloadFailure::kBusy : OffloadFailure::kSetup);
    }
    MhlHistory history = MhlHistory::Load(report.folder);
    if (history.Empty()) throw OffloadError(report.folder + " has no ASC MHL history (no generation)");

    const SourceTree tree = SourceTree::Walk(report.folder);
    std::map<std::string, const SourceFile*> present;
    for (const SourceFile& file : tree.files) present[file.relativePath] = &file;

    const int64_t now = options.creator.Now();
    HashList list;
    list.creationDate = now;
    list.hostName = options.creator.Host();
    list.tool = "qzcard";
    list.toolVersion = options.creator.toolVersion;
    list.process = MhlProcess::kInPlace;
    list.ignore = DefaultIgnorePatterns();
    for (const std::string& path : history.VouchedPaths()) {
        const MhlFileEntry& recorded = *history.NewestVouched(path);
        ++report.files;
        MhlFileEntry entry{path, std::nullopt, std::nullopt, {}};
        if (!present.count(path)) {
            // Counted as failed: the recorded hashes, which nothing matched.
            report.missing.push_back(path);
            for (const auto& [format, hash] : recorded.hashes)
                entry.hashes[format] = {hash.value, HashAction::kFailed, now};
            list.files.push_back(entry);
            continue;
        }
        entry.size = present[path]->size;
        entry.modified = present[path]->modified.tv_sec;
        std::vector<HashFormat> formats;
        FileHashes expected;
        for (const auto& [format, hash] : recorded.hashes) {
            formats.push_back(format);
            expected[format] = hash.value;
        }
        std::string failure;
        const FileHashes found = HashSet::OfFile((folder / path).string(), formats, failure);
        if (!failure.empty()) {
            report.changed.push_back({path, "cannot be read: " + failure, expected, {}});
            for (const auto& [format, value] : expected)
                entry.hashes[format] = {value, HashAction::kFailed, now};
            list.files.push_back(entry);
            continue;
        }
        for (const auto& [format, value] : found)
            entry.hashes[format] = {
                value, value == expected[format] ? HashAction::kVerified : HashAction::kFailed, now};
        if (found == expected)
            ++report.verified;
        else
            report.changed.push_back({path, "its hashes differ from the history's", expected, found});
        list.files.push_back(entry);
    }
    for (const SourceFile& file : tree.files)
        if (!history.NewestVouched(file.relativePath)) report.added.push_back(file.relativePath);
    report.generation = history.Append(list);
    return report;
}

}  // namespace qzoffload
