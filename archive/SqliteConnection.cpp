#include "archive/SqliteConnection.h"

#include <sqlite3.h>

#include <chrono>
#include <thread>

namespace {

// Another import holding the write lock finishes one recording well within this.
constexpr int kBusyTimeoutMs = 60000;
constexpr int kBusyRetryMs = 20;

// SQLite answers "busy" without waiting in a few cases its busy handler does not cover (two
// processes opening a new catalogue at once, switching it to WAL and creating its tables):
// outside a transaction the statement is simply tried again, up to the same time limit.
bool RetryBusy(sqlite3* db, int code, int* waitedMs) {
    if ((code & 0xff) != SQLITE_BUSY && (code & 0xff) != SQLITE_LOCKED) return false;
    if (!sqlite3_get_autocommit(db) || *waitedMs >= kBusyTimeoutMs) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(kBusyRetryMs));
    *waitedMs += kBusyRetryMs;
    return true;
}

bool Bind(sqlite3_stmt* statement, int index, const SqlParam& p) {
    if (const auto* i = std::get_if<int64_t>(&p.value))
        return sqlite3_bind_int64(statement, index, *i) == SQLITE_OK;
    if (const auto* d = std::get_if<double>(&p.value))
        return sqlite3_bind_double(statement, index, *d) == SQLITE_OK;
    if (const auto* s = std::get_if<std::string>(&p.value))
        return sqlite3_bind_text(statement, index, s->data(), static_cast<int>(s->size()),
                                 SQLITE_TRANSIENT) == SQLITE_OK;
    return sqlite3_bind_null(statement, index) == SQLITE_OK;
}

SqlRow ReadRow(sqlite3_stmt* statement) {
    SqlRow row;
    const int columns = sqlite3_column_count(statement);
    row.cells.resize(columns);
    for (int c = 0; c < columns; ++c) {
        const int type = sqlite3_column_type(statement, c);
        if (type == SQLITE_NULL) continue;
        // SQLite prints a real with 15 digits; the shortest exact form keeps every bit, as
        // PostgreSQL gives it.
        if (type == SQLITE_FLOAT) {
            row.cells[c] = SqlParam(sqlite3_column_double(statement, c)).Text();
            continue;
        }
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, c));
        row.cells[c] = std::string(text, sqlite3_column_bytes(statement, c));
    }
    return row;
}

}  // namespace

SqliteConnection::~SqliteConnection() {
    for (auto& [sql, statement] : m_statements) sqlite3_finalize(statement);
    if (m_db) sqlite3_close(m_db);
}

std::string SqliteConnection::Failure(const std::string& what) const {
    return "catalogue " + m_path + ": " + what + ": " + (m_db ? sqlite3_errmsg(m_db) : "no memory");
}

bool SqliteConnection::Open(const std::string& path, std::string* error) {
    m_path = path;
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
    if (sqlite3_open_v2(path.c_str(), &m_db, flags, nullptr) != SQLITE_OK) {
        *error = Failure("cannot open");
        return false;
    }
    sqlite3_busy_timeout(m_db, kBusyTimeoutMs);
    // A file that is not a database at all fails here, on its first read.
    return RunScript("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=ON;",
                     error);
}

sqlite3_stmt* SqliteConnection::Prepared(const std::string& sql, std::string* error) {
    if (auto it = m_statements.find(sql); it != m_statements.end()) return it->second;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(m_db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
        *error = Failure(sql.substr(0, 60));
        return nullptr;
    }
    m_statements.emplace(sql, statement);
    return statement;
}

bool SqliteConnection::Run(const std::string& sql, const SqlParams& params,
                           std::vector<SqlRow>* rows, std::string* error) {
    sqlite3_stmt* statement = Prepared(sql, error);
    if (!statement) return false;
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
    for (size_t i = 0; i < params.size(); ++i)
        if (!Bind(statement, static_cast<int>(i + 1), params[i])) {
            *error = Failure("bind");
            return false;
        }
    int step;
    int waitedMs = 0;
    for (;;) {
        while ((step = sqlite3_step(statement)) == SQLITE_ROW)
            if (rows) rows->push_back(ReadRow(statement));
        // Rows are only read once the statement got past its lock.
        if ((rows && !rows->empty()) || !RetryBusy(m_db, step, &waitedMs)) break;
        sqlite3_reset(statement);
    }
    const bool done = step == SQLITE_DONE;
    if (!done) *error = Failure(sql.substr(0, 60));
    sqlite3_reset(statement);
    return done;
}

bool SqliteConnection::RunScript(const std::string& sql, std::string* error) {
    char* message = nullptr;
    int code;
    int waitedMs = 0;
    while ((code = sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, &message)) != SQLITE_OK &&
           RetryBusy(m_db, code, &waitedMs)) {
        sqlite3_free(message);
        message = nullptr;
    }
    if (code == SQLITE_OK) return true;
    *error = "catalogue " + m_path + ": " + (message ? message : sqlite3_errmsg(m_db));
    sqlite3_free(message);
    return false;
}

bool SqliteConnection::BeginWrite(std::string* error) {
    return Run("BEGIN IMMEDIATE", {}, nullptr, error);
}

std::unique_ptr<SqlConnection> OpenSqliteConnection(const std::string& path, std::string* error) {
    auto connection = std::make_unique<SqliteConnection>();
    if (!connection->Open(path, error)) return nullptr;
    return connection;
}
