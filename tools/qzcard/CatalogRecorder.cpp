#include "CatalogRecorder.h"

#include "CatalogLocation.h"

#include <cstdio>
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

}  // namespace qzcard
