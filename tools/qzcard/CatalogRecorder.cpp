#include "CatalogRecorder.h"

#include "CardReading.h"
#include "CatalogLocation.h"
#include "CommandOutputReading.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <exception>

namespace qzcard {

namespace {

struct CatalogChoice {
    std::string location;  // --catalog; empty: QZCARD_CATALOG or the default
    bool off = false;      // --no-catalog
};

CatalogChoice& Choice() {
    static CatalogChoice choice;
    return choice;
}

// A reason on one line: the database libraries' messages may run over
// several (libpq adds a hint on a line of its own).
std::string OneLine(const std::string& text) {
    std::string line;
    for (char c : text) {
        const bool space = c == '\n' || c == '\r' || c == '\t' || c == ' ';
        if (!space)
            line += c;
        else if (!line.empty() && line.back() != ' ')
            line += ' ';
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    return line;
}

// For the tests of a process killed while it records: with
// QZCARD_TEST_STOP_IN_CATALOG naming a file, the recording stops inside
// its transaction, all its rows written and none committed, creates that
// file and waits there for the signal that ends it.
void StopInTransactionWhenAsked(qzcatalog::Catalog& catalog) {
    const char* marker = std::getenv("QZCARD_TEST_STOP_IN_CATALOG");
    if (marker == nullptr || *marker == '\0') return;
    const std::string file = marker;
    catalog.SetBeforeCommit([file] {
        const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0) close(fd);
        for (;;) pause();
    });
}

}  // namespace

nlohmann::ordered_json CatalogOutcome::Json() const {
    switch (state) {
        case State::kRecorded:
            return {{"state", "recorded"}, {"where", where}};
        case State::kNotUpdated:
            return {{"state", "not updated"}, {"reason", why}};
        case State::kOff:
            break;
    }
    return {{"state", "off"}};
}

void CatalogRecorder::AddOptions(CLI::App& app) {
    app.add_option("--catalog", Choice().location,
                   "Where commands record what they learn: a PostgreSQL URL or a SQLite file (default: "
                   "$QZCARD_CATALOG, else $XDG_DATA_HOME/qzcard/catalog.sqlite)");
    app.add_flag("--no-catalog", Choice().off, "Record nothing in the catalog this run");
}

void CatalogRecorder::PreferProfile(const std::string& location, bool off) {
    if (Choice().location.empty()) Choice().location = location;
    Choice().off = Choice().off || off;
}

void CatalogRecorder::ChooseLocation(const std::string& location) {
    Choice().location = location;
}

const std::string& CatalogRecorder::GivenLocation() {
    return Choice().location;
}

CatalogOutcome CatalogRecorder::Record(const std::function<void(qzcatalog::Catalog&, int64_t now)>& record) {
    CatalogOutcome outcome;
    if (Choice().off) return outcome;
    // Whatever stops the recording (the catalog's own errors, a file system
    // error, memory) is told with its reason and leaves the work's outcome as it is.
    try {
        qzcatalog::Catalog catalog(qzcatalog::CatalogLocation::Resolve(Choice().location));
        StopInTransactionWhenAsked(catalog);
        record(catalog, static_cast<int64_t>(std::time(nullptr)));
        outcome.state = CatalogOutcome::State::kRecorded;
        outcome.where = catalog.Where();
    } catch (const std::exception& e) {
        outcome.state = CatalogOutcome::State::kNotUpdated;
        outcome.why = OneLine(e.what());
        std::fprintf(stderr, "qzcard: catalog not updated: %s\n", outcome.why.c_str());
    }
    return outcome;
}

CatalogOutcome CatalogRecorder::RecordExport(const std::vector<std::string>& cards,
                                             const std::vector<std::string>& records) {
    return Record([&](qzcatalog::Catalog& catalog, int64_t now) {
        qzcatalog::RunSeen run;
        for (const std::string& card : cards)
            run.cards.push_back(qzcatalog::CardReading::Read(card, {}, now));
        for (const std::string& record : records)
            for (qzcatalog::OutputSeen& output : qzcatalog::CommandOutputReading::ExportOutputs(record, now))
                run.outputs.push_back(std::move(output));
        catalog.Record(run);
    });
}

CatalogOutcome CatalogRecorder::RecordReport(const std::vector<std::string>& cards,
                                             const std::string& reportJson) {
    return Record([&](qzcatalog::Catalog& catalog, int64_t now) {
        qzcatalog::RunSeen run;
        for (const std::string& card : cards)
            run.cards.push_back(qzcatalog::CardReading::Read(card, {}, now));
        run.checks = qzcatalog::CommandOutputReading::ReportChecks(reportJson, now);
        catalog.Record(run);
    });
}

}  // namespace qzcard
