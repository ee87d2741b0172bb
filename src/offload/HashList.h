#pragma once
// One generation of an ASC MHL history as plain data: who made it and how,
// one entry per file with its hashes and what each hash says (action), and,
// in the generations qzcard writes, what the generation says of the card
// the folder is a copy of. Reading and writing it as XML is HashListXml's
// work. Plain values.
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

// What a generation written by qzcard says of the card its folder is a
// copy of (kept in the generation's metadata, in qzcard's own namespace, so
// that other ASC MHL tools pass over it): how many files the card holds, and
// those of them the generation has no hash for (not copied, missing on the
// card). Every other card file has an entry. A copy is complete as far as a
// generation goes when nothing is absent, no entry failed and its original
// hashes were read back.
struct CardFileRecord {
    uint64_t cardFiles = 0;
    bool readBack = true;  // the generation's original hashes are of the copy read back from its drive
    std::string run;       // the offload run that wrote it (ties an unfinished run's journal to it)
    // The folder the files were read from when it was a verified copy of the
    // card rather than the card itself (a cascade); empty when the card.
    std::string source;
    std::vector<std::string> absent;
};

struct HashList {
    int64_t creationDate = 0;  // seconds since 1970 (UTC)
    std::string hostName;
    std::string tool;
    std::string toolVersion;
    std::string comment;  // the creator's comment; empty for none
    MhlProcess process = MhlProcess::kTransfer;
    std::vector<std::string> ignore;
    std::vector<MhlFileEntry> files;
    std::optional<CardFileRecord> card;
};

// The patterns a history ignores by default.
const std::vector<std::string>& DefaultIgnorePatterns();

}  // namespace qzoffload
