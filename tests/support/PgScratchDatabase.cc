#include "support/PgScratchDatabase.h"

#include <libpq-fe.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <stdexcept>
#include <thread>

#include "zdl/CZDLDatabase.h"
#include "zdl/postgresql/PgConnection.h"
#include "zdl/postgresql/PgDialect.h"
#include "support/TestSecretKey.h"

namespace zeb::test {

namespace {

struct Closer {
  void operator()(PGconn* conn) const { PQfinish(conn); }
};
using Connection = std::unique_ptr<PGconn, Closer>;

// The key of the session lock that makes test processes build a template one at a time.
constexpr char kTemplateLock[] = "SELECT pg_advisory_lock(1514488404)";

void IgnoreNotice(void*, const char*) {}

Connection ConnectTo(const std::string& location) {
  Connection conn(PQconnectdb(location.c_str()));
  if (PQstatus(conn.get()) != CONNECTION_OK) {
    throw std::runtime_error("cannot connect to " + location + ": " + PQerrorMessage(conn.get()));
  }
  PQsetNoticeProcessor(conn.get(), IgnoreNotice, nullptr);
  return conn;
}

// Runs a command; "" on success, else the server's message.
std::string Run(PGconn* conn, const std::string& sql) {
  PGresult* result = PQexec(conn, sql.c_str());
  const ExecStatusType status = PQresultStatus(result);
  std::string error;
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) error = PQresultErrorMessage(result);
  PQclear(result);
  return error;
}

void MustRun(PGconn* conn, const std::string& sql) {
  const std::string error = Run(conn, sql);
  if (!error.empty()) throw std::runtime_error(sql + ": " + error);
}

bool DatabaseExists(PGconn* conn, const std::string& name) {
  const char* values[] = {name.c_str()};
  PGresult* result =
      PQexecParams(conn, "SELECT 1 FROM pg_database WHERE datname = $1", 1, nullptr, values, nullptr, nullptr, 0);
  const bool exists = PQresultStatus(result) == PGRES_TUPLES_OK && PQntuples(result) == 1;
  PQclear(result);
  return exists;
}

std::string RandomHex(std::size_t length) {
  static thread_local std::mt19937_64 generator{std::random_device{}()};
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (std::size_t i = 0; i < length; ++i) text += kDigits[generator() % 16];
  return text;
}

std::string Quoted(const std::string& value) {
  std::string text = "'";
  for (char c : value) {
    if (c == '\'' || c == '\\') text += '\\';
    text += c;
  }
  return text + "'";
}

// Database names are made here from hex digits only, so they need no quoting in SQL.
std::string CreateFrom(const std::string& name, const std::string& source) {
  return "CREATE DATABASE " + name + " TEMPLATE " + source + " ENCODING 'UTF8' LC_COLLATE 'C' LC_CTYPE 'C'";
}

// Makes the template of this build unless it exists: built under another name and renamed
// when complete, so that a test killed half-way leaves no incomplete template behind.
std::string EnsureTemplate(PGconn* admin, const std::string& server, const std::string& buildStamp) {
  const std::string stamp = zdl::CZDLDatabase::SchemaFingerprint(zdl::PgDialect()) + buildStamp;
  std::uint64_t hash = 1469598103934665603ull;
  for (unsigned char c : stamp) hash = (hash ^ c) * 1099511628211ull;
  char name[40];
  std::snprintf(name, sizeof name, "zeb_tpl_%016llx", static_cast<unsigned long long>(hash));
  if (DatabaseExists(admin, name)) return name;
  MustRun(admin, kTemplateLock);
  if (!DatabaseExists(admin, name)) {
    const std::string building = std::string(name) + "_new";
    MustRun(admin, "DROP DATABASE IF EXISTS " + building + " WITH (FORCE)");
    MustRun(admin, CreateFrom(building, "template0"));
    zdl::CZDLDatabase::Open(PgLocationOf(server, building), TestSecretKey());
    // The server ends the closed connections' processes a moment later.
    std::string error;
    for (int attempt = 0; attempt < 100; ++attempt) {
      error = Run(admin, "ALTER DATABASE " + building + " RENAME TO " + name);
      if (error.empty()) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (!error.empty()) throw std::runtime_error("cannot finish the template database: " + error);
  }
  MustRun(admin, "SELECT pg_advisory_unlock(1514488404)");
  return name;
}

}  // namespace

std::string PgRun(const std::string& location, const std::string& sql) {
  Connection conn = ConnectTo(location);
  return Run(conn.get(), sql);
}

std::string PgLocationOf(const std::string& server, const std::string& database) {
  char* error = nullptr;
  PQconninfoOption* options = PQconninfoParse(server.c_str(), &error);
  if (!options) {
    std::string message = error ? error : "unreadable";
    PQfreemem(error);
    throw std::runtime_error("bad PostgreSQL location " + server + ": " + message);
  }
  std::string location;
  for (PQconninfoOption* option = options; option->keyword; ++option) {
    if (!option->val || std::strcmp(option->keyword, "dbname") == 0) continue;
    location += std::string(option->keyword) + "=" + Quoted(option->val) + " ";
  }
  PQconninfoFree(options);
  return location + "dbname=" + Quoted(database);
}

std::string PgScratchDatabase::ServerForTests() {
  for (const char* variable : {"ZEB_TEST_PG", "ZEB_TEST_DB"}) {
    const char* value = std::getenv(variable);
    if (value && *value && zdl::IsPostgresLocation(value)) return value;
  }
  return "";
}

PgScratchDatabase::PgScratchDatabase(const std::string& server, const std::string& buildStamp, Contents contents)
    : server_(server), name_("zeb_t_" + RandomHex(16)) {
  Connection admin = ConnectTo(server_);
  const std::string source =
      contents == Contents::kEmpty ? "template0" : EnsureTemplate(admin.get(), server_, buildStamp);
  // A concurrent copy of the same template may hold it for a moment.
  std::string error;
  for (int attempt = 0; attempt < 50; ++attempt) {
    error = Run(admin.get(), CreateFrom(name_, source));
    if (error.empty()) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  if (!error.empty()) throw std::runtime_error("cannot create a test database: " + error);
  location_ = PgLocationOf(server_, name_);
}

PgScratchDatabase::~PgScratchDatabase() {
  if (std::getenv("ZEB_KEEP_TEST_DIRS")) return;
  try {
    Connection admin = ConnectTo(server_);
    Run(admin.get(), "DROP DATABASE IF EXISTS " + name_ + " WITH (FORCE)");
  } catch (const std::exception&) {
  }
}

}  // namespace zeb::test
