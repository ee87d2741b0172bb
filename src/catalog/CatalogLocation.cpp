#include "CatalogLocation.h"

#include "PostgresDatabase.h"
#include "SqliteDatabase.h"

#include <cstdlib>

namespace qzcatalog {

namespace {

bool StartsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

}  // namespace

CatalogLocation CatalogLocation::Named(const std::string& text) {
    CatalogLocation location;
    location.where = text;
    if (StartsWith(text, "postgresql://") || StartsWith(text, "postgres://"))
        location.store = Store::kPostgres;
    return location;
}

std::string CatalogLocation::DefaultSqlitePath() {
    const std::string data = Environment("XDG_DATA_HOME");
    if (StartsWith(data, "/")) return data + "/qzcard/catalog.sqlite";
    const std::string home = Environment("HOME");
    if (home.empty())
        throw CatalogError(std::string("no catalog: neither --catalog, ") + kEnvironmentVariable +
                           ", XDG_DATA_HOME nor HOME is set");
    return home + "/.local/share/qzcard/catalog.sqlite";
}

CatalogLocation CatalogLocation::Resolve(const std::string& given) {
    if (!given.empty()) return Named(given);
    const std::string environment = Environment(kEnvironmentVariable);
    if (!environment.empty()) return Named(environment);
    return Named(DefaultSqlitePath());
}

std::unique_ptr<Database> CatalogLocation::Connect() const {
    if (store == Store::kPostgres) return std::make_unique<PostgresDatabase>(where);
    return std::make_unique<SqliteDatabase>(where);
}

}  // namespace qzcatalog
