#include "zdl/Drivers.h"

#include "zdl/postgresql/PgConnection.h"
#include "zdl/postgresql/PgDialect.h"
#include "zdl/sqlite/SqliteConnection.h"

namespace zeb::zdl {

namespace {

const Driver kPostgres{
    true, [] { return std::unique_ptr<Dialect>(std::make_unique<PgDialect>()); },
    [](const std::string& location, const std::string& token, ServerRole& role) {
      return std::unique_ptr<DbConnection>(std::make_unique<PgConnection>(location, token, role));
    },
    PostgresDisplayName, nullptr};

const Driver kSqlite{false, [] { return std::unique_ptr<Dialect>(std::make_unique<SqliteDialect>()); },
                     [](const std::string& location, const std::string&, ServerRole&) {
                       return std::unique_ptr<DbConnection>(std::make_unique<SqliteConnection>(location));
                     },
                     [](const std::string& location) { return location; }, ProbeSqliteFile};

}  // namespace

const Driver& DriverFor(const std::string& location) {
  return IsPostgresLocation(location) ? kPostgres : kSqlite;
}

}  // namespace zeb::zdl
