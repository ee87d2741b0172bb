#include "CopyHistory.h"

#include "CardText.h"
#include "FBCContentValueTag.h"
#include "ImportError.h"
#include "MhlHistory.h"
#include "OffloadError.h"

#include <map>

namespace qzreport {

using nlohmann::ordered_json;

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
        copy.generations = history.Generations().size();
        if (history.Empty()) {
            if (copy.failure.empty()) copy.failure = "no ASC MHL history in " + folder;
            return copy;
        }
        // The newest entry of each file decides: failed when any of its hashes failed.
        std::map<std::string, bool> newestFailed;
        for (const qzoffload::HashList& generation : history.Generations())
            for (const qzoffload::MhlFileEntry& file : generation.files) {
                bool failed = false;
                for (const auto& [format, hash] : file.hashes)
                    failed = failed || hash.action == qzoffload::HashAction::kFailed;
                newestFailed[file.path] = failed;
            }
        copy.files = newestFailed.size();
        for (const auto& [path, failed] : newestFailed)
            if (failed)
                copy.failedFiles.push_back(path);
            else
                ++copy.verified;
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

ordered_json CopyHistory::Json() const {
    return {{"folder", folder},
            {"mediumId", mediumId.empty() ? ordered_json() : ordered_json(mediumId)},
            {"status", Verified() ? "verified" : "failed"},
            {"verified", Verified()},
            {"failure", failure.empty() ? ordered_json() : ordered_json(failure)},
            {"generations", generations},
            {"files", files},
            {"verifiedFiles", verified},
            {"failedFiles", failedFiles},
            {"lastGeneration", lastGeneration}};
}

}  // namespace qzreport
