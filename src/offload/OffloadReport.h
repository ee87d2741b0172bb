#pragma once
// What an offload or a check did, as plain values the command prints as
// text or JSON: per destination the card's files and those on the copy, the
// bytes, how long it took, each card file not (verified) on the copy with
// its reason and hashes, what the copy held before the run that its history
// did not expect, and the history generation written.
#include "CFBCContent.h"
#include "HashSet.h"
#include "SourceTree.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qzoffload {

// How a card file is not (verified) on a copy.
enum class FileProblem {
    kFailed,         // copied or checked, and found wrong: removed, or changed on the copy
    kNotCopied,      // not on the copy: the run stopped first, or something else is in its place
    kMissingOnCard,  // named by the card, but not a file on it
};
const char* FileProblemName(FileProblem problem);  // "failed", "notCopied", "missingOnCard"

struct FileFailure {
    std::string path;  // relative to the copy; empty for the copy as a whole
    std::string reason;
    FileHashes cardHashes;  // expected (from the card, or the history)
    FileHashes copyHashes;  // found in the copy
    FileProblem kind = FileProblem::kFailed;
};

// A card file as the generation an offload wrote into a copy records it:
// what callers (the catalog, an ingest) read instead of the history file.
struct OffloadedFile {
    std::string path;      // relative to the copy, '/'-separated
    uint64_t size = 0;     // bytes
    int64_t modified = 0;  // seconds since 1970 (UTC), the card file's
    // Format -> value: of the card's bytes as this run read them, or of the copy when kept.
    FileHashes hashes;
    bool verified = false;       // on the copy with these hashes, read back from its drive (or kept)
    bool kept = false;           // kept from an earlier run after re-hashing the copy
    bool failed = false;         // the copy failed, or a hash differs from the one its history records
    bool firstRecorded = false;  // the copy's history held no hash of the file before this run
};

// What a copy held before an offload into it began that its history did not expect.
struct DestinationFindings {
    std::vector<std::string> changed;  // vouched for, no longer hashing as recorded: copied again
    std::vector<std::string> missing;  // vouched for, gone: copied again
    std::vector<std::string> foreign;  // neither the card's nor vouched for by the history: left as they are
    // A folder the history records whose files are gone, and the folder that
    // now holds files of the same names and sizes (renamed on the copy?).
    std::vector<std::pair<std::string, std::string>> renamed;
    size_t resumed = 0;  // files an unfinished run verified, kept after re-hashing them

    bool Empty() const { return changed.empty() && missing.empty() && foreign.empty() && resumed == 0; }
};

struct DestinationReport {
    std::string path;      // DEST/NAME
    size_t cardFiles = 0;  // files of the card (those missing on it included)
    size_t files = 0;   // of those, on the copy: read back with the card's hashes (with --no-verify: copied)
    size_t copied = 0;  // of those, copied in this run
    size_t kept = 0;    // of those, kept from an earlier run after re-hashing them
    uint64_t bytes = 0;  // written in this run
    double seconds = 0;
    bool readBack = true;    // the copies were read back (not --no-verify)
    size_t notReadBack = 0;  // of the files, those copied with --no-verify (the kept ones were re-hashed)
    bool verified = false;   // complete: every file of the card on the copy, read back with the card's hashes
    bool recorded = true;    // the run's generation was written (else its journal stays for the next run)
    std::vector<FileFailure> failures;  // each card file not (verified) on the copy; problems of the copy
    DestinationFindings found;
    std::string generation;  // the history file written, relative to path; empty when none
    // Every card file the run's generation records, with its hashes (those
    // whose copy failed too, not verified), in the card's order; filled also
    // when the generation could not be written (`generation` is then empty).
    std::vector<OffloadedFile> written;

    // "complete", "not verified" (every file copied, not all read back),
    // "not recorded" (every file there, the history not written) or "incomplete".
    const char* State() const;
    // State(), "incomplete" with its count: "incomplete: N of M files".
    std::string Status() const;
    // Nothing to report: every file there (verified, unless --no-verify), no failure, nothing foreign.
    bool Whole() const;
};

struct OffloadReport {
    std::string card;
    std::string name;
    std::vector<HashFormat> formats;
    bool verify = true;
    size_t cardFiles = 0;  // every file of the card, those its index names and it lacks included
    uint64_t cardBytes = 0;
    std::vector<std::string> clips;
    // The card as the run opened it (CardClips::content); null when it could not be.
    ComVantoVantoQZ64RADPlug::CUSharedPtr<ComVantoVantoQZ64RADPlug::CFBCContent> cardContent;
    std::vector<SkippedItem> skipped;
    std::vector<DestinationReport> destinations;
    std::string cardFailure;  // the card could not be read to the end
    int interruptSignal = 0;  // the offload was interrupted by this signal

    // Every destination is Whole and the card was read to the end.
    bool Complete() const;
};

struct CheckReport {
    std::string folder;
    std::optional<std::string> card;  // the card compared with, when one was given
    std::optional<size_t> cardFiles;  // nothing when neither the history nor the card tells
    size_t cardVerified = 0;          // card files verified on the copy by this check
    size_t files = 0;                 // files the history vouches for
    size_t verified = 0;              // of those, re-hashed with the recorded hashes
    std::vector<FileFailure> changed;
    std::vector<std::string> missing;    // vouched for, gone
    std::vector<FileFailure> notOnCopy;  // card files the history has no good hash of
    std::vector<std::string> added;      // in the folder, neither vouched for nor (with a card) the card's
    std::vector<std::string> notOnCard;  // vouched for, but not on the card given (told, not a problem)
    // An offload into the copy that did not finish, told; nothing when none.
    std::optional<std::string> unfinished;
    std::string generation;

    bool Clean() const {
        return changed.empty() && missing.empty() && added.empty() && notOnCopy.empty() &&
               verified == files && !unfinished;
    }
    bool Complete() const { return Clean() && cardFiles && cardVerified == *cardFiles; }
    // "complete" (every card file verified; other problems may remain),
    // "incomplete: N of M files", or for a history that does not tell the
    // card's files "verified" / "not verified".
    std::string Status() const;
};

}  // namespace qzoffload
