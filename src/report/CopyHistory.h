#pragma once
// What the report says of one copy of a card made by `offload`: the card it
// copies (its medium ID, read from the copy) and its ASC MHL history read
// through the offload layer's CopyRecord - the card's files (when the
// history records them), those verified, copied without being read back,
// failed or not on the copy, an offload into it that did not finish, and
// the last generation. A copy is verified only when every file of the card
// is on it, read back with the card's hashes; one without a readable
// history is not. Plain value; Read() is called by one thread.
#include <nlohmann/json.hpp>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace qzreport {

struct CopyHistory {
    std::string folder;
    std::string mediumId;  // of the card the copy holds; empty when it holds none
    std::string failure;   // why the history cannot be trusted (missing, refused), or the copy holds no card
    bool historyRead = false;  // the history (or an unfinished offload's journal) was read
    size_t generations = 0;
    std::optional<size_t> cardFiles;            // files of the card; nothing when the history does not tell
    size_t files = 0;                           // files the history holds (the card's, when it tells them)
    size_t verified = 0;                        // of those, verified on the copy
    std::vector<std::string> failedFiles;       // whose newest hash entry failed
    std::vector<std::string> notVerifiedFiles;  // copied without being read back (--no-verify)
    std::vector<std::string> missingFiles;      // card files the history has no hash of
    std::string unfinished;                     // an offload into the copy that did not finish
    nlohmann::ordered_json lastGeneration;  // {sequence, created, hostName, tool, process}; null without one

    static CopyHistory Read(const std::string& folder);
    bool Verified() const;
    // "verified" (every card file on the copy, read back), "incomplete"
    // (card files not on it, or failed, or an offload into it unfinished),
    // "not verified" (copied, not all read back) or "failed" (the history
    // missing or refused).
    std::string Status() const;
    // folder, mediumId, status, verified, failure, generations, cardFiles,
    // files, verifiedFiles, failedFiles, notVerifiedFiles, missingFiles,
    // unfinished, lastGeneration.
    nlohmann::ordered_json Json() const;
};

}  // namespace qzreport
