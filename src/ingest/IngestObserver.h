#pragma once
// Where an ingest tells what happens, as it happens: events as JSON objects
// (key "event": "started", "fileVerified", "cardFree", "copied",
// "outputWritten", "recording", "problem", "done"; docs/ingest.md names
// every key), and the progress of the phase a card is in. Calls come from
// the ingest's threads one at a time (the ingest serialises them).
#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>

namespace qzingest {

struct IngestProgress {
    std::string card;   // the card as given
    std::string phase;  // "copy" (from the card), "cascade" (to a second destination)
    uint64_t done = 0;  // bytes read so far
    uint64_t total = 0;
    double seconds = 0;  // since the phase began
};

class IngestObserver {
public:
    virtual ~IngestObserver() = default;
    virtual void Event(const nlohmann::ordered_json& event) = 0;
    virtual void Progress(const IngestProgress& progress) = 0;
};

}  // namespace qzingest
