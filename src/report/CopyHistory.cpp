#include "CopyHistory.h"

#include "CardOpening.h"
#include "ValueTexts.h"
#include "CopyRecord.h"
#include "FBCContentValueTag.h"
#include "ImportError.h"
#include "MhlHistory.h"
#include "OffloadError.h"
#include "OffloadJournal.h"

#include <set>

namespace qzreport {

using nlohmann::ordered_json;
using qzoffload::CopiedFileState;

CopyHistory CopyHistory::Read(const std::string& folder) {
    CopyHistory copy;
    copy.folder = folder;
    try {
        copy.mediumId = qzimport::UUIDText(
            qzimport::OpenCard(folder)->ValueForTag(ComVantoVantoQZ64RADPlug::kContentValueMediaID));
    } catch (const qzimport::ImportError& e) {
        copy.failure = e.what();
    }
    try {
        const qzoffload::MhlHistory history = qzoffload::MhlHistory::Load(folder);
        const qzoffload::CopyRecord record =
            qzoffload::CopyRecord::Of(history, qzoffload::OffloadJournal::Read(folder));
        copy.generations = history.Generations().size();
        if (record.unfinished)
            copy.unfinished = "an offload into this copy did not finish (" +
                              std::to_string(record.unfinished->done.size()) + " files done)";
        if (history.Empty() && !record.unfinished) {
            if (copy.failure.empty()) copy.failure = "no ASC MHL history in " + folder;
            return copy;
        }
        copy.historyRead = true;
        if (record.cardFiles)
            copy.cardFiles = std::set<std::string>(record.cardFiles->begin(), record.cardFiles->end()).size();
        copy.verified = record.Files(CopiedFileState::kVerified).size();
        copy.failedFiles = record.Files(CopiedFileState::kFailed);
        copy.notVerifiedFiles = record.Files(CopiedFileState::kNotVerified);
        copy.missingFiles = record.Files(CopiedFileState::kAbsent);
        copy.files =
            copy.verified + copy.failedFiles.size() + copy.notVerifiedFiles.size() + copy.missingFiles.size();
        if (history.Empty()) return copy;
        const qzoffload::HashList& last = history.Generations().back();
        copy.lastGeneration = {{"sequence", copy.generations},
                               {"created", qzimport::HostDateText(static_cast<double>(last.creationDate))},
                               {"hostName", last.hostName},
                               {"tool", last.tool + (last.toolVersion.empty() ? "" : " " + last.toolVersion)},
                               {"process", qzoffload::MhlProcessName(last.process)}};
    } catch (const qzoffload::OffloadError& e) {
        copy.failure = e.what();
    }
    return copy;
}

bool CopyHistory::Verified() const {
    return Status() == "verified";
}

std::string CopyHistory::Status() const {
    if (!historyRead) return "failed";
    if (!failedFiles.empty() || !missingFiles.empty() || !unfinished.empty()) return "incomplete";
    if (!notVerifiedFiles.empty()) return "not verified";
    return "verified";
}

ordered_json CopyHistory::Json() const {
    return {{"folder", folder},
            {"mediumId", mediumId.empty() ? ordered_json() : ordered_json(mediumId)},
            {"status", Status()},
            {"verified", Verified()},
            {"failure", failure.empty() ? ordered_json() : ordered_json(failure)},
            {"generations", generations},
            {"cardFiles", cardFiles ? ordered_json(*cardFiles) : ordered_json()},
            {"files", files},
            {"verifiedFiles", verified},
            {"failedFiles", failedFiles},
            {"notVerifiedFiles", notVerifiedFiles},
            {"missingFiles", missingFiles},
            {"unfinished", unfinished.empty() ? ordered_json() : ordered_json(unfinished)},
            {"lastGeneration", lastGeneration}};
}

}  // namespace qzreport
