#pragma once
// One connection to the archive's catalogue, whichever engine holds it: an SQLite file in the
// archive, or a PostgreSQL server that several PCs share. Statements are written once, with
// '?' for each parameter, and run the same on both; the few places where the engines differ
// (row ids, the place index, filling the catalogue in bulk) ask Engine().
//
// Results are plain values: false with the engine's message in *error on failure, never an
// exception. Values travel as text (null kept apart), which both engines convert by the
// column's type.
//
// Threads: a connection is used by one thread at a time.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

enum class SqlEngine { Sqlite, Postgres };

struct SqlParam {
    std::variant<std::monostate, int64_t, double, std::string> value;
    SqlParam() = default;
    SqlParam(int64_t v) : value(v) {}
    SqlParam(int v) : value(static_cast<int64_t>(v)) {}
    SqlParam(uint64_t v) : value(static_cast<int64_t>(v)) {}
    SqlParam(double v) : value(v) {}
    SqlParam(std::string v) : value(std::move(v)) {}
    SqlParam(const char* v) : value(std::string(v)) {}
    template <typename T>
    SqlParam(const std::optional<T>& v) {
        if (v) *this = SqlParam(*v);
    }
    bool IsNull() const { return std::holds_alternative<std::monostate>(value); }
    // The value as text (doubles so that they read back exactly); empty for null.
    std::string Text() const;
};

using SqlParams = std::vector<SqlParam>;

// One row of a result; a null cell has no value.
struct SqlRow {
    std::vector<std::optional<std::string>> cells;
    const std::string& Text(size_t i) const;  // "" for null
    int64_t Int(size_t i) const;              // 0 for null
    double Double(size_t i) const;            // 0 for null
    bool IsNull(size_t i) const { return i >= cells.size() || !cells[i]; }
};

class SqlConnection {
public:
    virtual ~SqlConnection() = default;
    virtual SqlEngine Engine() const = 0;
    // Runs one statement; rows (may be null) receives what it returns.
    virtual bool Run(const std::string& sql, const SqlParams& params, std::vector<SqlRow>* rows,
                     std::string* error) = 0;
    // Runs several statements without parameters (the schema).
    virtual bool RunScript(const std::string& sql, std::string* error) = 0;
    // A transaction that writes: on SQLite it takes the write lock at once, so two writers
    // never both read and then fail to upgrade; waits for another writer's end.
    virtual bool BeginWrite(std::string* error) = 0;
    bool Commit(std::string* error) { return Run("COMMIT", {}, nullptr, error); }
    void Rollback() {
        std::string ignored;
        Run("ROLLBACK", {}, nullptr, &ignored);
    }
    // Where the catalogue is, for messages (never a password).
    virtual std::string Describe() const = 0;
};

// True for a libpq connection URI (postgresql://..., postgres://...).
bool IsServerCatalogue(const std::string& location);

// Opens the catalogue at location: a PostgreSQL server for a connection URI, else an SQLite
// file (created when missing, in WAL mode). nullptr with the cause in *error.
std::unique_ptr<SqlConnection> OpenSqlConnection(const std::string& location, std::string* error);
