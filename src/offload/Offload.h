#pragma once
// One offload: a card copied to several destinations (DEST/NAME each),
// read once, every file hashed, read back from each drive and recorded in
// an ASC MHL history generation per destination (process "transfer"),
// measured against the card's file list (CardFileList): a copy is complete
// only when it holds every one of them, read back with the card's hashes.
// Before copying: the card must be a card, the destinations existing
// folders that neither lie inside the card nor hold it, each copy folder
// locked against a second offload (--wait), their histories sound, the
// free space of each file system enough for every destination on it.
// A refused offload creates nothing. A re-run resumes: partials of dead
// processes are removed, files an unfinished run's journal or the history
// vouches for with the card file's size and time are kept after
// re-hashing them on the destination, and files in the way that no run of
// ours wrote are never replaced. While it runs, each copy's journal
// records the files done, so a killed run loses none of them. The card is
// never written. Setup failures throw OffloadError; what happened to the
// files is in the report. Run() is called by one thread.
#include "CopyJob.h"
#include "HashFormat.h"
#include "HashList.h"
#include "OffloadReport.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qzoffload {

// Who writes a history generation, and when (tests pin both).
struct MhlCreator {
    std::string toolVersion;
    std::string hostName;                // empty: this machine's name
    std::function<int64_t()> clock;      // seconds since 1970 (UTC); empty: the system clock
    std::function<std::string()> runId;  // ties a journal to its generation; empty: 128 random bits

    int64_t Now() const;
    std::string Host() const;
    std::string RunId() const;
    // A new, empty generation of `process` by qzcard, created `now`.
    HashList Generation(MhlProcess process, int64_t now) const;
};

struct OffloadOptions {
    std::string card;
    std::vector<std::string> destinations;
    std::string name;                 // empty: the card folder's name
    std::vector<HashFormat> formats;  // empty: xxh64
    bool verify = true;
    double waitSeconds = 0;  // for another offload into the same DEST/NAME
    MhlCreator creator;
    // When `card` is a verified copy of the card (a cascade): the copy's
    // folder, recorded in each generation as the files' source.
    std::string copiedFrom;
    CopyHooks hooks;
    CopyProgressFunction progress;
    // Called before anything is copied, for each copy that held something
    // its history did not expect (the calling thread).
    std::function<void(const std::string& copy, const DestinationFindings& found)> found;
};

class Offload {
public:
    static OffloadReport Run(const OffloadOptions& options);
    // The formats asked for in schema order without repeats; xxh64 when none.
    static std::vector<HashFormat> Formats(const std::vector<HashFormat>& asked);
};

}  // namespace qzoffload
