#pragma once
// One generation of an ASC MHL history as plain data: who made it and how,
// and one entry per file with its hashes and what each hash says (action).
// Reading and writing it as XML is HashListXml's work. Plain values.
#include "HashFormat.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qzoffload {

// original: first recorded in this history (for an offload: the copy read
// back gave the card's hash); verified: matched an earlier generation's
// hash; failed: did not match.
enum class HashAction { kOriginal, kVerified, kFailed };
enum class MhlProcess { kInPlace, kTransfer, kFlatten };

const char* HashActionName(HashAction action);
std::optional<HashAction> HashActionNamed(const std::string& name);
const char* MhlProcessName(MhlProcess process);
std::optional<MhlProcess> MhlProcessNamed(const std::string& name);

struct MhlHash {
    std::string value;
    HashAction action = HashAction::kOriginal;
    std::optional<int64_t> hashDate;  // seconds since 1970 (UTC)
};

struct MhlFileEntry {
    std::string path;  // relative to the history's folder, '/'-separated
    std::optional<uint64_t> size;
    std::optional<int64_t> modified;  // seconds since 1970 (UTC)
    std::map<HashFormat, MhlHash> hashes;
};

struct HashList {
    int64_t creationDate = 0;  // seconds since 1970 (UTC)
    std::string hostName;
    std::string tool;
    std::string toolVersion;
    MhlProcess process = MhlProcess::kTransfer;
    std::vector<std::string> ignore;
    std::vector<MhlFileEntry> files;
};

// The patterns a history ignores by default.
const std::vector<std::string>& DefaultIgnorePatterns();

}  // namespace qzoffload
