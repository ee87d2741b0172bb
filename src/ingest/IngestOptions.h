#pragma once
// What one ingest is asked to do, as `qzcard ingest` and its profile give
// it. Paths as given; the cards are ingested in the order given. A plain
// value.
#include "HashFormat.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qzingest {

struct IngestOptions {
    std::vector<std::string> cards;
    std::vector<std::string> to;    // read from the card, each verified from its drive
    std::vector<std::string> then;  // copied from the first verified copy, after the card is free
    std::string movies;             // one MOV per recording; empty: none
    std::string proxies;            // one proxy per recording; empty: none
    std::string proxyCodec = "prores-proxy";
    std::string proxySize = "half";
    std::string report;  // the report's folder; empty: none
    int64_t copies = 1;  // volumes the catalog must find copies on to call a card erasable
    std::vector<qzoffload::HashFormat> hashes;  // empty: xxh64
};

}  // namespace qzingest
