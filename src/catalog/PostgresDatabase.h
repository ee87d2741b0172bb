#pragma once
// The catalog in a PostgreSQL database a facility's stations share,
// reached through libpq by a connection URL (postgresql://...). Statements
// are prepared on the server once per connection, for the parameter types
// of their first run; texts travel as bytea, so they are kept byte for
// byte (and sorted byte by byte, as SQLite sorts them). A write transaction
// runs at READ COMMITTED, the row locks of its upserts keeping two
// stations that record the same card in turn; a read transaction sees one
// snapshot (REPEATABLE READ). A transaction the server ends for a deadlock
// or a serialisation failure throws a retryable CatalogError. One thread.
#include "Database.h"

#include <map>
#include <memory>
#include <string>

struct pg_conn;

namespace qzcatalog {

class PostgresDatabase : public Database {
public:
    static constexpr const char* kConnectTimeoutSeconds = "10";

    explicit PostgresDatabase(const std::string& url);

    Store Kind() const override { return Store::kPostgres; }
    const std::string& Where() const override { return m_Where; }
    std::unique_ptr<Statement> Prepare(const std::string& sql) override;
    void RunScript(const std::string& sql) override;
    void Begin(TransactionKind kind) override;
    void Commit() override;
    void Rollback() noexcept override;

    // The server-side name of `sql` prepared for `types` (one character per
    // parameter, 'i' integer or 't' text), preparing it on first use.
    const std::string& PreparedName(const std::string& sql, const std::string& types);
    pg_conn* Connection() { return m_Connection.get(); }

    // The URL with its password replaced by "***".
    static std::string WithoutPassword(const std::string& url);

private:
    struct Finisher {
        void operator()(pg_conn* connection) const;
    };
    void Execute(const std::string& sql, const char* expectedStatus = nullptr);

    std::string m_Where;
    std::unique_ptr<pg_conn, Finisher> m_Connection;
    std::map<std::pair<std::string, std::string>, std::string> m_Prepared;
};

}  // namespace qzcatalog
