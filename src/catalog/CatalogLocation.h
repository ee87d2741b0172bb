#pragma once
// Where the catalog lives: a PostgreSQL connection URL (postgresql://... or
// postgres://...) or a SQLite file path, given by --catalog, else by the
// environment variable QZCARD_CATALOG, else the default file
// $XDG_DATA_HOME/qzcard/catalog.sqlite (~/.local/share/qzcard/catalog.sqlite
// when XDG_DATA_HOME is not set or not absolute). A plain value.
#include "Database.h"

#include <memory>
#include <string>

namespace qzcatalog {

struct CatalogLocation {
    static constexpr const char* kEnvironmentVariable = "QZCARD_CATALOG";

    Store store = Store::kSqlite;
    std::string where;  // the file path or the URL

    // `given` is the --catalog value; empty when none was given. Throws
    // CatalogError (kSetup) when no location can be found (no HOME).
    static CatalogLocation Resolve(const std::string& given);
    static CatalogLocation Named(const std::string& text);
    static std::string DefaultSqlitePath();

    // Connects to (or opens, creating it) the store; no migration.
    std::unique_ptr<Database> Connect() const;
};

}  // namespace qzcatalog
