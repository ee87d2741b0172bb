#pragma once
// What an offload and a check of a copy tell the catalog, from their
// reports, each recorded in one call (and so one transaction per record):
// an offload records the card as it was read (its clips and files, each
// file with the hashes this run read from the card: the entries of the
// generation it wrote for the files it copied, `original` or `verified`,
// never `failed`; a file a destination kept from an earlier run, whose
// entries hold the copy's hashes, is read from the card unless the catalog
// already has its hashes) and the copies every destination's history vouches
// for now; a check records the copy's history as it now stands and one
// result per file it checked. One thread.
#include "Catalog.h"
#include "OffloadReport.h"

#include <cstdint>

namespace qzcatalog {

class OffloadRecording {
public:
    // Throws CatalogError: the card (kNotACard, kProblems), a history
    // (kProblems), the catalog (kSetup).
    static void Record(Catalog& catalog, const qzoffload::OffloadReport& report, int64_t now);
    // As Record(), with the card as the caller read it (an ingest reads it
    // from its verified copy, so that the card itself is not opened again,
    // nor read for the files kept from an earlier run).
    static void Record(Catalog& catalog, const qzoffload::OffloadReport& report, CardSeen card, int64_t now);
    static void RecordCheck(Catalog& catalog, const qzoffload::CheckReport& report, int64_t now);
};

}  // namespace qzcatalog
