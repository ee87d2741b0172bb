#pragma once
// A station's ingest set up once: a JSON object whose keys are the long
// options of `qzcard ingest` ("to", "then", "movies", "proxies", "codec",
// "size", "report", "copies", "hash", "catalog", "noCatalog", "json",
// "progress"; docs/ingest.md). Lists take an array of strings (or one
// string); a key the profile does not give is left to the command line and
// its defaults. A plain value.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qzingest {

struct IngestProfile {
    std::optional<std::vector<std::string>> to, then, hash;
    std::optional<std::string> movies, proxies, codec, size, report, catalog;
    std::optional<int64_t> copies;
    std::optional<bool> noCatalog, json, progress;

    // The profile in the file `path`. Throws CUHostError (kUsage) naming the
    // file and what is wrong: unreadable, not JSON, not an object, an
    // unknown key, a value of the wrong type or out of range.
    static IngestProfile Read(const std::string& path);
};

}  // namespace qzingest
