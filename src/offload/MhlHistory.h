#pragma once
// The ASC MHL history of one folder (FOLDER/ascmhl/): its generations in
// order, checked against their chain when loaded, the newest hashes that
// vouch for each file, and appending a generation (a new file, never a
// changed one, and the chain rewritten to list it). Loading refuses, with
// OffloadError, a history whose chain does not match its generation files:
// a generation missing, altered (C4 id) or not in the chain, the chain
// missing, sequence numbers that do not run 1, 2, 3... Used by one thread.
#include "HashList.h"
#include "MhlChain.h"

#include <map>
#include <string>
#include <vector>

namespace qzoffload {

class MhlHistory {
public:
    static constexpr const char* kFolderName = "ascmhl";
    // Generation and chain files larger than this are refused unread.
    static constexpr uint64_t kMaxFileBytes = 64ull << 20;

    // An empty history when FOLDER/ascmhl holds no generation and no chain.
    static MhlHistory Load(const std::string& folder);

    const std::string& Folder() const { return m_Folder; }
    bool Empty() const { return m_Generations.empty(); }
    const std::vector<HashList>& Generations() const { return m_Generations; }
    // The chain's entry of each generation, in the same order.
    const std::vector<ChainEntry>& Chain() const { return m_Chain; }
    // The newest entry of `path` that holds an original or verified hash,
    // with those hashes only; null when no generation vouches for the file.
    const MhlFileEntry* NewestVouched(const std::string& path) const;
    // Every path some generation vouches for, sorted.
    std::vector<std::string> VouchedPaths() const;
    // The run id of the newest generation an offload run wrote (a check's
    // records no run); empty when none.
    std::string NewestRecordRun() const;

    // Writes `list` as the next generation, named after the folder
    // (NNNN_NAME_YYYY-MM-DD_HHMMSSZ.mhl), and the chain; answers the new
    // file's path relative to the folder ("ascmhl/0001_..."). Throws
    // OffloadError when either cannot be written.
    std::string Append(const HashList& list);

private:
    void Take(const HashList& list);

    std::string m_Folder;
    std::vector<ChainEntry> m_Chain;
    std::vector<HashList> m_Generations;
    std::map<std::string, MhlFileEntry> m_Vouched;
};

}  // namespace qzoffload
