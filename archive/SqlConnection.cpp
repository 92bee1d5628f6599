#include "archive/SqlConnection.h"

#include <charconv>
#include <cstdlib>

#include "archive/PgConnection.h"
#include "archive/SqliteConnection.h"

std::string SqlParam::Text() const {
    if (const auto* i = std::get_if<int64_t>(&value)) return std::to_string(*i);
    if (const auto* d = std::get_if<double>(&value)) {
        char buffer[32];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, *d);
        return std::string(buffer, result.ptr);
    }
    if (const auto* s = std::get_if<std::string>(&value)) return *s;
    return {};
}

const std::string& SqlRow::Text(size_t i) const {
    static const std::string empty;
    return IsNull(i) ? empty : *cells[i];
}

int64_t SqlRow::Int(size_t i) const {
    return IsNull(i) ? 0 : std::strtoll(cells[i]->c_str(), nullptr, 10);
}

double SqlRow::Double(size_t i) const {
    return IsNull(i) ? 0.0 : std::strtod(cells[i]->c_str(), nullptr);
}

bool IsServerCatalogue(const std::string& location) {
    return location.rfind("postgresql://", 0) == 0 || location.rfind("postgres://", 0) == 0;
}

std::unique_ptr<SqlConnection> OpenSqlConnection(const std::string& location, std::string* error) {
    if (IsServerCatalogue(location)) return OpenPgConnection(location, error);
    return OpenSqliteConnection(location, error);
}
