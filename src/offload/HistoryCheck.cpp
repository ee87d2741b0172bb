#include "HistoryCheck.h"

#include "CUFailure.h"
#include "CUFolderLock.h"
#include "CUInterruption.h"
#include "CUOutputFile.h"
#include "CopyRecord.h"
#include "HashSet.h"
#include "MhlDate.h"
#include "MhlHistory.h"
#include "OffloadError.h"
#include "OffloadJournal.h"
#include "SourceTree.h"

#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <system_error>

namespace qzoffload {

using namespace ComVantoVantoQZ64RADPlug;
namespace fs = std::filesystem;

namespace {

// Why a vouched-for file is not the card's, as far as names, sizes and times tell; empty when it is.
std::string DiffersFromCard(const MhlFileEntry& recorded, const CardFile& file) {
    if (recorded.size && *recorded.size != file.size)
        return "the card's file has " + std::to_string(file.size) + " bytes, the history records " +
               std::to_string(*recorded.size);
    if (recorded.modified && *recorded.modified != static_cast<int64_t>(file.modified.tv_sec))
        return "the card's file was modified " + MhlDate::Format(file.modified.tv_sec) +
               ", the history records " + MhlDate::Format(*recorded.modified);
    return std::string();
}

}  // namespace

CheckReport HistoryCheck::Run(const CheckOptions& options, const CardFileList* card) {
    CheckReport report;
    std::error_code error;
    if (!fs::is_directory(options.folder, error))
        throw OffloadError(
            options.folder + (fs::exists(fs::symlink_status(options.folder, error)) ? " is not a folder"
                                                                                    : " does not exist"),
            CUFailureKind::kSetup);
    const fs::path folder = fs::canonical(options.folder, error);
    if (error)
        throw OffloadError("cannot read " + options.folder + ": " + error.message(), CUFailureKind::kSetup);
    report.folder = folder.string();
    if (card) report.card = card->root;
    const CUFolderLock lock(report.folder, options.waitSeconds);
    MhlHistory history = MhlHistory::Load(report.folder);
    const CopyRecord record = CopyRecord::Of(history, OffloadJournal::Read(report.folder));
    if (history.Empty() && !record.unfinished)
        throw OffloadError(report.folder + " has no ASC MHL history (no generation)");
    if (record.unfinished)
        report.unfinished = "an offload into this copy did not finish (begun " +
                            MhlDate::Format(record.unfinished->started) + ", " +
                            std::to_string(record.unfinished->done.size()) +
                            " files done); run it again to complete the copy";

    // The card's files: from the card given, else as the history records them.
    std::map<std::string, const CardFile*> cardFiles;
    std::set<std::string> expected;
    if (card) {
        for (const CardFile& file : card->files) {
            cardFiles[file.relativePath] = &file;
            expected.insert(file.relativePath);
        }
    } else if (record.cardFiles) {
        expected.insert(record.cardFiles->begin(), record.cardFiles->end());
    }
    if (card || record.cardFiles) report.cardFiles = expected.size();

    const SourceTree tree = SourceTree::Walk(report.folder);
    std::map<std::string, const SourceFile*> present;
    for (const SourceFile& file : tree.files) present[file.relativePath] = &file;

    const int64_t now = options.creator.Now();
    HashList list = options.creator.Generation(MhlProcess::kInPlace, now);
    CardFileRecord cardRecord;
    cardRecord.cardFiles = expected.size();

    CUDriveFileReader::Buffer buffer;
    std::set<std::string> paths(expected.begin(), expected.end());
    for (const std::string& path : history.VouchedPaths()) paths.insert(path);
    uint64_t bytesToRead = 0, bytesRead = 0;  // for the progress
    for (const std::string& path : paths)
        if (present.count(path) && history.NewestVouched(path)) bytesToRead += present[path]->size;
    for (const std::string& path : paths) {
        const bool ofCard = expected.count(path) > 0;
        const auto onCard = cardFiles.find(path);
        const MhlFileEntry* recorded = history.NewestVouched(path);
        if (!recorded) {
            // A card file with no good hash in the history.
            const bool missingOnCard = onCard != cardFiles.end() && !onCard->second->OnCard();
            report.notOnCopy.push_back(
                {path,
                 missingOnCard ? onCard->second->absentReason : record.Why(path),
                 {},
                 {},
                 missingOnCard ? FileProblem::kMissingOnCard : FileProblem::kNotCopied});
            cardRecord.absent.push_back(path);
            continue;
        }
        ++report.files;
        // A file the card lacks now (no longer has, or lost) is told, not held against the copy.
        const bool onTheCard = onCard != cardFiles.end() && onCard->second->OnCard();
        if (card && !onTheCard) report.notOnCard.push_back(path);
        const std::string differs = onTheCard ? DiffersFromCard(*recorded, *onCard->second) : "";
        // The generation records the card's files (all it vouches for when it does not know them).
        const bool inGeneration = !report.cardFiles || ofCard;
        MhlFileEntry entry{path, std::nullopt, std::nullopt, {}};
        FileHashes expectedHashes;
        std::vector<HashFormat> formats;
        for (const auto& [format, hash] : recorded->hashes) {
            formats.push_back(format);
            expectedHashes[format] = hash.value;
        }
        if (!present.count(path)) {
            // Counted as failed: the recorded hashes, which nothing matched.
            report.missing.push_back(path);
            for (const auto& [format, value] : expectedHashes)
                entry.hashes[format] = {value, HashAction::kFailed, now};
            if (inGeneration) list.files.push_back(entry);
            continue;
        }
        entry.size = present[path]->size;
        entry.modified = present[path]->modified.tv_sec;
        std::string failure;
        const FileHashes found = HashSet::OfFile((folder / path).string(), formats, failure, &buffer);
        bytesRead += present[path]->size;
        if (options.progress) options.progress(path, present[path]->size, bytesRead, bytesToRead);
        if (!failure.empty()) {
            report.changed.push_back(
                {path, "cannot be read: " + failure, expectedHashes, {}, FileProblem::kFailed});
            for (const auto& [format, value] : expectedHashes)
                entry.hashes[format] = {value, HashAction::kFailed, now};
            if (inGeneration) list.files.push_back(entry);
            continue;
        }
        for (const auto& [format, value] : found)
            entry.hashes[format] = {
                value, value == expectedHashes[format] ? HashAction::kVerified : HashAction::kFailed, now};
        if (inGeneration) list.files.push_back(entry);
        if (found != expectedHashes) {
            report.changed.push_back(
                {path, "its hashes differ from the history's", expectedHashes, found, FileProblem::kFailed});
            continue;
        }
        ++report.verified;
        if (!differs.empty())
            report.changed.push_back({path, differs, {}, {}, FileProblem::kFailed});
        else if (ofCard)
            ++report.cardVerified;
    }
    for (const SourceFile& file : tree.files) {
        // A partial file never looks finished: an offload's unfinished work, not a file of the copy.
        const std::string name = fs::path(file.relativePath).filename().string();
        if (CUOutputFile::IsPartialName(name)) continue;
        if (!history.NewestVouched(file.relativePath) && !expected.count(file.relativePath))
            report.added.push_back(file.relativePath);
    }

    if (!list.files.empty() || !history.Empty()) {
        if (report.cardFiles) list.card = cardRecord;
        list.comment = report.Status();
        report.generation = history.Append(list);
    }
    return report;
}

}  // namespace qzoffload
