#pragma once
// What the report says of one copy of a card made by `offload`: the card it
// copies (its medium ID, read from the copy) and its ASC MHL history — the
// files it vouches for, the last generation, and which files were verified
// and which failed. A copy without a readable history is not verified.
// Plain value; Read() is called by one thread.
#include <nlohmann/json.hpp>

#include <cstddef>
#include <string>
#include <vector>

namespace qzreport {

struct CopyHistory {
    std::string folder;
    std::string mediumId;  // of the card the copy holds; empty when it holds none
    std::string failure;   // why the history cannot be trusted (missing, refused); empty when read
    size_t generations = 0;
    size_t files = 0;                       // files the history holds
    size_t verified = 0;                    // files whose newest hash entry is original or verified
    std::vector<std::string> failedFiles;   // files whose newest hash entry failed
    nlohmann::ordered_json lastGeneration;  // {sequence, created, hostName, tool, process}; null without one

    static CopyHistory Read(const std::string& folder);
    bool Verified() const { return failure.empty() && failedFiles.empty() && generations > 0; }
    // folder, mediumId, status ("verified", "failed"), verified, failure, generations,
    // files, verifiedFiles, failedFiles, lastGeneration.
    nlohmann::ordered_json Json() const;
};

}  // namespace qzreport
