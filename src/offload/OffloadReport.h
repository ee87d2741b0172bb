#pragma once
// What an offload or a check did, as plain values the command prints as
// text or JSON: per destination the files and bytes, how long it took,
// whether everything was verified, each failure with its reason and hashes,
// and the history generation written.
#include "HashSet.h"
#include "SourceTree.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qzoffload {

struct FileFailure {
    std::string path;  // relative to the copy; empty for the destination as a whole
    std::string reason;
    FileHashes cardHashes;  // expected (from the card, or the history)
    FileHashes copyHashes;  // found in the copy
};

struct DestinationReport {
    std::string path;    // DEST/NAME
    size_t files = 0;    // card files the copy now holds, checked (or copied with --no-verify)
    size_t copied = 0;   // of those, copied in this run
    size_t kept = 0;     // of those, kept from an earlier run after re-hashing them
    uint64_t bytes = 0;  // written in this run
    double seconds = 0;
    bool verified = false;  // every file of the card is in the copy, read back with the card's hashes
    std::vector<FileFailure> failures;
    std::string generation;  // the history file written, relative to path; empty when none
};

struct OffloadReport {
    std::string card;
    std::string name;
    std::vector<HashFormat> formats;
    bool verify = true;
    size_t cardFiles = 0;
    uint64_t cardBytes = 0;
    std::vector<std::string> clips;
    std::vector<SkippedItem> skipped;
    std::vector<DestinationReport> destinations;
    std::string cardFailure;  // the card could not be read to the end
    int interruptSignal = 0;  // the offload was interrupted by this signal

    // Every destination holds every file of the card, verified (copied with --no-verify).
    bool Complete() const;
};

struct CheckReport {
    std::string folder;
    size_t files = 0;     // files the history vouches for
    size_t verified = 0;  // of those, re-hashed with the recorded hashes
    std::vector<FileFailure> changed;
    std::vector<std::string> missing;
    std::vector<std::string> added;  // in the folder, not vouched for by the history
    std::string generation;

    bool Clean() const { return changed.empty() && missing.empty() && added.empty() && verified == files; }
};

}  // namespace qzoffload
