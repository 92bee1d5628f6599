#pragma once
// The catalogue as an SQLite file: WAL mode, so readers never wait for the import that is
// writing, and a busy timeout, so two imports on one PC take turns instead of failing.
// Prepared statements are kept per text, as an import runs the same few thousands of times.

#include <map>
#include <memory>
#include <string>

#include "archive/SqlConnection.h"

struct sqlite3;
struct sqlite3_stmt;

class SqliteConnection final : public SqlConnection {
public:
    ~SqliteConnection() override;
    bool Open(const std::string& path, std::string* error);

    SqlEngine Engine() const override { return SqlEngine::Sqlite; }
    bool Run(const std::string& sql, const SqlParams& params, std::vector<SqlRow>* rows,
             std::string* error) override;
    bool RunScript(const std::string& sql, std::string* error) override;
    bool BeginWrite(std::string* error) override;
    std::string Describe() const override { return m_path; }

private:
    sqlite3_stmt* Prepared(const std::string& sql, std::string* error);
    std::string Failure(const std::string& what) const;

    std::string m_path;
    sqlite3* m_db = nullptr;
    std::map<std::string, sqlite3_stmt*> m_statements;
};

std::unique_ptr<SqlConnection> OpenSqliteConnection(const std::string& path, std::string* error);
