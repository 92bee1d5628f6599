#include "archive/PgConnection.h"

#include <libpq-fe.h>

namespace {

struct ResultDeleter {
    void operator()(PGresult* r) const { PQclear(r); }
};
using Result = std::unique_ptr<PGresult, ResultDeleter>;

void IgnoreNotice(void*, const char*) {}

// libpq's messages end in a newline; one-line messages read better.
std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    for (char& c : text)
        if (c == '\n') c = ' ';
    return text;
}

// '?' placeholders become $1, $2 ... outside quoted text.
std::string NumberPlaceholders(const std::string& sql) {
    std::string out;
    int n = 0;
    bool quoted = false;
    for (const char c : sql) {
        if (c == '\'') quoted = !quoted;
        if (c == '?' && !quoted)
            out += "$" + std::to_string(++n);
        else
            out += c;
    }
    return out;
}

std::string WithTimeout(const std::string& uri) {
    if (uri.find("connect_timeout=") != std::string::npos) return uri;
    const char joint = uri.find('?') == std::string::npos ? '?' : '&';
    return uri + joint + "connect_timeout=" + std::to_string(kConnectTimeoutS);
}

}  // namespace

PgConnection::~PgConnection() {
    if (m_conn) PQfinish(m_conn);
}

std::string PgConnection::Failure() const {
    return "catalogue " + m_where + ": " + Trimmed(PQerrorMessage(m_conn));
}

bool PgConnection::Open(const std::string& uri, std::string* error) {
    m_conn = PQconnectdb(WithTimeout(uri).c_str());
    if (!m_conn || PQstatus(m_conn) != CONNECTION_OK) {
        // The URI may hold a password; the message names the server as libpq does.
        m_where = "server";
        *error = m_conn ? "catalogue server does not answer: " + Trimmed(PQerrorMessage(m_conn))
                        : "catalogue server: no memory";
        return false;
    }
    const char* host = PQhost(m_conn);
    m_where = std::string("postgresql ") + (PQdb(m_conn) ? PQdb(m_conn) : "") + " on " +
              (host ? host : "");
    PQsetNoticeProcessor(m_conn, IgnoreNotice, nullptr);
    return true;
}

const std::string& PgConnection::Numbered(const std::string& sql) {
    auto it = m_numbered.find(sql);
    if (it == m_numbered.end()) it = m_numbered.emplace(sql, NumberPlaceholders(sql)).first;
    return it->second;
}

bool PgConnection::Run(const std::string& sql, const SqlParams& params, std::vector<SqlRow>* rows,
                       std::string* error) {
    std::vector<std::string> texts;
    texts.reserve(params.size());
    std::vector<const char*> values;
    for (const SqlParam& p : params) texts.push_back(p.Text());
    for (size_t i = 0; i < params.size(); ++i)
        values.push_back(params[i].IsNull() ? nullptr : texts[i].c_str());
    Result result(PQexecParams(m_conn, Numbered(sql).c_str(), static_cast<int>(values.size()),
                               nullptr, values.data(), nullptr, nullptr, 0));
    const ExecStatusType status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
        *error = Failure();
        return false;
    }
    if (!rows) return true;
    const int count = PQntuples(result.get());
    const int columns = PQnfields(result.get());
    for (int r = 0; r < count; ++r) {
        SqlRow row;
        row.cells.resize(columns);
        for (int c = 0; c < columns; ++c)
            if (!PQgetisnull(result.get(), r, c))
                row.cells[c] =
                    std::string(PQgetvalue(result.get(), r, c), PQgetlength(result.get(), r, c));
        rows->push_back(std::move(row));
    }
    return true;
}

bool PgConnection::RunScript(const std::string& sql, std::string* error) {
    Result result(PQexec(m_conn, sql.c_str()));
    const ExecStatusType status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) return true;
    *error = Failure();
    return false;
}

bool PgConnection::BeginWrite(std::string* error) {
    return Run("BEGIN", {}, nullptr, error);
}

std::unique_ptr<SqlConnection> OpenPgConnection(const std::string& uri, std::string* error) {
    auto connection = std::make_unique<PgConnection>();
    if (!connection->Open(uri, error)) return nullptr;
    return connection;
}
