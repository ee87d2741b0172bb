#include "RecordedCopies.h"

#include "CFBCCardFolder.h"
#include "CopyRecord.h"
#include "MhlHistory.h"
#include "Offload.h"
#include "OffloadError.h"
#include "OffloadJournal.h"
#include "SourceTree.h"

#include <filesystem>
#include <set>

namespace qzingest {

using namespace ComVantoVantoQZ64RADPlug;
namespace fs = std::filesystem;

namespace {

// The copy `copy` of `card` as its history records it, or nothing when the
// history does not vouch for every file of the card as it stands.
std::optional<qzoffload::DestinationReport> CopyOnRecord(const qzoffload::SourceTree& card,
                                                         const fs::path& copy,
                                                         const std::vector<qzoffload::HashFormat>& formats) {
    std::error_code error;
    if (!fs::is_directory(copy, error)) return std::nullopt;
    const qzoffload::MhlHistory history = qzoffload::MhlHistory::Load(copy.string());
    if (history.Empty()) return std::nullopt;
    const qzoffload::CopyRecord record =
        qzoffload::CopyRecord::Of(history, qzoffload::OffloadJournal::Read(copy.string()));
    if (!record.Complete()) return std::nullopt;
    std::set<std::string> onCard;
    for (const qzoffload::SourceFile& file : card.files) {
        const qzoffload::MhlFileEntry* vouched = history.NewestVouched(file.relativePath);
        if (!vouched || vouched->size != file.size ||
            vouched->modified != static_cast<int64_t>(file.modified.tv_sec))
            return std::nullopt;
        for (const qzoffload::HashFormat format : formats)
            if (!vouched->hashes.count(format)) return std::nullopt;
        // A copy file gone or of another size since is copied again (a look
        // at its size only: its bytes are not read).
        if (fs::file_size(copy / file.relativePath, error) != file.size || error) return std::nullopt;
        onCard.insert(file.relativePath);
    }
    if (std::set<std::string>(record.cardFiles->begin(), record.cardFiles->end()) != onCard)
        return std::nullopt;
    qzoffload::DestinationReport told;
    told.path = copy.string();
    told.cardFiles = told.files = told.kept = card.files.size();
    told.verified = true;
    told.generation = std::string(qzoffload::MhlHistory::kFolderName) + "/" + history.Chain().back().path;
    return told;
}

}  // namespace

std::optional<qzoffload::OffloadReport> RecordedCopies::WholeOnRecord(
    const std::string& card, const std::vector<std::string>& destinations,
    const std::vector<qzoffload::HashFormat>& formats) {
    std::error_code error;
    if (!CFBCCardFolder::LayoutRefusal(card).empty()) return std::nullopt;
    const fs::path root = fs::canonical(card, error);
    if (error) return std::nullopt;
    try {
        // The tree, not the card opened as a card: that would read the media
        // files' headers. A file the card's index names and the card lacks
        // shows as a card file the history lists and the tree does not.
        const qzoffload::SourceTree files = qzoffload::SourceTree::Walk(root.string());
        qzoffload::OffloadReport report;
        report.card = root.string();
        report.name = root.filename().string();
        report.formats = qzoffload::Offload::Formats(formats);
        report.cardFiles = files.files.size();
        report.cardBytes = files.totalBytes;
        report.skipped = files.skipped;
        for (const std::string& destination : destinations) {
            const fs::path folder = fs::canonical(destination, error);
            if (error) return std::nullopt;
            std::optional<qzoffload::DestinationReport> copy =
                CopyOnRecord(files, folder / report.name, report.formats);
            if (!copy) return std::nullopt;
            report.destinations.push_back(std::move(*copy));
        }
        return report;
    } catch (const qzoffload::OffloadError&) {
        // Not whole on record; the offload that runs instead meets the same
        // fault and tells it with its kind.
        return std::nullopt;
    }
}

}  // namespace qzingest
