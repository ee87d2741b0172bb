#pragma once
// What a copy's history, and the journal of an unfinished offload into it,
// say of the copy without reading its files: the files of the card it is a
// copy of (from the journal of an unfinished run, else the newest
// generation that records them; unknown for a history another tool wrote),
// and each file's newest state. A file is verified when its newest entry's
// hashes are original (read back from the copy) or verified; not verified
// when they were copied without being read back (--no-verify); failed when
// one failed; and absent when the newest generation that mentions it has no
// hash of it. What the report shows of a copy and where --check begins.
// A plain value.
#include "MhlHistory.h"
#include "OffloadJournal.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qzoffload {

enum class CopiedFileState { kVerified, kNotVerified, kFailed, kAbsent };

struct CopyRecord {
    // The card's files; nothing when neither a generation nor a journal records them.
    std::optional<std::vector<std::string>> cardFiles;
    std::map<std::string, CopiedFileState> states;  // every path the history mentions
    // An offload into the copy that has not finished (killed, or running now).
    std::optional<JournalContents> unfinished;

    // `journal` is ignored when the newest generation was written by its run.
    static CopyRecord Of(const MhlHistory& history, const std::optional<JournalContents>& journal);

    CopiedFileState StateOf(const std::string& path) const;
    // Card files in each state (every card file when the card's files are known, else every path mentioned).
    std::vector<std::string> Files(CopiedFileState state) const;
    // Every card file verified, no unfinished run.
    bool Complete() const;
    // "verified by an unfinished offload, not yet in the history" and the like, for a file not verified.
    std::string Why(const std::string& path) const;
};

}  // namespace qzoffload
