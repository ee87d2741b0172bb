#pragma once
// What the catalog knows of one card's files and their copies, loaded in
// three statements: each file with its size, time and hashes, each copy
// with its volume, the hashes and action of the newest entry of its
// history and the latest check that found it changed or missing. Refresh()
// judges every copy by CopyRule (a copy on the volume the card was last
// read on does not count) and writes the copies that count and each
// file's safe volumes back, so that `lacking` reads them from an index.
// Within the caller's transaction; one thread.
#include "CopyRule.h"
#include "Database.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qzcatalog {

struct KnownCopy {
    int64_t id = 0;
    int64_t volumeId = 0;
    std::string volumeKey;
    std::optional<std::string> volumeLabel;
    std::optional<std::string> mountPoint;
    std::string path;  // on the volume
    std::string historyPath;
    std::string generationFile;
    CopyFacts facts;
    bool counts = false;  // as last written
};

struct KnownFile {
    int64_t id = 0;
    std::string path;
    std::optional<int64_t> size;
    std::optional<int64_t> modifiedNs;
    int64_t safeVolumes = 0;  // as last written
    // Hashes of the file's bytes, each for the size and time it had then.
    struct StateHash {
        std::string value;
        int64_t size = 0;
        int64_t modifiedNs = 0;
    };
    std::map<qzoffload::HashFormat, StateHash> hashes;
    std::vector<KnownCopy> copies;

    // The hashes of the state of the file with `size` and `modifiedNs`.
    qzoffload::FileHashes HashesOf(std::optional<int64_t> size, std::optional<int64_t> modifiedNs) const;
};

class CardCopies {
public:
    // Files by path.
    static std::map<std::string, KnownFile> Load(Database& database, int64_t cardId);
    // The same of the card known by `cardKey` (CardSeen::Key); none when the catalog does not know it.
    static std::map<std::string, KnownFile> LoadByKey(Database& database, const std::string& cardKey);
    // The volume the card was last read on; empty when it was never read itself.
    static std::string CardVolume(Database& database, int64_t cardId);
    // Judges the copies of the card's files and writes what changed.
    static void Refresh(Database& database, int64_t cardId);
};

}  // namespace qzcatalog
