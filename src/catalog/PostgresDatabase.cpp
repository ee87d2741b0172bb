#include "PostgresDatabase.h"

#include <libpq-fe.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace qzcatalog {

namespace {

// Type identifiers of the server's built-in types (pg_type.oid).
constexpr Oid kBoolOid = 16;
constexpr Oid kByteaOid = 17;
constexpr Oid kNameOid = 19;
constexpr Oid kInt8Oid = 20;
constexpr Oid kInt2Oid = 21;
constexpr Oid kInt4Oid = 23;
constexpr Oid kTextOid = 25;
constexpr Oid kVarcharOid = 1043;

struct ResultClear {
    void operator()(PGresult* result) const { PQclear(result); }
};
using Result = std::unique_ptr<PGresult, ResultClear>;

std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

// Throws unless `result` reports success; a deadlock or serialisation
// failure is retryable.
void Check(PGconn* connection, const PGresult* result, const std::string& where, const std::string& doing) {
    const ExecStatusType status = result ? PQresultStatus(result) : PGRES_FATAL_ERROR;
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) return;
    if (PQstatus(connection) != CONNECTION_OK)
        throw CatalogError("the catalog " + where +
                           " cannot be reached: " + Trimmed(PQerrorMessage(connection)));
    const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    const std::string code = state ? state : "";
    const std::string message = Trimmed(result ? PQresultErrorMessage(result) : PQerrorMessage(connection));
    throw CatalogError("the catalog " + where + ": " + doing + ": " + message, CUFailureKind::kSetup,
                       code == "40001" || code == "40P01");
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

class PostgresStatement : public Statement {
public:
    PostgresStatement(PostgresDatabase& database, const std::string& sql)
        : m_Database(database), m_Sql(sql) {}

    Statement& Bind(int parameter, int64_t value) override {
        Slot(parameter) = {std::to_string(value), 'i', false};
        return *this;
    }
    Statement& Bind(int parameter, const std::string& value) override {
        Slot(parameter) = {value, 't', false};
        return *this;
    }
    Statement& BindNullInt(int parameter) override {
        Slot(parameter) = {std::string(), 'i', true};
        return *this;
    }
    Statement& BindNullText(int parameter) override {
        Slot(parameter) = {std::string(), 't', true};
        return *this;
    }

    bool Step() override {
        if (!m_Result) Execute();
        return ++m_Row < PQntuples(m_Result.get());
    }

    bool IsNull(int column) override { return PQgetisnull(m_Result.get(), m_Row, column) != 0; }

    int64_t Int(int column) override {
        const Oid type = PQftype(m_Result.get(), column);
        if ((type != kInt8Oid && type != kInt4Oid && type != kInt2Oid) || IsNull(column))
            Misfit(column, "a number");
        const char* text = PQgetvalue(m_Result.get(), m_Row, column);
        char* end = nullptr;
        errno = 0;
        const long long value = std::strtoll(text, &end, 10);
        if (errno != 0 || end == text || *end != '\0') Misfit(column, "a number");
        return value;
    }

    std::string Text(int column) override {
        const Oid type = PQftype(m_Result.get(), column);
        if (IsNull(column)) Misfit(column, "a text");
        const char* text = PQgetvalue(m_Result.get(), m_Row, column);
        const size_t length = static_cast<size_t>(PQgetlength(m_Result.get(), m_Row, column));
        if (type == kTextOid || type == kVarcharOid || type == kNameOid || type == kBoolOid)
            return std::string(text, length);
        if (type != kByteaOid) Misfit(column, "a text");
        // bytea in its hex output form: "\x" and two digits per byte.
        if (length < 2 || text[0] != '\\' || text[1] != 'x' || length % 2 != 0) Misfit(column, "a text");
        std::string bytes;
        bytes.reserve(length / 2 - 1);
        for (size_t i = 2; i < length; i += 2) {
            const int high = HexValue(text[i]), low = HexValue(text[i + 1]);
            if (high < 0 || low < 0) Misfit(column, "a text");
            bytes += static_cast<char>(high * 16 + low);
        }
        return bytes;
    }

private:
    struct Parameter {
        std::string value;
        char type = 0;  // 'i' integer, 't' text; 0 not bound
        bool null = false;
    };

    Parameter& Slot(int parameter) {
        if (parameter < 1 || parameter > 1000)
            throw CatalogError("the catalog " + m_Database.Where() + ": no parameter $" +
                               std::to_string(parameter));
        if (m_Parameters.size() < static_cast<size_t>(parameter)) m_Parameters.resize(parameter);
        return m_Parameters[parameter - 1];
    }

