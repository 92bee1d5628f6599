#pragma once
// The catalogue on a PostgreSQL server, reached with a libpq connection URI
// (postgresql://user@host/db, or postgresql://user@/db?host=/run/socket-dir for a Unix
// socket). A server that does not answer fails the open within kConnectTimeoutS instead of
// hanging the import.

#include <map>
#include <memory>
#include <string>

#include "archive/SqlConnection.h"

typedef struct pg_conn PGconn;

constexpr int kConnectTimeoutS = 10;

class PgConnection final : public SqlConnection {
public:
    ~PgConnection() override;
    bool Open(const std::string& uri, std::string* error);

    SqlEngine Engine() const override { return SqlEngine::Postgres; }
    bool Run(const std::string& sql, const SqlParams& params, std::vector<SqlRow>* rows,
             std::string* error) override;
    bool RunScript(const std::string& sql, std::string* error) override;
    bool BeginWrite(std::string* error) override;
    std::string Describe() const override { return m_where; }

private:
    const std::string& Numbered(const std::string& sql);
    std::string Failure() const;

    PGconn* m_conn = nullptr;
    std::string m_where;
    std::map<std::string, std::string> m_numbered;  // '?' statement -> '$n' statement
};

std::unique_ptr<SqlConnection> OpenPgConnection(const std::string& uri, std::string* error);
