#include "SqliteDatabase.h"

#include <sqlite3.h>

#include <filesystem>
#include <system_error>

namespace qzcatalog {

namespace {

// The sentence for a failed call: damage and a busy catalog said plainly.
[[noreturn]] void Fail(sqlite3* db, int code, const std::string& where, const std::string& doing) {
    const std::string message = db ? sqlite3_errmsg(db) : sqlite3_errstr(code);
    switch (code & 0xFF) {
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
            throw CatalogError("the catalog " + where + " is damaged or not a SQLite database (" + message +
                               ", " + doing + ")");
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            throw CatalogError("the catalog " + where + " stayed busy with another process's work for " +
                               std::to_string(SqliteDatabase::kBusyTimeoutMs / 1000) + " s (" + doing + ")");
        default:
            throw CatalogError("the catalog " + where + ": " + doing + ": " + message);
    }
}

const char* TypeName(int type) {
    switch (type) {
        case SQLITE_INTEGER:
            return "a number";
        case SQLITE_FLOAT:
            return "a fraction";
        case SQLITE_TEXT:
            return "a text";
        case SQLITE_BLOB:
            return "bytes";
        default:
            return "nothing";
    }
}

class SqliteStatement : public Statement {
public:
    SqliteStatement(sqlite3* db, sqlite3_stmt* statement, const std::string& where)
        : m_Db(db), m_Statement(statement), m_Where(where) {
        sqlite3_reset(m_Statement);
        sqlite3_clear_bindings(m_Statement);
    }
    ~SqliteStatement() override { sqlite3_reset(m_Statement); }

    Statement& Bind(int parameter, int64_t value) override {
        Check(sqlite3_bind_int64(m_Statement, Index(parameter), value));
        return *this;
    }
    Statement& Bind(int parameter, const std::string& value) override {
        Check(sqlite3_bind_text64(m_Statement, Index(parameter), value.data(), value.size(), SQLITE_TRANSIENT,
                                  SQLITE_UTF8));
        return *this;
    }
    Statement& BindNullInt(int parameter) override {
        Check(sqlite3_bind_null(m_Statement, Index(parameter)));
        return *this;
    }
    Statement& BindNullText(int parameter) override { return BindNullInt(parameter); }

    bool Step() override {
        const int code = sqlite3_step(m_Statement);
        if (code == SQLITE_ROW) return true;
        if (code == SQLITE_DONE) return false;
        Fail(m_Db, code, m_Where, "running " + Sql());
    }

    bool IsNull(int column) override { return sqlite3_column_type(m_Statement, column) == SQLITE_NULL; }
    int64_t Int(int column) override {
        const int type = sqlite3_column_type(m_Statement, column);
        if (type != SQLITE_INTEGER) Misfit(column, type, "a number");
        return sqlite3_column_int64(m_Statement, column);
    }
    std::string Text(int column) override {
        const int type = sqlite3_column_type(m_Statement, column);
        if (type != SQLITE_TEXT && type != SQLITE_BLOB) Misfit(column, type, "a text");
        const void* bytes = type == SQLITE_TEXT
                                ? static_cast<const void*>(sqlite3_column_text(m_Statement, column))
                                : sqlite3_column_blob(m_Statement, column);
        const int size = sqlite3_column_bytes(m_Statement, column);
        return bytes ? std::string(static_cast<const char*>(bytes), static_cast<size_t>(size))
                     : std::string();
    }

private:
    int Index(int parameter) {
        const int index =
            sqlite3_bind_parameter_index(m_Statement, ("$" + std::to_string(parameter)).c_str());
        if (index == 0)
            throw CatalogError("the catalog " + m_Where + ": no parameter $" + std::to_string(parameter) +
                               " in " + Sql());
        return index;
    }
    void Check(int code) {
        if (code != SQLITE_OK) Fail(m_Db, code, m_Where, "binding a parameter of " + Sql());
    }
    std::string Sql() const {
        const char* sql = sqlite3_sql(m_Statement);
        return sql ? std::string(sql) : std::string();
    }
    [[noreturn]] void Misfit(int column, int type, const char* wanted) {
        const char* name = sqlite3_column_name(m_Statement, column);
        throw CatalogError("the catalog " + m_Where + " is damaged: the column " + (name ? name : "?") +
                           " holds " + TypeName(type) + " where " + wanted + " belongs");
    }

    sqlite3* m_Db;
    sqlite3_stmt* m_Statement;
    const std::string& m_Where;
};

}  // namespace

void SqliteDatabase::Closer::operator()(sqlite3* db) const {
    sqlite3_close(db);
}

SqliteDatabase::StatementCache::~StatementCache() {
    for (auto& [sql, statement] : *this) sqlite3_finalize(statement);
}

SqliteDatabase::SqliteDatabase(const std::string& path) : m_Where(path) {
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    std::error_code error;
    if (!parent.empty()) std::filesystem::create_directories(parent, error);
    if (error) throw CatalogError("cannot create the folder of the catalog " + path + ": " + error.message());
    sqlite3* db = nullptr;
    const int code = sqlite3_open_v2(
        path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    m_Db.reset(db);
    if (code != SQLITE_OK)
        throw CatalogError("cannot open the catalog " + path + ": " +
                           (db ? sqlite3_errmsg(db) : sqlite3_errstr(code)));
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    {
        std::unique_ptr<Statement> mode = Prepare("PRAGMA journal_mode=WAL");
        if (!mode->Step() || mode->Text(0) != "wal")
            throw CatalogError("the catalog " + path +
                               " cannot be used in WAL mode (a network file system or a read-only folder?)");
    }
    RunScript("PRAGMA foreign_keys=ON; PRAGMA synchronous=FULL;");
}

std::unique_ptr<Statement> SqliteDatabase::Prepare(const std::string& sql) {
    auto found = m_Statements.find(sql);
    if (found == m_Statements.end()) {
        sqlite3_stmt* statement = nullptr;
        const int code = sqlite3_prepare_v3(m_Db.get(), sql.c_str(), static_cast<int>(sql.size() + 1),
                                            SQLITE_PREPARE_PERSISTENT, &statement, nullptr);
        if (code != SQLITE_OK) Fail(m_Db.get(), code, m_Where, "preparing " + sql);
        found = m_Statements.emplace(sql, statement).first;
    }
    return std::make_unique<SqliteStatement>(m_Db.get(), found->second, m_Where);
}

void SqliteDatabase::RunScript(const std::string& sql) {
    char* message = nullptr;
    const int code = sqlite3_exec(m_Db.get(), sql.c_str(), nullptr, nullptr, &message);
    sqlite3_free(message);
    if (code != SQLITE_OK) Fail(m_Db.get(), code, m_Where, "running a script");
}

void SqliteDatabase::Begin(TransactionKind kind) {
    RunScript(kind == TransactionKind::kWrite ? "BEGIN IMMEDIATE" : "BEGIN");
}

void SqliteDatabase::Commit() {
    RunScript("COMMIT");
}

void SqliteDatabase::Rollback() noexcept {
    if (!sqlite3_get_autocommit(m_Db.get())) sqlite3_exec(m_Db.get(), "ROLLBACK", nullptr, nullptr, nullptr);
}

}  // namespace qzcatalog