    void Execute() {
        std::string types;
        std::vector<const char*> values;
        std::vector<int> lengths, formats;
        for (size_t i = 0; i < m_Parameters.size(); ++i) {
            const Parameter& p = m_Parameters[i];
            if (!p.type)
                throw CatalogError("the catalog " + m_Database.Where() + ": parameter $" +
                                   std::to_string(i + 1) + " of " + m_Sql + " is not bound");
            types += p.type;
            values.push_back(p.null ? nullptr : p.value.data());
            lengths.push_back(static_cast<int>(p.value.size()));
            // Texts go as bytea in binary form (their bytes as they are),
            // integers as decimal text.
            formats.push_back(p.type == 't' ? 1 : 0);
        }
        const std::string& name = m_Database.PreparedName(m_Sql, types);
        m_Result.reset(PQexecPrepared(m_Database.Connection(), name.c_str(), static_cast<int>(values.size()),
                                      values.data(), lengths.data(), formats.data(), 0));
        Check(m_Database.Connection(), m_Result.get(), m_Database.Where(), "running " + m_Sql);
        m_Row = -1;
    }

    [[noreturn]] void Misfit(int column, const char* wanted) {
        const char* name = PQfname(m_Result.get(), column);
        throw CatalogError("the catalog " + m_Database.Where() + ": the column " + (name ? name : "?") +
                           " holds something else than " + wanted);
    }

    PostgresDatabase& m_Database;
    std::string m_Sql;
    std::vector<Parameter> m_Parameters;
    Result m_Result;
    int m_Row = -1;
};

}  // namespace

void PostgresDatabase::Finisher::operator()(pg_conn* connection) const {
    PQfinish(connection);
}

std::string PostgresDatabase::WithoutPassword(const std::string& url) {
    const size_t scheme = url.find("://");
    if (scheme == std::string::npos) return url;
    const size_t start = scheme + 3;
    const size_t at = url.find('@', start);
    const size_t slash = url.find('/', start);
    if (at == std::string::npos || (slash != std::string::npos && slash < at)) return url;
    const size_t colon = url.find(':', start);
    if (colon == std::string::npos || colon > at) return url;
    return url.substr(0, colon + 1) + "***" + url.substr(at);
}

PostgresDatabase::PostgresDatabase(const std::string& url) : m_Where(WithoutPassword(url)) {
    // Later keywords override earlier ones, so the URL's own settings win.
    const char* keywords[] = {"connect_timeout", "application_name", "dbname", nullptr};
    const char* values[] = {kConnectTimeoutSeconds, "qzcard", url.c_str(), nullptr};
    m_Connection.reset(PQconnectdbParams(keywords, values, 1));
    if (!m_Connection) throw CatalogError("cannot connect to the catalog " + m_Where + ": out of memory");
    if (PQstatus(m_Connection.get()) != CONNECTION_OK)
        throw CatalogError("cannot connect to the catalog " + m_Where + ": " +
                           Trimmed(PQerrorMessage(m_Connection.get())));
    // Notices (a table that already exists) are not for the person at the terminal.
    PQsetNoticeProcessor(
        m_Connection.get(), [](void*, const char*) {}, nullptr);
}

const std::string& PostgresDatabase::PreparedName(const std::string& sql, const std::string& types) {
    const auto key = std::make_pair(sql, types);
    const auto found = m_Prepared.find(key);
    if (found != m_Prepared.end()) return found->second;
    const std::string name = "qz" + std::to_string(m_Prepared.size() + 1);
    std::vector<Oid> oids;
    for (char type : types) oids.push_back(type == 'i' ? kInt8Oid : kByteaOid);
    Result result(
        PQprepare(m_Connection.get(), name.c_str(), sql.c_str(), static_cast<int>(oids.size()), oids.data()));
    Check(m_Connection.get(), result.get(), m_Where, "preparing " + sql);
    return m_Prepared.emplace(key, name).first->second;
}

void PostgresDatabase::Execute(const std::string& sql, const char* expectedStatus) {
    Result result(PQexec(m_Connection.get(), sql.c_str()));
    Check(m_Connection.get(), result.get(), m_Where, "running " + sql.substr(0, sql.find('\n')));
    // A COMMIT of a transaction that failed answers ROLLBACK.
    if (expectedStatus && std::string(PQcmdStatus(result.get())) != expectedStatus)
        throw CatalogError("the catalog " + m_Where + ": the transaction was rolled back by the server");
}

std::unique_ptr<Statement> PostgresDatabase::Prepare(const std::string& sql) {
    return std::make_unique<PostgresStatement>(*this, sql);
}

void PostgresDatabase::RunScript(const std::string& sql) {
    Execute(sql);
}

void PostgresDatabase::Begin(TransactionKind kind) {
    Execute(kind == TransactionKind::kWrite ? "BEGIN ISOLATION LEVEL READ COMMITTED"
                                            : "BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY");
}

void PostgresDatabase::Commit() {
    Execute("COMMIT", "COMMIT");
}

void PostgresDatabase::Rollback() noexcept {
    PQclear(PQexec(m_Connection.get(), "ROLLBACK"));
}

}  // namespace qzcatalog
