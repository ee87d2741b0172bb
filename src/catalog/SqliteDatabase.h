#pragma once
// The catalog in one SQLite file: opened (created with its folders when
// missing) in WAL mode, so readers never wait for a writer, with a busy
// timeout, so writers of several processes take turns, full syncs on
// commit and foreign keys on. A write transaction takes the write lock at
// its start (BEGIN IMMEDIATE). A file that is not a SQLite database, or a
// damaged one, is reported as such when it is first read. One thread.
#include "Database.h"

#include <memory>
#include <string>
#include <unordered_map>

struct sqlite3;
struct sqlite3_stmt;

namespace qzcatalog {

class SqliteDatabase : public Database {
public:
    // How long a statement waits for another process's write transaction.
    static constexpr int kBusyTimeoutMs = 30000;

    explicit SqliteDatabase(const std::string& path);
    SqliteDatabase(const SqliteDatabase&) = delete;
    SqliteDatabase& operator=(const SqliteDatabase&) = delete;

    Store Kind() const override { return Store::kSqlite; }
    const std::string& Where() const override { return m_Where; }
    std::unique_ptr<Statement> Prepare(const std::string& sql) override;
    void RunScript(const std::string& sql) override;
    void Begin(TransactionKind kind) override;
    void Commit() override;
    void Rollback() noexcept override;

private:
    struct Closer {
        void operator()(sqlite3* db) const;
    };
    // Finalizes its statements when destroyed, before the connection closes.
    struct StatementCache : std::unordered_map<std::string, sqlite3_stmt*> {
        StatementCache() = default;
        StatementCache(const StatementCache&) = delete;
        StatementCache& operator=(const StatementCache&) = delete;
        ~StatementCache();
    };

    std::string m_Where;
    std::unique_ptr<sqlite3, Closer> m_Db;
    StatementCache m_Statements;
};

}  // namespace qzcatalog
