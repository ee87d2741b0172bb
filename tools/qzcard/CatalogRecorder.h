#pragma once
// What a command that learns something about a card (offload, offload
// --check, list, clip, verify, export, report) tells the catalog, after it has done its work. The
// catalog's location and whether to record at all are the global options
// --catalog URL|PATH and --no-catalog (else QZCARD_CATALOG, else the default
// SQLite file). Recording never fails the work: a catalog that cannot be
// reached, is newer or is damaged leaves one line on stderr ("catalog not
// updated: <why>") and the command exits as it would have. One thread.
#include "Catalog.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qzcard {

struct CatalogOutcome {
    enum class State { kRecorded, kNotUpdated, kOff };
    State state = State::kOff;
    std::string where;  // kRecorded: the catalog's location
    std::string why;    // kNotUpdated: the reason

    // {"state": "recorded", "where": ...}, {"state": "not updated", "reason":
    // ...} or {"state": "off"}: the `catalog` key of a command's JSON.
    nlohmann::ordered_json Json() const;
};

class CatalogRecorder {
public:
    // Adds --catalog and --no-catalog to the application, once, before the
    // commands are installed.
    static void AddOptions(CLI::App& app);

    // What a profile file chooses (ingest --profile), where the command line
    // chose nothing: its catalog location, and whether to record at all.
    static void PreferProfile(const std::string& location, bool off);

    // A command's own way of naming the catalog to record in (report CARD
    // --catalog X): as the global --catalog.
    static void ChooseLocation(const std::string& location);

    // The global --catalog; empty when none was given.
    static const std::string& GivenLocation();

    // Runs `record` in the catalog (opened, brought up to date) with the
    // time of this run; never throws.
    static CatalogOutcome Record(const std::function<void(qzcatalog::Catalog&, int64_t now)>& record);

    // An export's run: the cards it read (their clips and files) and the
    // outputs the records at `records` (ID.json, absolute or relative to
    // the working folder) list, in one transaction.
    static CatalogOutcome RecordExport(const std::vector<std::string>& cards,
                                       const std::vector<std::string>& records);
    // A report's run: the cards it read and, when the report at
    // `reportJson` was made with --check, each clip's check.
    static CatalogOutcome RecordReport(const std::vector<std::string>& cards, const std::string& reportJson);
};

}  // namespace qzcard
