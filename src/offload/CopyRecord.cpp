#include "CopyRecord.h"

#include <set>

namespace qzoffload {

namespace {

CopiedFileState StateOfEntry(const MhlFileEntry& entry, const HashList& generation) {
    bool verified = !entry.hashes.empty();
    for (const auto& [format, hash] : entry.hashes) {
        if (hash.action == HashAction::kFailed) return CopiedFileState::kFailed;
        if (hash.action != HashAction::kVerified) verified = false;
    }
    if (verified || !generation.card || generation.card->readBack) return CopiedFileState::kVerified;
    return CopiedFileState::kNotVerified;
}

}  // namespace

CopyRecord CopyRecord::Of(const MhlHistory& history, const std::optional<JournalContents>& journal) {
    CopyRecord record;
    const std::vector<HashList>& generations = history.Generations();
    // Oldest first, so that the newest mention of a path decides.
    for (const HashList& generation : generations) {
        for (const MhlFileEntry& entry : generation.files)
            record.states[entry.path] = StateOfEntry(entry, generation);
        if (!generation.card) continue;
        for (const std::string& path : generation.card->absent)
            record.states[path] = CopiedFileState::kAbsent;
        std::vector<std::string> files;
        for (const MhlFileEntry& entry : generation.files) files.push_back(entry.path);
        files.insert(files.end(), generation.card->absent.begin(), generation.card->absent.end());
        record.cardFiles = files;
    }
    if (journal && journal->run != history.NewestRecordRun()) {
        record.unfinished = journal;
        record.cardFiles = journal->expected;
    }
    return record;
}

CopiedFileState CopyRecord::StateOf(const std::string& path) const {
    const auto found = states.find(path);
    return found == states.end() ? CopiedFileState::kAbsent : found->second;
}

std::vector<std::string> CopyRecord::Files(CopiedFileState state) const {
    std::vector<std::string> paths;
    if (cardFiles) {
        const std::set<std::string> unique(cardFiles->begin(), cardFiles->end());
        for (const std::string& path : unique)
            if (StateOf(path) == state) paths.push_back(path);
    } else {
        for (const auto& [path, its] : states)
            if (its == state) paths.push_back(path);
    }
    return paths;
}

bool CopyRecord::Complete() const {
    return cardFiles && !unfinished &&
           Files(CopiedFileState::kVerified).size() ==
               std::set<std::string>(cardFiles->begin(), cardFiles->end()).size();
}

std::string CopyRecord::Why(const std::string& path) const {
    if (unfinished && unfinished->done.count(path))
        return "verified by an offload that did not finish, not yet in the history";
    switch (StateOf(path)) {
        case CopiedFileState::kNotVerified:
            return "copied without being read back (--no-verify)";
        case CopiedFileState::kFailed:
            return "the history records it failed";
        case CopiedFileState::kAbsent:
            return states.count(path) ? "not copied (the history has no hash of it)"
                                      : "not copied (not in the history)";
        case CopiedFileState::kVerified:
            break;
    }
    return "verified";
}

}  // namespace qzoffload
