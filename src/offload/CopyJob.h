#pragma once
// The plain data of one copy run: the files of the card to copy (jobs),
// what became of each on each destination (outcomes), each destination's
// run, and the hooks that plant faults at fixed points (tests) or tell a
// file's progress as it happens (an ingest's events). Plain values.
#include "HashSet.h"

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace qzoffload {

struct CopyJob {
    std::string sourcePath;    // the card file
    std::string relativePath;  // inside the card and the copy
    uint64_t size = 0;
    timespec modified{};
    std::vector<bool> wanted;  // per destination: copy it there
};

struct CopyOutcome {
    enum class State {
        kNotDone,   // not copied in this run (not wanted, or the run stopped first)
        kVerified,  // copied, read back from the drive with the card's hashes
        kCopied,    // copied, not read back (--no-verify)
        kFailed,    // copied but the read-back differs: the copy was removed
    };
    State state = State::kNotDone;
    FileHashes cardHashes;  // of the bytes read from the card
    FileHashes copyHashes;  // of the bytes read back from the copy
    std::string reason;     // kFailed
};

struct DestinationRun {
    std::string root;                   // DEST/NAME
    std::vector<CopyOutcome> outcomes;  // per job
    // Why the destination stopped midway and the file it was at; empty when it did not.
    std::string failure;
    std::string failedFile;
    uint64_t bytesWritten = 0;
    double seconds = 0;
};

// Fault points for tests and points to observe; each may be empty. Called
// on the thread named.
struct CopyHooks {
    // Read-back thread of `destination`: the partial of `relativePath` is
    // written and synced, not yet read back.
    std::function<void(size_t destination, const std::string& partialPath, const std::string& relativePath)>
        afterSync;
    // Reading thread: a chunk of `relativePath` ending at `offset` was read.
    std::function<void(const std::string& relativePath, uint64_t offset)> afterCardRead;
    // Read-back thread of `destination`: it finished its `filesDone`th file
    // (the writer is then at most DestinationWriter::kFilesAhead files on).
    std::function<void(size_t destination, size_t filesDone)> afterFile;
    // Read-back thread of `destination`: `relativePath` is in its place,
    // read back with the card's hashes (only copied, without read-back),
    // and in the journal.
    std::function<void(size_t destination, const std::string& relativePath)> afterCommit;
};

// Reading thread, after each chunk: the file, its bytes read so far and its
// size, the bytes read of the whole run so far and their total.
using CopyProgressFunction = std::function<void(const std::string& relativePath, uint64_t fileDone,
                                                uint64_t fileSize, uint64_t done, uint64_t total)>;

}  // namespace qzoffload
