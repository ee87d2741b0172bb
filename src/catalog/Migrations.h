#pragma once
// The catalog's schema, one numbered step at a time: the files of
// src/catalog/migrations/ (NNNN_name.sql), embedded at build time, written
// once for both stores (${id} and ${text} become each store's types). The
// table schema_version lists the steps applied. Opening a catalog applies
// the steps it lacks, each in a transaction of its own that also records
// it, under a lock that keeps two processes from applying one step twice;
// a catalog whose schema is newer than this qzcard knows is refused.
// Stateless.
#include "Database.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qzcatalog {

struct MigrationStep {
    int64_t version;
    const char* name;
    const char* sql;  // with ${id} and ${text}
};

// The steps in order of their numbers (generated from migrations/).
const std::vector<MigrationStep>& MigrationSteps();

class Migrations {
public:
    static int64_t LatestVersion();
    // The version of the catalog's schema; 0 for an empty catalog.
    static int64_t CurrentVersion(Database& database);
    // Applies the steps up to `upTo` the catalog lacks. Throws CatalogError
    // (kSetup) naming both versions when the catalog's schema is newer than
    // LatestVersion(), and for a step that fails (nothing of it is kept).
    static void Apply(Database& database, int64_t upTo = LatestVersion());
    // The SQL of a step for one store.
    static std::string ForStore(const std::string& sql, Store store);
};

}  // namespace qzcatalog
