#pragma once
// The small interface the catalog keeps its data through, with one
// implementation per store (SqliteDatabase, PostgresDatabase): prepared
// statements with numbered parameters ($1, $2 ... in the SQL text, the same
// in both stores) bound to typed values, typed column reads, scripts for
// the migrations and transactions. Texts are bytes and are kept exactly
// (a file name need not be UTF-8). Every failure throws CatalogError naming
// the catalog. One connection; used by one thread at a time.
#include "CatalogError.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace qzcatalog {

enum class Store { kSqlite, kPostgres };

// One run of a prepared statement: bind its parameters, then Step() through
// its rows. Columns count from 0, parameters from 1. A statement text is
// prepared once per connection and reused; one Statement of a given text
// is alive at a time.
class Statement {
public:
    virtual ~Statement() = default;

    virtual Statement& Bind(int parameter, int64_t value) = 0;
    virtual Statement& Bind(int parameter, const std::string& value) = 0;
    // A null of the type the parameter would have.
    virtual Statement& BindNullInt(int parameter) = 0;
    virtual Statement& BindNullText(int parameter) = 0;
    Statement& Bind(int parameter, const char* value) { return Bind(parameter, std::string(value)); }
    Statement& Bind(int parameter, const std::optional<int64_t>& value) {
        return value ? Bind(parameter, *value) : BindNullInt(parameter);
    }
    Statement& Bind(int parameter, const std::optional<std::string>& value) {
        return value ? Bind(parameter, *value) : BindNullText(parameter);
    }

    // Runs the statement on the first call; true while a row is there to read.
    virtual bool Step() = 0;
    // Runs a statement that gives no rows (or whose rows are not wanted).
    void Run() {
        while (Step()) {
        }
    }

    virtual bool IsNull(int column) = 0;
    // Throw CatalogError when the column holds something else (a damaged or
    // foreign catalog), naming the column.
    virtual int64_t Int(int column) = 0;
    virtual std::string Text(int column) = 0;
    std::optional<int64_t> OptionalInt(int column) {
        return IsNull(column) ? std::nullopt : std::optional<int64_t>(Int(column));
    }
    std::optional<std::string> OptionalText(int column) {
        return IsNull(column) ? std::nullopt : std::optional<std::string>(Text(column));
    }
};

// What a transaction does, so each store can lock accordingly: a write
// takes SQLite's write lock at once (no deadlock between two writers that
// both start by reading), a read sees one snapshot.
enum class TransactionKind { kRead, kWrite };

class Database {
public:
    virtual ~Database() = default;

    virtual Store Kind() const = 0;
    // The catalog as the person named it (a path, or the URL without its
    // password), for messages.
    virtual const std::string& Where() const = 0;

    virtual std::unique_ptr<Statement> Prepare(const std::string& sql) = 0;
    // Several statements without parameters (a migration step).
    virtual void RunScript(const std::string& sql) = 0;

    virtual void Begin(TransactionKind kind) = 0;
    virtual void Commit() = 0;
    // Never throws: it runs while an exception is on its way.
    virtual void Rollback() noexcept = 0;
};

// A transaction that is rolled back unless committed.
class Transaction {
public:
    Transaction(Database& database, TransactionKind kind) : m_Database(database) { database.Begin(kind); }
    ~Transaction() {
        if (!m_Done) m_Database.Rollback();
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void Commit() {
        m_Database.Commit();
        m_Done = true;
    }

private:
    Database& m_Database;
    bool m_Done = false;
};

}  // namespace qzcatalog
